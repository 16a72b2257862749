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

# package <zip> <entry>...: a zip of the named entries (random content; a
# name ending in "/" is a folder); "name@bzip2" stores one with bzip2,
# "name@encrypted" sets its encryption flag.
package() {
  python3 - "$@" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for spec in sys.argv[2:]:
        name, _, how = spec.partition("@")
        info = zipfile.ZipInfo(name, (2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_BZIP2 if how == "bzip2" else zipfile.ZIP_DEFLATED
        z.writestr(info, b"" if name.endswith("/") else os.urandom(3000))
# zipfile writes no encrypted entries: the flag is set in both headers.
data = bytearray(open(sys.argv[1], "rb").read())
with zipfile.ZipFile(sys.argv[1]) as z:
    for spec in sys.argv[2:]:
        if spec.endswith("@encrypted"):
            info = z.getinfo(spec.partition("@")[0])
            data[info.header_offset + 6] |= 1
            central = data.find(b"PK\x01\x02")
            while central >= 0:
                size = int.from_bytes(data[central + 28:central + 30], "little")
                if data[central + 46:central + 46 + size] == info.filename.encode():
                    data[central + 8] |= 1
                central = data.find(b"PK\x01\x02", central + 4)
open(sys.argv[1], "wb").write(data)
PY
}

publication() { # folder
  mkdir -p "$1/pkg" "$1/wd"
  printf '105\n' > "$1/pkg/pkg.ver"
  package "$1/pkg/game-105.zip" game/ game/game.exe game/data/a.bin
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
expect "$out" "note: [common]: no weiduanSha256"
# A value of [common] is one problem, told once, not once per platform.
[ "$(grep -c "no weiduanSha256" <<<"$out")" = 1 ] || fail "a [common] note told once per section:"$'\n'"$out"
expect "$out" "ok: [common]: the package http://127.0.0.1:8080/pkg/game-105.zip holds game/game.exe"
expect "$out" "note: no signature"
expect "$out" "ok: the configuration parses under the launcher's rules"
pkgsum=$(sha256sum "$pub/pkg/game-105.zip" | cut -d' ' -f1)
out=$("$tool" --write --sign "$work/publisher.key" "$pub"); rc=$?
[ $rc = 0 ] || fail "--write --sign (rc $rc): $out"
expect "$out" "ok: [common]: pkgSha256=$pkgsum written"
expect_not "$out" "[pc]: pkgSha256="
expect "$out" "ok: the signature verifies"
# The key is named by the SHA-256 of its public half, as openssl prints it.
fingerprint=$(openssl pkey -pubin -in "$work/publisher.pem" -outform DER | sha256sum | cut -d' ' -f1)
expect "$out" "signature written to $pub/pkg/vorn_install_cfg.ini.sig with the key $fingerprint"
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
expect "$out" "ok: [common]: weiduanSha256 matches http://127.0.0.1:8080/wd/shell.exe"
expect "$out" "the publication is ready"
# A signature that nobody checked is no ready publication.
out=$("$tool" "$pub"); rc=$?
[ $rc = 1 ] || fail "a signed publication checked without a key exits 1 (rc $rc)"
expect "$out" "error: a signature is present, but it was not checked (no key given)"
expect "$out" "Check it with publish-check --key publisher.pem $pub"
expect_not "$out" "the publication is ready"
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
  [ $rc = 1 ] || fail "a signed configuration without $drop exits 1 (rc $rc)"
  expect "$out" "error: [common]: launchers with the publisher key refuse this configuration: $reason (publish-check --write --sign publisher.key $pub fills in"
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
line=$(grep -n '^pkgSha256=' "$pub/pkg/vorn_install_cfg.ini" | cut -d: -f1)
expect "$out" "error: vorn_install_cfg.ini:$line: pkgSha256 does not match http://127.0.0.1:8080/pkg/game-105.zip"
expect "$out" "; if the file is the one to publish, publish-check --write --sign publisher.key $pub"
# One stale checksum of [common] is one problem, though [pc] reads it too.
expect "$out" "1 problem(s): players would meet them"
sed -i 's/installName=Vorn/installName=Vorn2/' "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" --key "$work/publisher.pem" "$pub")
expect "$out" "error: the signature does not match the configuration under the key $fingerprint"
expect "$out" "Sign the configuration as it is now: publish-check --write --sign publisher.key $pub"
out=$("$tool" --sign "$work/other.key" "$pub" >/dev/null; "$tool" --key "$work/publisher.pem" "$pub")
expect "$out" "error: the signature does not match the configuration under the key $fingerprint"
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
expect "$out" "error: vorn_install_cfg.ini:8: launcherLogo names no file of the publication: http://127.0.0.1:8080/pkg/missing.png (put the file at $pub/pkg/missing.png, or correct the URL)"

# 3. The package as the launcher unpacks it: its entry rules and the program
# it starts, <pkgName>/<pkgName>.exe.
pub="$work/layout"
while IFS='|' read -r entries verdict; do
  rm -rf "$pub"; publication "$pub"
  # shellcheck disable=SC2086
  package "$pub/pkg/game-105.zip" $entries
  out=$("$tool" "$pub"); rc=$?
  case $verdict in
    ok) [ $rc = 0 ] || fail "package [$entries] is usable (rc $rc): $out"
        expect "$out" "holds game/game.exe, the program the launcher starts" ;;
    *)  [ $rc = 1 ] || fail "package [$entries] is refused (rc $rc)"
        expect "$out" "$verdict" ;;
  esac
