#!/usr/bin/env bash
# README "Publishing a game" end to end, as an operator follows it: a key
# outside the source tree, the operator's build (scripts/build-operator), a
# package with the wrong layout refused by publish-check, the right one
# signed and served by nginx with docs/nginx.conf, a player's install under
# wine, the next version staged with --stage and published in the printed
# order, the player's update, and the operator mistakes publish-check names.
#   operator_guide_test.sh <source> <build> <test_game.exe> <vorn-game-server> <nginx>
# Runs under scripts/test's wine prefix and display (DISPLAY, WINEPREFIX).
set -uo pipefail
top=$1 build=$2 game_exe=$3 game_server=$4 nginx=$5
source "$top/tests/support/shell_helpers.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in:"$'\n'"$1"; }
step() { echo "== $*"; }

# The operator's build keeps its folder between runs, so a second run only
# rebuilds what the new key and port touch.
opbuild="$build/operator-guide-build"
work=$(mktemp -d)   # the operator's home: keys, packages, the server prefix
chmod 755 "$work"   # nginx's workers (nobody, when started as root) read www/ below it
install_name=VornGuide
install_dir="$build/drive_d/$install_name"
nginx_pid="" services_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null
  [ -n "$services_pid" ] && kill "$services_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work" "$install_dir"
  wine reg delete "HKCU\\Software\\Vorn\\$install_name" /f >/dev/null 2>&1
}
trap cleanup EXIT
rm -rf "$install_dir"
port=$(free_port)
services_port=$(free_port)
base="http://127.0.0.1:$port"

step "1. the publisher key, outside the source tree, and the operator's build"
mkdir -p "$work/keys"
openssl ecparam -name prime256v1 -genkey -noout -out "$work/keys/publisher.key"
openssl ec -in "$work/keys/publisher.key" -pubout -out "$work/keys/publisher.pem" 2>/dev/null
fingerprint=$(openssl pkey -pubin -in "$work/keys/publisher.pem" -outform DER | sha256sum | cut -d' ' -f1)
out=$(VORN_BUILD_DIR="$opbuild" VORN_JOBS=2 "$top/scripts/build-operator" \
        -DVORN_CONFIG_URL="$base/pkg/vorn_install_cfg.ini" \
        -DVORN_PUBLISHER_KEY_FILE="$work/keys/publisher.pem" 2>&1) || { echo "$out"; fail "build-operator"; exit 1; }
expect "$out" "vorn-launcher.exe carries the publisher key $work/keys/publisher.pem (SHA-256 of its public half: $fingerprint)"
launcher="$opbuild/bin/vorn-launcher.exe"
tool="$opbuild/native/bin/publish-check"
[ -f "$launcher" ] && [ -x "$tool" ] || { fail "build-operator made no $launcher or $tool"; exit 1; }
[ -e "$opbuild/bin/e2e_tests.exe" ] && fail "build-operator built the tests"

step "2. the files"
www="$work/srv/www"
mkdir -p "$www/pkg" "$work/srv/logs" "$work/srv/tmp" "$work/game/VornGame"
cat > "$www/pkg/vorn_install_cfg.ini" <<INI
[common]
installName=$install_name
pkgName=VornGame
minverUrl=$base/pkg/pkg.ver
pkgUrl=$base/pkg/game-%d.zip
tokensvr=$base/token?token=
qosUrl=$base/qos
INI
printf '105\n' > "$www/pkg/pkg.ver"
cp "$game_exe" "$work/game/VornGame/VornGame.exe"
printf 'release 105\r\n' > "$work/game/VornGame/readme.txt"
# The first try: the game's files at the top of the zip.
(cd "$work/game/VornGame" && zip -qr "$www/pkg/game-105.zip" .)

step "3. the services: the game server as token and statistics service, nothing else"
mkdir -p "$work/services"
printf 'guidetok\tuid=1001&skey=abc\n' > "$work/services/tokens.txt"
"$game_server" --root "$work/services" --port "$services_port" --log-dir "$work/srv/logs" --quiet \
  > "$work/srv/logs/services.out" 2>&1 &
services_pid=$!
wait_port "$services_port" "$services_pid" || { fail "the services did not start"; exit 1; }

