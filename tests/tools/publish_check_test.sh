#!/usr/bin/env bash
# publish-check against publications with every trap it must name, and the
# round trip an operator makes: --write the checksums, --sign, check again.
#   publish_check_test.sh <publish-check binary>
set -uo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect <output> <text>: the output holds the line fragment.
expect() { grep -qF -- "$2" <<<"$1" || fail "expected \"$2\" in:"$'\n'"$1"; }
expect_not() { grep -qF -- "$2" <<<"$1" && fail "did not expect \"$2\" in:"$'\n'"$1"; }

publication() { # folder
  mkdir -p "$1/pkg" "$1/wd"
  printf '105\n' > "$1/pkg/pkg.ver"
  head -c 300000 /dev/urandom > "$1/pkg/game-105.zip"
  head -c 1000 /dev/urandom > "$1/wd/shell.exe"
  printf '[shell]\n' > "$1/wd/shell.cfg"
  head -c 500 /dev/urandom > "$1/pkg/logo.png"
  cat > "$1/pkg/vorn_install_cfg.ini" <<'INI'
; sample publication
[common]
installName=Vorn
minverUrl=http://127.0.0.1:8080/pkg/pkg.ver
pkgUrl=http://127.0.0.1:8080/pkg/game-%d.zip
pkgName=game
weiduanShell=shell.exe
weiduanCfg=shell.cfg
weiduanUrl=http://127.0.0.1:8080/wd/shell.exe
weiduanCfgUrl=http://127.0.0.1:8080/wd/shell.cfg
tokensvr=http://127.0.0.1:8080/token?token=
qosUrl=http://127.0.0.1:8080/qos
launcherLogo=http://127.0.0.1:8080/pkg/logo.png

[pc]
weiduanShortcut=1
INI
}

# 1. The round trip: missing checksums are notes, --write fills them, --sign signs.
pub="$work/good"
publication "$pub"
openssl ecparam -name prime256v1 -genkey -noout -out "$work/publisher.key"
openssl ec -in "$work/publisher.key" -pubout -out "$work/publisher.pem" 2>/dev/null
openssl ecparam -name prime256v1 -genkey -noout -out "$work/other.key"
openssl ecparam -name secp384r1 -genkey -noout -out "$work/p384.key"
out=$("$tool" "$pub"); rc=$?
[ $rc = 0 ] || fail "an unsigned publication without checksums is usable (rc $rc)"
expect "$out" "note: [common]: no pkgSha256: launchers will not check http://127.0.0.1:8080/pkg/game-105.zip"
expect "$out" "note: [pc]: no weiduanSha256"
expect "$out" "note: no signature"
expect "$out" "ok: the configuration parses under the launcher's rules"
pkgsum=$(sha256sum "$pub/pkg/game-105.zip" | cut -d' ' -f1)
out=$("$tool" --write --sign "$work/publisher.key" "$pub"); rc=$?
[ $rc = 0 ] || fail "--write --sign (rc $rc): $out"
expect "$out" "ok: [common]: pkgSha256=$pkgsum written"
expect "$out" "ok: the signature verifies"
grep -qx "pkgSha256=$pkgsum" "$pub/pkg/vorn_install_cfg.ini" || fail "pkgSha256 not in [common]"
# openssl itself accepts the signature, over the exact bytes.
openssl dgst -sha256 -verify "$work/publisher.pem" -signature "$pub/pkg/vorn_install_cfg.ini.sig" \
  "$pub/pkg/vorn_install_cfg.ini" >/dev/null || fail "openssl does not verify the written signature"
expect "$out" "ok: [common]: pkgVersion=105 written from http://127.0.0.1:8080/pkg/pkg.ver"
expect "$out" "ok: [common]: launcherLogoSha256=$(sha256sum "$pub/pkg/logo.png" | cut -d' ' -f1) written"
grep -qx "pkgVersion=105" "$pub/pkg/vorn_install_cfg.ini" || fail "pkgVersion not written"
serial=$(sed -n 's/^configSerial=//p' "$pub/pkg/vorn_install_cfg.ini")
now=$(date +%s)
[ -n "$serial" ] && [ "$serial" -ge $((now - 60)) ] && [ "$serial" -le "$now" ] ||
  fail "a first configSerial is the current Unix time, got '$serial'"
out=$("$tool" --key "$work/publisher.pem" "$pub"); rc=$?
[ $rc = 0 ] || fail "the signed publication checks clean (rc $rc): $out"
expect "$out" "ok: [common]: pkgVersion 105 matches"
expect "$out" "ok: [pc]: weiduanSha256 matches http://127.0.0.1:8080/wd/shell.exe"
expect_not "$out" "note: [common]: no pkgSha256"

# Each --write raises the serial by one, in every section that carries it.
printf 'configSerial=%s\n' "$serial" >> "$pub/pkg/vorn_install_cfg.ini"  # into [pc]
"$tool" --write --sign "$work/publisher.key" "$pub" >/dev/null || fail "a second --write --sign"
[ "$(grep -c "^configSerial=$((serial + 1))\$" "$pub/pkg/vorn_install_cfg.ini")" = 2 ] ||
  fail "configSerial not raised to $((serial + 1)) in both sections: $(grep configSerial "$pub/pkg/vorn_install_cfg.ini")"
cp -r "$pub" "$work/complete"