done <<'ROWS'
game/game.exe game/data/x.bin|ok
Game/GAME.EXE|ok
game.exe readme.txt data/x.bin|has no game/game.exe: the launcher unpacks it into the install folder and starts <install folder>\game\game.exe. At the top of the zip: data/, game.exe, readme.txt. Fix: put the game's files in a folder game and zip that folder (cd <folder that holds game> && zip -r <package> game), then publish-check --write --sign publisher.key
VornGame/game.exe|At the top of the zip: VornGame/.
game/game.exe/|has no game/game.exe
game/game.exe game/x.bin@bzip2|the launcher skips the entry game/x.bin: compression method 12 is not supported (store or deflate it, without a password)
game/game.exe game/x.bin@encrypted|the launcher skips the entry game/x.bin: the data are encrypted
game/game.exe ../evil.txt|the launcher skips the entry ../evil.txt: it leads outside the install folder
game/game.exe C:/|the launcher skips the entry C:/: no name is left
ROWS
rm -rf "$pub"; publication "$pub"
head -c 5000 /dev/urandom > "$pub/pkg/game-105.zip"
out=$("$tool" "$pub")
expect "$out" "error: [common]: the package http://127.0.0.1:8080/pkg/game-105.zip cannot be unpacked: it is not a zip archive the launcher can open"
# pkgName of a platform: that platform's program, told under its section.
rm -rf "$pub"; publication "$pub"
printf 'pkgName=other\n' >> "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" "$pub")
expect "$out" "ok: [common]: the package http://127.0.0.1:8080/pkg/game-105.zip holds game/game.exe"
expect "$out" "error: [pc]: the package http://127.0.0.1:8080/pkg/game-105.zip has no other/other.exe"