step "4. check, fill in, sign: the wrong layout is refused"
out=$("$tool" --write --sign "$work/keys/publisher.key" "$www"); rc=$?
[ $rc = 1 ] || fail "a package with its files at the top passes (rc $rc)"
expect "$out" "has no VornGame/VornGame.exe"
expect "$out" "At the top of the zip: VornGame.exe, readme.txt."
expect "$out" "zip -r <package> VornGame"
expect "$out" "error: not signed"
[ -e "$www/pkg/vorn_install_cfg.ini.sig" ] && fail "a refused publication was signed"
rm "$www/pkg/game-105.zip"
(cd "$work/game" && zip -qr "$www/pkg/game-105.zip" VornGame)
out=$("$tool" --write --sign "$work/keys/publisher.key" "$www"); rc=$?
[ $rc = 0 ] || fail "the right package is refused (rc $rc): $out"
expect "$out" "with the key $fingerprint"
expect "$out" "the publication is ready"
expect "$out" "ok: [common]: manifest written to $www/pkg/game-105.zip.manifest for $base/pkg/game-105.zip"
grep -qx "pkgManifestSha256=$(sha256sum "$www/pkg/game-105.zip.manifest" | cut -d' ' -f1)" "$www/pkg/vorn_install_cfg.ini" ||
  fail "pkgManifestSha256 of the written manifest is not in the configuration"
out=$("$tool" --key "$work/keys/publisher.pem" "$www"); rc=$?
[ $rc = 0 ] || fail "check with --key after signing (rc $rc): $out"

step "5. serve it: nginx with docs/nginx.conf"
sed -e "s/listen 80;/listen 127.0.0.1:$port;/" -e "s/127\.0\.0\.1:9000/127.0.0.1:$services_port/" \
  "$top/docs/nginx.conf" > "$work/srv/nginx.conf"
"$nginx" -p "$work/srv" -c "$work/srv/nginx.conf" -g 'daemon off;' > "$work/srv/logs/nginx.out" 2>&1 &
nginx_pid=$!
wait_port "$port" "$nginx_pid" || { cat "$work/srv/logs/nginx.out"; fail "nginx did not start"; exit 1; }
[ "$(http_status "$base/pkg/pkg.ver")" = 200 ] || fail "nginx does not serve pkg.ver"

log="$WINEPREFIX/drive_c/users/$(whoami)/AppData/Roaming/kz-vorn-install.log"
player() { # a player's run of the launcher from a download folder
  mkdir -p "$work/download"
  cp "$launcher" "$work/download/vorn-pc-guidetok.exe"
  (cd "$work/download" && timeout 180 wine ./vorn-pc-guidetok.exe >/dev/null 2>&1) ||
    fail "the launcher run failed or timed out"
  wineserver -w
}
size_of() { stat -c %s "$1"; }
# access-log line of a path: status and body bytes sent.
served() { awk -v p="GET $1 " '$0 ~ p {for (i = 1; i <= NF; i++) if ($i ~ /^[0-9][0-9][0-9]$/) {print $i, $(i + 2); break}}' \
             "$work/srv/logs/access.log" | tail -n1; }
# every access-log line of a path, the same way.
served_all() { awk -v p="GET $1 " '$0 ~ p {for (i = 1; i <= NF; i++) if ($i ~ /^[0-9][0-9][0-9]$/) {print $i, $(i + 2); break}}' \
             "$work/srv/logs/access.log"; }

step "6. a player's install"
player
[ "$(tr -d '\r\n' < "$install_dir/pkg.ver" 2>/dev/null)" = 105 ] || fail "pkg.ver after the install: $(cat "$install_dir/pkg.ver" 2>&1)"
grep -q "uid:1001" "$install_dir/VornGame/VornGame.exe.cmdline.txt" 2>/dev/null ||
  { fail "the game was not started"; cat "$log" 2>/dev/null | iconv -f GBK -t UTF-8 2>/dev/null | tail -20; }
[ "$(served /pkg/game-105.zip)" = "200 $(size_of "$www/pkg/game-105.zip")" ] ||
  fail "nginx did not send the whole package: $(served /pkg/game-105.zip)"

