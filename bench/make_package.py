#!/usr/bin/env python3
"""Writes a seeded benchmark package, one of three kinds:

game   a zip shaped like a real game package: about 600 MB in about 6,000
       files, nested folders with their own directory entries, a few files
       over 100 MB, many small and medium files;
small  50,000 small files (mostly 200 B to 8 KiB) in a few hundred folders,
       where the cost per entry outweighs the cost per byte;
huge   one file of 2.2 GiB (its size needs zip64) beside a few small ones.

With --change-percent P, a game package is the next version of the one the
same options give without it: the same entries in the same order, of which
about P % of the files (the bundles over 100 MB excepted) have other bytes of
the same size; the choice is seeded by --change-seed. With --game-exe, a
game package also carries that program as Game/Game.exe, so that a launcher
can install it and start it.

Half of the data is incompressible (random bytes) and half compressible (word
soup), except the huge file, which is all word soup. Every entry carries an
extended-timestamp ("UT") field, as packages built by common zip tools do.
The same kind, seed and sizes give the same archive.
"""
import argparse
import math
import random
import struct
import zipfile

WORDS = ("vorn crest shield tower river stone ember frost blade arrow quest "
         "guild market forge rune lantern harbour meadow canyon spire").split()


def word_soup(rng, size):
    out = bytearray()
    while len(out) < size:
        line = " ".join(rng.choice(WORDS) for _ in range(rng.randint(4, 14)))
        out += f"{rng.randint(0, 99999):05d} {line}\r\n".encode()
    return bytes(out[:size])