# 4. --stage: the next release beside the live one, and the order to publish it.
live="$work/live"
rm -rf "$live"; cp -r "$work/complete" "$live"
package "$work/game-106.zip" game/game.exe game/data/b.bin
before=$(cd "$live" && find . -type f -exec sha256sum {} + | sort)
out=$("$tool" --stage "$work/stage" --package "$work/game-106.zip" "$live"); rc=$?
[ $rc = 1 ] || fail "--stage of a signed release without --sign exits 1 (rc $rc)"
expect "$out" "give --sign publisher.key"
out=$("$tool" --stage "$work/stage" --package "$work/game-106.zip" --version 105 --sign "$work/publisher.key" "$live")
expect "$out" "version 105 is not above the live 105"
out=$("$tool" --stage "$work/stage" --package "$work/game-106.zip" --sign "$work/publisher.key" "$live"); rc=$?
[ $rc = 0 ] || fail "--stage (rc $rc): $out"
[ "$(cd "$live" && find . -type f -exec sha256sum {} + | sort)" = "$before" ] || fail "--stage changed the live release"
[ "$(cat "$work/stage/pkg/pkg.ver")" = 106 ] || fail "stage pkg.ver: $(cat "$work/stage/pkg/pkg.ver")"
cmp -s "$work/stage/pkg/game-106.zip" "$work/game-106.zip" || fail "the new package is not staged as game-106.zip"
grep -qx pkgVersion=106 "$work/stage/pkg/vorn_install_cfg.ini" || fail "stage pkgVersion"
grep -qx "configSerial=$((serial + 2))" "$work/stage/pkg/vorn_install_cfg.ini" || fail "stage configSerial not raised"
expect "$out" "release 106 is ready in $work/stage. Publish it in this order:"
out2=$("$tool" --stage "$work/stage" --package "$work/game-106.zip" --sign "$work/publisher.key" "$live")
expect "$out2" "exists already: the stage is always a new folder"
# The printed commands, package first, configuration, signature and version file last.
cmds=$(sed -n 's/^  \$ //p' <<<"$out")
grep -n . <<<"$cmds" | grep -q "^1:cp $work/stage/pkg/game-106.zip" || fail "the package is not published first:"$'\n'"$cmds"
tail -n1 <<<"$cmds" | grep -q "mv .*vorn_install_cfg.ini.new .*mv .*pkg.ver.new" ||
  fail "configuration and version file are not switched last, together:"$'\n'"$cmds"
bash -euc "$cmds" || fail "the printed commands fail"
out=$("$tool" --key "$work/publisher.pem" "$live"); rc=$?
[ $rc = 0 ] || fail "the live release after the printed commands is ready (rc $rc): $out"
expect "$out" "package version 106"
[ -f "$live/pkg/game-105.zip" ] || fail "the previous package is no longer served"

[ -f "$work/stage/pkg/game-106.zip.manifest" ] || fail "--stage wrote no manifest for the new package"
grep -q "^pkgManifestSha256=$(sha256sum "$work/stage/pkg/game-106.zip.manifest" | cut -d' ' -f1)\$" \
  "$work/stage/pkg/vorn_install_cfg.ini" || fail "--stage wrote no pkgManifestSha256 of the new manifest"
grep -q "^cp $work/stage/pkg/game-106.zip.manifest" <<<"$cmds" || fail "the manifest is not among the new files:"$'\n'"$cmds"

# 5. Manifests of zips whose headers disagree: local extra fields of another
# length than the central directory's, data descriptors, zip64 (and all of
# them behind a stub). The offsets must point at the real data: each entry's
# bytes are read at its dataOffset, inflated with zlib and hashed, and
# compared with the file the package was made from.
variants=$(dirname "$0")/../fixtures/make_zip_variants.py
tree="$work/tree"
mkdir -p "$tree/game/data/sub" "$tree/game/empty"
head -c 70000 /dev/urandom > "$tree/game/game.exe"
yes "level data" | head -c 200000 > "$tree/game/data/level one.txt"
: > "$tree/game/data/zero.bin"
printf 'x' > "$tree/game/data/sub/"$'\xe5\x9c\xb0\xe5\x9b\xbe.dat'  # a UTF-8 name
check_manifest() { # package manifest tree
  python3 - "$@" <<'PY'
import hashlib, os, sys, zlib
package, manifest, tree = sys.argv[1:4]
blob = open(package, "rb").read()
seen = set()
for line in open(manifest, "rb").read().decode("utf-8").split("\n")[:-1]:
    sha, crc, method, csize, size, offset, name = line.split(" ", 6)
    method, csize, size, offset = int(method), int(csize), int(size), int(offset)
    raw = blob[offset:offset + csize]
    data = raw if method == 0 else zlib.decompressobj(-15).decompress(raw)
    source = open(os.path.join(tree, name), "rb").read()
    assert len(raw) == csize, (name, "data cut")
    assert len(data) == size and data == source, (name, "the bytes at dataOffset are not the file")
    assert hashlib.sha256(data).hexdigest() == sha, (name, "sha256")
    assert "%08x" % zlib.crc32(data) == crc, (name, "crc32")
    seen.add(name)
files = {os.path.relpath(os.path.join(r, f), tree).replace(os.sep, "/") for r, _, fs in os.walk(tree) for f in fs}
assert seen == files, ("entries", seen ^ files)
PY
}
while IFS='|' read -r label options; do
  pub="$work/variant"
  rm -rf "$pub"; cp -r "$work/complete" "$pub"; rm -f "$pub/pkg/vorn_install_cfg.ini.sig"
  # shellcheck disable=SC2086
  python3 "$variants" $options "$pub/pkg/game-105.zip" "$tree" > "$work/table.json" || fail "$label: no fixture"
  if [ "$label" = "extra fields differ" ]; then
    # The fixture itself: the first entry's data do not start where the
    # central directory's lengths would put them.
    python3 - "$pub/pkg/game-105.zip" "$work/table.json" <<'PY' || fail "$label: the fixture's extra fields agree"