step "7. an operator mistake: the version file edited in place"
printf '106\n' > "$www/pkg/pkg.ver"
out=$("$tool" --key "$work/keys/publisher.pem" "$www"); rc=$?
[ $rc = 1 ] || fail "pkg.ver ahead of the signed configuration passes (rc $rc)"
expect "$out" "pkgVersion 105 differs from the version file's 106"
expect "$out" "A new version is published with publish-check --stage"
printf '105\n' > "$www/pkg/pkg.ver"

step "8. the next version: --stage, then the printed order"
rm -rf "$work/game/VornGame/readme.txt"
printf 'release 106\r\n' > "$work/game/VornGame/news.txt"
(cd "$work/game" && zip -qr "$work/game-106.zip" VornGame)
out=$("$tool" --stage "$work/srv/www-106" --package "$work/game-106.zip" --sign "$work/keys/publisher.key" "$www"); rc=$?
[ $rc = 0 ] || fail "--stage (rc $rc): $out"
expect "$out" "release 106 is ready in $work/srv/www-106"
cmds=$(sed -n 's/^  \$ //p' <<<"$out")
head -n1 <<<"$cmds" | grep -q "game-106.zip" || fail "the package is not published first: $cmds"
head -n2 <<<"$cmds" | grep -q "game-106.zip.manifest" || fail "the manifest is not published with the package: $cmds"
bash -euc "$cmds" || fail "the printed commands failed"
out=$("$tool" --key "$work/keys/publisher.pem" "$www"); rc=$?
[ $rc = 0 ] || fail "the live folder after the printed steps (rc $rc): $out"
[ -f "$www/pkg/game-105.zip" ] || fail "the previous package is not served any more"
expect "$out" "ok: [common]: pkgManifestSha256 matches $base/pkg/game-106.zip.manifest"

step "9. the player's update"
player
[ "$(tr -d '\r\n' < "$install_dir/pkg.ver" 2>/dev/null)" = 106 ] || fail "pkg.ver after the update: $(cat "$install_dir/pkg.ver" 2>&1)"
[ -f "$install_dir/VornGame/news.txt" ] || fail "the update's new file is missing"
[ "$(grep -c uid:1001 "$install_dir/VornGame/VornGame.exe.cmdline.txt" 2>/dev/null)" = 2 ] || fail "the game was not started after the update"
# With the manifest the update fetches only the changed entries: ranges
# (206), together far fewer bytes than the package.
statuses=$(served_all /pkg/game-106.zip | awk '{print $1}' | sort -u | tr '\n' ' ')
[ "$statuses" = "206 " ] || fail "the package was not fetched by ranges only: $statuses"
sent=$(served_all /pkg/game-106.zip | awk '{s += $2} END {print s + 0}')
[ "$sent" -gt 0 ] && [ $((sent * 10)) -lt "$(size_of "$www/pkg/game-106.zip")" ] ||
  fail "nginx sent $sent bytes of the $(size_of "$www/pkg/game-106.zip")-byte package for a one-file update"
[ "$(served /pkg/game-106.zip.manifest | cut -d' ' -f1)" = 200 ] || fail "the manifest was not fetched: $(served /pkg/game-106.zip.manifest)"

step "10. an operator mistake: the configuration edited after signing"
sed -i "s#^qosUrl=.*#qosUrl=$base/qos2#" "$www/pkg/vorn_install_cfg.ini"
out=$("$tool" "$www"); rc=$?
[ $rc = 1 ] || fail "publish-check without options passes an edited signed configuration (rc $rc)"
expect_not() { grep -qF -- "$2" <<<"$1" && fail "did not expect \"$2\" in:"$'\n'"$1"; }
expect_not "$out" "the publication is ready"
expect "$out" "Check it with publish-check --key publisher.pem $www"
out=$("$tool" --key "$work/keys/publisher.pem" "$www"); rc=$?
[ $rc = 1 ] || fail "an edited signed configuration passes with --key (rc $rc)"
expect "$out" "the configuration changed after signing"
expect "$out" "Sign the configuration as it is now: publish-check --write --sign publisher.key $www"

[ $failures = 0 ] && echo "operator guide: all steps passed"
exit $((failures > 0))