class Data:
    """Slices of a random pool and a text pool: fast, and still varied enough
    that deflate sees no repeats within its window."""

    def __init__(self, rng):
        self.rng = rng
        self.random_pool = rng.randbytes(64 << 20)
        self.text_pool = word_soup(rng, 16 << 20)

    def make(self, size, compressible):
        pool = self.text_pool if compressible else self.random_pool
        out = bytearray()
        while len(out) < size:
            take = min(size - len(out), len(pool) // 2)
            start = self.rng.randrange(0, len(pool) - take + 1)
            out += pool[start:start + take]
        return bytes(out)


    def chunks(self, size, chunk=8 << 20):
        """Word soup for one large entry, piece by piece: slices of the text
        pool, which deflate at level 1 takes at over 100 MB/s."""
        left = size
        while left:
            take = min(left, chunk)
            start = self.rng.randrange(0, len(self.text_pool) - take + 1)
            yield self.text_pool[start:start + take]
            left -= take


def ut_extra(mtime):
    return b"UT" + struct.pack("<HBI", 5, 1, mtime)


def entry(name, mtime, is_dir=False):
    info = zipfile.ZipInfo(name, date_time=(2026, 11, 20, 12, 0, 0))
    info.extra = ut_extra(mtime)
    info.create_system = 0
    if is_dir:
        info.external_attr = 0x10
    else:
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0x20
    return info


MTIME = 1795000000


def changed(a, change_rng, content):
    """The file's next version, for the entries the change rng picks: a
    different first line of the same length, so the size stays."""
    if a.change_percent <= 0 or change_rng.random() * 100 >= a.change_percent:
        return content, False
    mark = b"next version %08d " % change_rng.randrange(10 ** 8)
    return (mark + content)[:len(content)] if len(content) > len(mark) else bytes(b ^ 0x5A for b in content), True


def write_game(a, rng, data):
    mtime = MTIME
    # A generator of its own: the main one's sequence, and so every unchanged
    # entry, stays exactly as in the version without changes.
    change_rng = random.Random(a.change_seed)
    changes = 0
    big = [int(x) for x in a.big_mb.split(",") if x]
    small_count = max(0, a.files - len(big))
    # Sizes from a long-tailed spread, scaled to the requested total.
    weights = [rng.paretovariate(1.3) for _ in range(small_count)]
    scale = (a.small_mb << 20) / max(1e-9, sum(weights))
    sizes = [max(1, int(w * scale)) for w in weights]

    folders = ["Game/"]
    for top in range(12):
        folders.append(f"Game/data{top:02d}/")
        for mid in range(rng.randint(3, 6)):
            folders.append(f"Game/data{top:02d}/set{mid}/")
            for low in range(rng.randint(0, 4)):
                folders.append(f"Game/data{top:02d}/set{mid}/part{low}/")
    files = 0
    total = 0
    with zipfile.ZipFile(a.out, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for folder in folders:
            z.writestr(entry(folder, mtime, is_dir=True), b"")
        if a.game_exe:
            with open(a.game_exe, "rb") as f:
                z.writestr(entry("Game/Game.exe", mtime), f.read())
        for i, size in enumerate(big):
            z.writestr(entry(f"Game/bundles/bundle{i}.pak", mtime), data.make(size << 20, i % 2 == 1))
            files += 1
            total += size << 20
        for i, size in enumerate(sizes):
            folder = folders[1 + rng.randrange(len(folders) - 1)]
            name = f"{folder}asset{i:05d}.{'txt' if i % 2 else 'bin'}"
            content, is_changed = changed(a, change_rng, data.make(size, i % 2 == 1))
            changes += is_changed
            z.writestr(entry(name, mtime + i), content)
            files += 1
            total += size
    if a.change_percent > 0:
        print(f"{a.out}: {changes} of {files} files changed")
    return files, len(folders), total


def small_size(rng):
    """Mostly 200 B to 8 KiB, spread evenly on a log scale; one in twenty
    files 8 KiB to 64 KiB."""
    low, high = (200, 8 << 10) if rng.random() < 0.95 else (8 << 10, 64 << 10)
    return int(math.exp(rng.uniform(math.log(low), math.log(high))))


def write_small(a, rng, data):
    folders = ["Small/"]
    for top in range(16):
        folders.append(f"Small/mod{top:02d}/")
        for mid in range(rng.randint(4, 8)):
            folders.append(f"Small/mod{top:02d}/group{mid}/")
            for low in range(rng.randint(0, 5)):
                folders.append(f"Small/mod{top:02d}/group{mid}/leaf{low}/")
    total = 0
    with zipfile.ZipFile(a.out, "w", zipfile.ZIP_DEFLATED, allowZip64=True) as z:
        for folder in folders:
            z.writestr(entry(folder, MTIME, is_dir=True), b"")
        for i in range(a.files):
            size = small_size(rng)
            folder = folders[1 + rng.randrange(len(folders) - 1)]
            name = f"{folder}item{i:05d}.{'txt' if i % 2 else 'bin'}"
            z.writestr(entry(name, MTIME + i), data.make(size, i % 2 == 1))
            total += size
    return a.files, len(folders), total


def write_huge(a, rng, data):
    folders = ["Huge/", "Huge/data/"]
    size = a.huge_mb << 20
    total = 0
    with zipfile.ZipFile(a.out, "w", zipfile.ZIP_DEFLATED, allowZip64=True) as z:
        for folder in folders:
            z.writestr(entry(folder, MTIME, is_dir=True), b"")
        # One small file before the big one and two behind it, whose headers
        # then lie past its compressed data.
        before = [("Huge/readme.txt", 2000, True)]
        after = [("Huge/data/index.bin", 6000, False), ("Huge/data/notes.txt", 30000, True)]
        for name, n, text in before:
            z.writestr(entry(name, MTIME), data.make(n, text))
            total += n
        info = entry("Huge/data/world.pak", MTIME)
        info.file_size = size
        info._compresslevel = 1  # the level for this entry alone (ZipFile.open takes no level)
        with z.open(info, "w", force_zip64=True) as out:
            for piece in data.chunks(size):
                out.write(piece)
        total += size
        for name, n, text in after:
            z.writestr(entry(name, MTIME + 1), data.make(n, text))
            total += n
    return 1 + len(before) + len(after), len(folders), total


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--out", required=True)
    ap.add_argument("--kind", choices=("game", "small", "huge"), default="game")
    ap.add_argument("--seed", type=int, default=20261208)
    ap.add_argument("--files", type=int, help="number of files (game 6000, small 50000)")
    ap.add_argument("--big-mb", default="140,120,110", help="game: sizes of the files over 100 MB")
    ap.add_argument("--small-mb", type=int, default=230, help="game: total size of all other files")
    ap.add_argument("--huge-mb", type=int, default=2253, help="huge: size of the big file (2.2 GiB)")
    ap.add_argument("--change-percent", type=float, default=0,
                    help="game: the next version, with about this share of the files changed")
    ap.add_argument("--change-seed", type=int, default=106, help="game: which files --change-percent picks")
    ap.add_argument("--game-exe", help="game: the program to carry as Game/Game.exe")
    a = ap.parse_args()
    if a.files is None:
        a.files = 50000 if a.kind == "small" else 6000

    rng = random.Random(a.seed)
    data = Data(rng)
    write = {"game": write_game, "small": write_small, "huge": write_huge}[a.kind]
    files, folders, total = write(a, rng, data)
    print(f"{a.out}: {files} files in {folders} folders, {total / (1 << 20):.0f} MB unpacked")

if __name__ == "__main__":
    main()