import json, struct, sys
blob = open(sys.argv[1], "rb").read()
first = json.loads(open(sys.argv[2]).readline())
cd = blob.find(b"PK\x01\x02")
nlen, xlen = struct.unpack("<HH", blob[cd + 28:cd + 32])
local = struct.unpack("<I", blob[cd + 42:cd + 46])[0]
assert local + 30 + nlen + xlen != first["dataOffset"]
PY
  fi
  out=$("$tool" --write "$pub"); rc=$?
  [ $rc = 0 ] || fail "$label: --write (rc $rc): $out"
  expect "$out" "ok: [common]: manifest written to $pub/pkg/game-105.zip.manifest for http://127.0.0.1:8080/pkg/game-105.zip"
  check_manifest "$pub/pkg/game-105.zip" "$pub/pkg/game-105.zip.manifest" "$tree" || fail "$label: manifest offsets"
  grep -qx "pkgManifestSha256=$(sha256sum "$pub/pkg/game-105.zip.manifest" | cut -d' ' -f1)" "$pub/pkg/vorn_install_cfg.ini" ||
    fail "$label: pkgManifestSha256 not in [common]"
  out=$("$tool" "$pub"); rc=$?
  [ $rc = 0 ] || fail "$label: the written publication checks clean (rc $rc): $out"
  expect "$out" "ok: [common]: pkgManifestSha256 matches http://127.0.0.1:8080/pkg/game-105.zip.manifest"
done <<'ROWS'
plain|
extra fields differ|--local-extra 41 --central-extra 8
data descriptors|--descriptor
zip64|--zip64
zip64 with descriptors, stored entries and a stub|--zip64 --descriptor --local-extra 12 --prefix 300 --store *.exe
ROWS

