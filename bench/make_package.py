#!/usr/bin/env python3
"""Writes the seeded benchmark package: a zip shaped like a real game package.

About 600 MB in about 6,000 files: nested folders with their own directory
entries, a few files over 100 MB, many small and medium files, half of the
data incompressible (random bytes) and half compressible (word soup). Every
entry carries an extended-timestamp ("UT") field, as packages built by
common zip tools do. The same seed and sizes give the same archive.
"""
import argparse
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


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--out", required=True)
    ap.add_argument("--seed", type=int, default=20261208)
    ap.add_argument("--files", type=int, default=6000)
    ap.add_argument("--big-mb", default="140,120,110", help="sizes of the files over 100 MB")
    ap.add_argument("--small-mb", type=int, default=230, help="total size of all other files")
    a = ap.parse_args()

    rng = random.Random(a.seed)
    data = Data(rng)
    mtime = 1795000000
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
        for i, size in enumerate(big):
            z.writestr(entry(f"Game/bundles/bundle{i}.pak", mtime), data.make(size << 20, i % 2 == 1))
            files += 1
            total += size << 20
        for i, size in enumerate(sizes):
            folder = folders[1 + rng.randrange(len(folders) - 1)]
            name = f"{folder}asset{i:05d}.{'txt' if i % 2 else 'bin'}"
            z.writestr(entry(name, mtime + i), data.make(size, i % 2 == 1))
            files += 1
            total += size
    print(f"{a.out}: {files} files in {len(folders)} folders, {total / (1 << 20):.0f} MB unpacked")


if __name__ == "__main__":
    main()