# --sign refuses whatever a launcher with the key would refuse, naming the key,
# and leaves the signature that was there.
while IFS='|' read -r drop reason; do
  pub="$work/incomplete"
  rm -rf "$pub"; cp -r "$work/complete" "$pub"
  sed -i "/^$drop=/d" "$pub/pkg/vorn_install_cfg.ini"
  before=$(sha256sum < "$pub/pkg/vorn_install_cfg.ini.sig")
  out=$("$tool" --sign "$work/publisher.key" "$pub"); rc=$?
  [ $rc = 1 ] || fail "--sign without $drop exits 1 (rc $rc)"
  expect "$out" "error: [common]: launchers with the publisher key refuse this configuration: $reason"
  expect "$out" "error: not signed"
  expect_not "$out" "the publication is ready"
  [ "$(sha256sum < "$pub/pkg/vorn_install_cfg.ini.sig")" = "$before" ] || fail "--sign without $drop wrote a signature"
  out=$("$tool" "$pub"); rc=$?
  expect "$out" "note: [common]: launchers with the publisher key refuse this configuration: $reason"
done <<'ROWS'
pkgSha256|pkgUrl has no pkgSha256
weiduanSha256|weiduanUrl has no weiduanSha256
weiduanCfgSha256|weiduanCfgUrl has no weiduanCfgSha256
launcherLogoSha256|launcherLogo has no launcherLogoSha256
configSerial|no configSerial
pkgVersion|no pkgVersion
ROWS
pub="$work/incomplete"
rm -rf "$pub"; cp -r "$work/complete" "$pub"
sed -i 's/^pkgVersion=105/pkgVersion=104/' "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" --key "$work/publisher.pem" "$pub"); rc=$?
[ $rc = 1 ] || fail "a pkgVersion other than the version file's is an error (rc $rc)"
expect "$out" "pkgVersion 104 differs from the version file's 105"
pub="$work/good"

# A changed package, a tampered configuration, another key, a key on another curve.
head -c 10 /dev/urandom >> "$pub/pkg/game-105.zip"
out=$("$tool" --key "$work/publisher.pem" "$pub"); rc=$?
[ $rc = 1 ] || fail "a changed package is an error (rc $rc)"
expect "$out" "pkgSha256 does not match http://127.0.0.1:8080/pkg/game-105.zip"
expect "$out" "error: vorn_install_cfg.ini:"
sed -i 's/installName=Vorn/installName=Vorn2/' "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" --key "$work/publisher.pem" "$pub")
expect "$out" "error: the signature does not match the configuration under this key"
out=$("$tool" --sign "$work/other.key" "$pub" >/dev/null; "$tool" --key "$work/publisher.pem" "$pub")
expect "$out" "error: the signature does not match the configuration under this key"
out=$("$tool" --sign "$work/p384.key" "$pub")
expect "$out" "is not an ECDSA P-256 (prime256v1) key"
rm "$pub/pkg/vorn_install_cfg.ini.sig"
out=$("$tool" --key "$work/publisher.pem" "$pub")
expect "$out" "error: no signature"

# 2. Every trap, named by its line, and the launcher's own verdict.
pub="$work/traps"
publication "$pub"
printf 'pkgName=early\r\n[common]\r\nminverUrl=http://127.0.0.1:8080/pkg/pkg.ver\r\n; a comment\r\npkgUrl=http://127.0.0.1:8080/pkg/game-%%d.zip ; trailing\r\nqosUrl=http://x/q^x\r\ntokensvr = http://127.0.0.1:8080/token\r\n' \
  > "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" "$pub"); rc=$?
[ $rc = 1 ] || fail "traps are errors (rc $rc)"
expect "$out" "error: vorn_install_cfg.ini:1: a key before any [section] header"
expect "$out" "error: vorn_install_cfg.ini:4: a comment in a file with CRLF line ends"
expect "$out" "error: vorn_install_cfg.ini:5: a comment in a file with CRLF line ends"
expect "$out" "error: vorn_install_cfg.ini:6: \"^\" in a value"
expect "$out" "error: vorn_install_cfg.ini:7: blanks around \"=\""
expect "$out" "error: the launcher refuses this configuration: must start with section: pkgName=early"

publication "$pub"
cat > "$pub/pkg/vorn_install_cfg.ini" <<'INI'
[common]
minverUrl=http://127.0.0.1:8080/pkg/pkg.ver
pkgUrl=http://127.0.0.1:8080/pkg/game-%d-%d.zip
pkgName=../game
weiduanShell=shell.exe
[pc]
weiduanShell=CON
pkgSha256=12ab
launcherLogo=http://127.0.0.1:8080/pkg/missing.png
INI
out=$("$tool" "$pub"); rc=$?
[ $rc = 1 ] || fail "bad keys are errors (rc $rc)"
expect "$out" "error: vorn_install_cfg.ini:3: package url has"
expect "$out" "error: vorn_install_cfg.ini:4: bad pkgName: ../game: a path or a character Windows refuses"
expect "$out" "error: vorn_install_cfg.ini:8: bad pkgSha256: 12ab"
out=$("$tool" --platform other "$pub")
expect_not "$out" "bad pkgSha256"
out=$("$tool" --platform pc "$pub")
expect "$out" "bad pkgSha256: 12ab"
sed -i '/pkgSha256/d' "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" --platform pc "$pub")
expect "$out" "error: vorn_install_cfg.ini:7: bad weiduanShell: CON: a device name Windows reserves"
expect "$out" "error: [pc]: launcherLogo names no file of the publication: http://127.0.0.1:8080/pkg/missing.png"

[ $failures = 0 ] && echo "publish-check: all checks passed"
exit $((failures > 0))
