# Sourced by scripts/test and scripts/demo: the build folder, an Xvfb display
# and a wine prefix of the project's own, all stopped again on exit.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR="${VORN_BUILD_DIR:-$top/build}"
export VORN_WINEPREFIX="${VORN_WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEPREFIX="$VORN_WINEPREFIX" WINEARCH=win64 WINEDEBUG="${WINEDEBUG:--all}"
# Wine would turn every desktop shortcut the tests make into a menu entry and
# a launcher file in the Linux home.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d}"

vorn_setup_if_needed() {
  local missing=0
  for tool in x86_64-w64-mingw32-g++-posix wine Xvfb cmake clang; do
    command -v "$tool" >/dev/null 2>&1 || missing=1
  done
  [ -f "$top/.deps/httplib/httplib.h" ] && [ -f "$top/.deps/minizip/unzip.c" ] || missing=1
  [ -d /usr/src/googletest ] || missing=1
  if [ "$missing" = 1 ]; then "$top/scripts/setup"; fi
}

vorn_build() {
  cmake -S "$top" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc)"
  vorn_build_native
}

# The native tools (the local game server) with the host compiler, next to
# the Windows build: "$BUILD_DIR/native/bin/vorn-game-server".
vorn_build_native() {
  cmake -S "$top/tools" -B "$BUILD_DIR/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD_DIR/native" -j "$(nproc)"
}

VORN_XVFB_PID=""
vorn_start_display() {
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    VORN_XVFB_PID=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
      sleep 0.1
    done
    kill "$VORN_XVFB_PID" 2>/dev/null; VORN_XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}

# A fresh prefix is made once per build folder; the Chinese font is mapped so
# that the splash's "宋体" text renders.
vorn_prepare_prefix() {
  # wine's WinHTTP takes a proxy from these as if the machine named one; the
  # tests set the player's proxy themselves, the Windows way.
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "making wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # A new prefix links the user's Desktop to the Linux home; the shortcuts the
  # tests make belong inside the prefix.
  local desktop
  for desktop in "$WINEPREFIX"/drive_c/users/*/Desktop; do
    if [ -L "$desktop" ]; then rm "$desktop" && mkdir "$desktop"; fi
  done
  # A fixed drive D: of the build folder's own, where the launcher under test
  # creates its install folder (it prefers D: over the application data).
  mkdir -p "$BUILD_DIR/drive_d"
  ln -sfn "$BUILD_DIR/drive_d" "$WINEPREFIX/dosdevices/d:"
  local font=/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc
  local stamp="$WINEPREFIX/.vorn-cjk-font"
  if [ -f "$font" ] && [ ! -e "$stamp" ]; then
    cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    # regedit reads a REGEDIT4 file in the ANSI code page, which garbles the
    # Chinese face name; a UTF-16 registry file keeps it intact.
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Fonts]
"WenQuanYi Zen Hei (TrueType)"="wqy-zenhei.ttc"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"SimSun"="WenQuanYi Zen Hei"
"宋体"="WenQuanYi Zen Hei"
"NSimSun"="WenQuanYi Zen Hei"
REG
    } > "$BUILD_DIR/fonts.reg"
    wine regedit "$BUILD_DIR/fonts.reg" >/dev/null 2>&1 || true
    wineserver -w
    touch "$stamp"
  fi
}

vorn_stop_all() {
  # CTest's cleanup stops the game server; this covers an interrupted run.
  "$top/tests/fixtures/stop_game_server.sh" "$BUILD_DIR/game_server" >/dev/null 2>&1 || true
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$VORN_XVFB_PID" ] && kill "$VORN_XVFB_PID" 2>/dev/null
  VORN_XVFB_PID=""
}