# Without --write: the manifest must be there and match the package and the
# configuration; a package the launcher would refuse gets none.
pub="$work/variant"
cp "$pub/pkg/game-105.zip.manifest" "$work/good.manifest"
sed -i '1s/^\(.\{64\}\) [0-9a-f]*/\1 00000000/' "$pub/pkg/game-105.zip.manifest"
out=$("$tool" "$pub"); rc=$?
[ $rc = 1 ] || fail "a manifest that does not match its package fails the check (rc $rc)"
expect "$out" "error: [common]: the manifest http://127.0.0.1:8080/pkg/game-105.zip.manifest does not match http://127.0.0.1:8080/pkg/game-105.zip"
rm "$pub/pkg/game-105.zip.manifest"
out=$("$tool" "$pub")
expect "$out" "error: [common]: pkgManifestSha256 is set but there is no manifest http://127.0.0.1:8080/pkg/game-105.zip.manifest"
cp "$work/good.manifest" "$pub/pkg/game-105.zip.manifest"
sed -i "s/^pkgManifestSha256=.*/pkgManifestSha256=$(printf '%064d' 0)/" "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" "$pub")
line=$(grep -n '^pkgManifestSha256=' "$pub/pkg/vorn_install_cfg.ini" | cut -d: -f1)
expect "$out" "error: vorn_install_cfg.ini:$line: pkgManifestSha256 does not match http://127.0.0.1:8080/pkg/game-105.zip.manifest"
# pkgManifestUrl names the manifest's own place, formatted with the version.
printf 'pkgManifestUrl=http://127.0.0.1:8080/manifests/game-%%d.txt\n' >> "$pub/pkg/vorn_install_cfg.ini"  # into [pc]
mkdir -p "$pub/manifests"
out=$("$tool" --write --platform pc "$pub"); rc=$?
[ $rc = 0 ] || fail "--write with pkgManifestUrl (rc $rc): $out"
cmp -s "$pub/manifests/game-105.txt" "$work/good.manifest" || fail "the manifest is not written where pkgManifestUrl points"
sed -n '/^\[pc\]/,$p' "$pub/pkg/vorn_install_cfg.ini" | grep -qx "pkgManifestSha256=$(sha256sum "$work/good.manifest" | cut -d' ' -f1)" ||
  fail "pkgManifestSha256 not written into [pc], the section that names pkgManifestUrl"

# In the configuration ';' starts a comment: a keep-local list written with
# it would lose every pattern after the first.
printf 'pkgKeepLocal=game/config/*;game/saves/*\n' >> "$pub/pkg/vorn_install_cfg.ini"
line=$(grep -n '^pkgKeepLocal=' "$pub/pkg/vorn_install_cfg.ini" | cut -d: -f1)
out=$("$tool" "$pub")
expect "$out" "error: vorn_install_cfg.ini:$line: pkgKeepLocal: \";\" starts a comment, the launcher reads only the patterns before it; separate patterns with \",\""
sed -i 's/^pkgKeepLocal=.*/pkgKeepLocal=game\/config\/*,game\/saves\/*/' "$pub/pkg/vorn_install_cfg.ini"
out=$("$tool" "$pub")
expect_not "$out" "pkgKeepLocal:"

# Packages the launcher would refuse get no manifest, with the reason.
while IFS='|' read -r entries reason skipped; do
  pub="$work/refused"
  rm -rf "$pub"; cp -r "$work/complete" "$pub"
  rm -f "$pub/pkg/vorn_install_cfg.ini.sig" "$pub/pkg/game-105.zip.manifest"
  sed -i '/^pkgManifestSha256=/d' "$pub/pkg/vorn_install_cfg.ini"
  # shellcheck disable=SC2086
  package "$pub/pkg/game-105.zip" $entries
  out=$("$tool" --write "$pub"); rc=$?
  [ $rc = 1 ] || fail "--write of a package with $entries exits 1 (rc $rc)"
  expect "$out" "error: [common]: no manifest can be written for http://127.0.0.1:8080/pkg/game-105.zip: $reason"
  [ ! -e "$pub/pkg/game-105.zip.manifest" ] || fail "a manifest was written for $entries"
  grep -q '^pkgManifestSha256=' "$pub/pkg/vorn_install_cfg.ini" && fail "pkgManifestSha256 written for $entries"
  [ -z "$skipped" ] || expect "$out" "error: [common]: the launcher skips the entry $skipped"
done <<'ROWS'
game/game.exe game/Data.bin game/data.BIN|"game/Data.bin" and "game/data.BIN" are one file on Windows|game/data.BIN: it differs from the entry game/Data.bin only in letter case, and Windows writes both to one file
game/game.exe game/x.bin@bzip2|the entry game/x.bin: compression method 12 is not supported
game/game.exe game/x.bin@encrypted|the entry game/x.bin: the data are encrypted
game/game.exe ../evil.txt|the entry ../evil.txt: it leads outside the install folder
game/game.exe game/aux.txt|the entry game/aux.txt: "aux.txt" is not a Windows file name
ROWS

[ $failures = 0 ] && echo "publish-check: all checks passed"
exit $((failures > 0))
