#!/usr/bin/env python3
"""Writes a sample game publication for the local game server.

The folder it fills is what an operator would publish: the install
configuration, the package version, the package archive, the launcher logo,
the micro-client files and the token table. The sample game is the project's
stand-in game client (tools/test_game), which shows "game started" and the
command line it received.

The package manifest (for updates that fetch only the changed entries) and
the checksums are publish-check's to write: pass --publish-check with the
tool to have it run "publish-check --write" on the folder, or run it (with
--sign) yourself as scripts/demo does.
"""
import argparse
import os
import random
import subprocess
import sys
import zipfile

CONFIG = """; install configuration of the sample publication
[common]
installName={install_name}
weiduanName={install_name}
tokensvr={base}/token?token=
minverUrl={base}/pkg/pkg.ver
pkgUrl={base}/pkg/vorn-game-%d.zip
pkgName=VornGame
weiduanShell=vorn-shell.exe
weiduanVer={weiduan_version}
weiduanCfg=vorn-shell.cfg
weiduanUrl={base}/weiduan/vorn-shell.exe
weiduanCfgUrl={base}/weiduan/vorn-shell.cfg
weiduanShortcut=0
weiduanNeedAdmin=0
qosUrl={base}/qos
launcherLogo={base}/pkg/logo.png
pkgKeepLocal=VornGame/config/*

[{platform}]
weiduanShortcut={shortcut}
"""


def write_package(path, game_exe, size_mb, seed):
    rng = random.Random(seed)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(game_exe, "VornGame/VornGame.exe")
        z.writestr("VornGame/readme.txt", "Vorn sample game\r\n")
        z.writestr("VornGame/data/", "")
        # Incompressible assets make the download long enough to watch.
        for i in range(max(1, size_mb)):
            z.writestr(f"VornGame/data/pack{i:02d}.bin", rng.randbytes(1 << 20),
                       compress_type=zipfile.ZIP_STORED)
        z.writestr("VornGame/config/settings.ini", "[video]\r\nwidth=1280\r\n")


def write_logo(path):
    """The game's name in white with a blue glow, on a transparent ground."""
    glow = ["-fill", "#198bfe", "-annotate", "+0+0", "VORN",
            "-channel", "A", "-blur", "0x5", "-level", "0,35%", "+channel"]
    try:
        subprocess.run(
            ["convert", "-size", "300x56", "xc:none", "-font", "DejaVu-Sans-Bold",
             "-pointsize", "34", "-kerning", "12", "-gravity", "center"] + glow +
            ["-fill", "#ffffff", "-annotate", "+0+0", "VORN", "PNG32:" + path],
            check=True, stderr=subprocess.DEVNULL)
    except subprocess.CalledProcessError:
        # Without that font: a plain play button.
        subprocess.run(
            ["convert", "-size", "300x56", "xc:none", "-fill", "#198bfe",
             "-draw", "roundrectangle 0,8 299,47 20,20", "-fill", "#ffffff",
             "-draw", "polygon 130,16 130,40 170,28", "PNG32:" + path],
            check=True)


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--out", required=True, help="publish folder to fill")
    ap.add_argument("--game-exe", required=True, help="the stand-in game client (.exe)")
    ap.add_argument("--port", type=int, default=8080)
    ap.add_argument("--base", help="where the configuration sends the launcher for everything "
                    "else, e.g. https://localhost:8081 (default http://127.0.0.1:PORT)")
    ap.add_argument("--version", type=int, default=105, help="package version")
    ap.add_argument("--platform", default="pc")
    ap.add_argument("--token", default="demotoken")
    ap.add_argument("--user-info", default="uid=1001&skey=demo-skey&nick=player")
    ap.add_argument("--install-name", default="VornDemo")
    ap.add_argument("--micro-client", action="store_true", help="select the micro-client mode")
    ap.add_argument("--size-mb", type=int, default=8, help="size of the package's assets")
    ap.add_argument("--publish-check", metavar="TOOL",
                    help="run TOOL --write on the folder: checksums, the package manifest and its "
                         "pkgManifestSha256, pkgVersion and configSerial")
    a = ap.parse_args()

    pkg = os.path.join(a.out, "pkg")
    weiduan = os.path.join(a.out, "weiduan")
    os.makedirs(pkg, exist_ok=True)
    os.makedirs(weiduan, exist_ok=True)
    with open(os.path.join(pkg, "vorn_install_cfg.ini"), "w", newline="\n", encoding="utf-8") as f:
        f.write(CONFIG.format(base=(a.base or f"http://127.0.0.1:{a.port}").rstrip("/"),
                              platform=a.platform, install_name=a.install_name,
                              weiduan_version="1.0.3", shortcut="1" if a.micro_client else "0"))
    with open(os.path.join(pkg, "pkg.ver"), "w", newline="\n") as f:
        f.write(f"{a.version}\n")
    write_package(os.path.join(pkg, f"vorn-game-{a.version}.zip"), a.game_exe, a.size_mb, a.version)
    write_logo(os.path.join(pkg, "logo.png"))
    with open(a.game_exe, "rb") as src, open(os.path.join(weiduan, "vorn-shell.exe"), "wb") as dst:
        dst.write(src.read())
    with open(os.path.join(weiduan, "vorn-shell.cfg"), "w", newline="\n") as f:
        f.write("[shell]\nserver=127.0.0.1\n")
    with open(os.path.join(a.out, "tokens.txt"), "w", newline="\n", encoding="utf-8") as f:
        f.write("# token<TAB>user info\n")
        f.write(f"{a.token}\t{a.user_info}\n")
    if a.publish_check:
        check = subprocess.run([a.publish_check, "--write", a.out], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
        if check.returncode != 0:
            sys.stderr.write(check.stdout)
            raise SystemExit(f"publish-check --write found problems in {a.out}")
    print(f"publication written to {a.out}")


if __name__ == "__main__":
    main()
