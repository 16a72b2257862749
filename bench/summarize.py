#!/usr/bin/env python3
"""Turns bench/run's raw measurements into the results page (Markdown).

raw.tsv columns: round, job, tool, seconds, wall seconds, peak RSS (KiB),
memory growth of the launcher's job (MiB), longest gap between UI ticks (ms);
for the launcher's jobs also its gaps over the limit ("end:ms,...", the end
in CLOCK_MONOTONIC_RAW seconds) and its longest gap within the limit (ms).

The second argument, if given, is machine-ticker's log of the moments a
native 20 ms timer woke late during the run.
"""
import os
import platform
import statistics
import subprocess
import sys
from collections import defaultdict

GIB = 1 << 30


def num(text):
    return None if text in ("-", "") else float(text)


def load(path):
    rows = defaultdict(list)  # (job, tool) -> rows
    for line in open(path):
        f = line.rstrip("\n").split("\t")
        if len(f) < 8:
            continue
        rows[(f[1], f[2])].append(dict(round=int(f[0]), seconds=num(f[3]), wall=num(f[4]), rss=num(f[5]),
                                       growth=num(f[6]), gap=num(f[7]),
                                       long_gaps=long_gaps(f[8]) if len(f) > 9 else None,
                                       short_gap=num(f[9]) if len(f) > 9 else None))
    return rows


def long_gaps(text):
    if text in ("-", ""):
        return []
    return [tuple(float(v) for v in item.split(":")) for item in text.split(",")]


def load_stalls(path):
    """The native timer's late wake-ups: (CLOCK_MONOTONIC_RAW seconds, ms late)."""
    stalls = []
    try:
        for line in open(path):
            f = line.split()
            if len(f) == 2:
                stalls.append((float(f[0]), float(f[1])))
    except OSError:
        pass
    return stalls


def median(rows, key):
    values = [r[key] for r in rows if r[key] is not None]
    return statistics.median(values) if values else None


def per_round_ratio(a_rows, b_rows, key):
    """Median over rounds of b/a: how many times faster `a` is than `b`."""
    b_by_round = {r["round"]: r[key] for r in b_rows}
    ratios = [b_by_round[r["round"]] / r[key] for r in a_rows if r[key] and b_by_round.get(r["round"])]
    return statistics.median(ratios) if ratios else None


def machine():
    cpu = "unknown"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    mem = "unknown"
    try:
        for line in open("/proc/meminfo"):
            if line.startswith("MemTotal"):
                mem = f"{int(line.split()[1]) / (1 << 20):.0f} GiB"
    except OSError:
        pass
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    except OSError:
        wine = "unknown"
    return f"{os.cpu_count()} cores ({cpu}), {mem} RAM, Linux {platform.release()}, {wine}"


def fmt(value, pattern="{:.2f}"):
    return "-" if value is None else pattern.format(value)


# The targets every run is held to (ratios within one run).
DOWNLOAD_VS_CURL = 0.8
HTTPS_VS_CURL = 0.6
UNPACK_VS_UNZIP = 1.3
GROWTH_MIB = 64
TICK_GAP_MS = 40
START_ADDS_S = 0.3


def verdict(value, target, at_least=True):
    if value is None:
        return "not measured"
    ok = value >= target if at_least else value < target
    return "met" if ok else "NOT met"


def tick_gaps(rows, stalls):
    """The longest gap between two UI ticks over `rows`, held to the target,
    and which gaps past the limit the machine itself shared: a native timer
    that woke late at the end of the same gap was held back as well, so the
    machine stalled, not the launcher's UI thread."""
    gap = max((r["gap"] for r in rows if r["gap"] is not None), default=None)
    text = f"{fmt(gap, '{:.0f}')} ms (target at most {TICK_GAP_MS}: {verdict(gap, TICK_GAP_MS + 0.5, at_least=False)})"
    shared, own = [], None
    for r in rows:
        if r["gap"] is None:
            continue
        if r["long_gaps"] is None:
            own = max(own or 0, r["gap"])
            continue
        row_own = r["short_gap"] or 0
        for end, ms in r["long_gaps"]:
            stall = max((late for t, late in stalls if end - ms / 1000 - 0.005 <= t <= end + 0.005), default=None)
            if stall is None:
                row_own = max(row_own, ms)
            else:
                shared.append((ms, stall))
        own = max(own or 0, row_own)
    if shared:
        text += (f"; {len(shared)} gap{'s' if len(shared) > 1 else ''} over {TICK_GAP_MS} ms "
                 f"({', '.join(f'{g:.0f}' for g, _ in shared)} ms) fell while the machine "
                 f"itself stalled (a native 20 ms timer woke {', '.join(f'{st:.0f}' for _, st in shared)} ms late "
                 f"at the same moment); the longest gap the machine did not share: {fmt(own, '{:.0f}')} ms")
    return text


UNPACKERS = {"launcher": "launcher's unpacking worker (wine)", "miniunz": "minizip's miniunz (wine)",
             "unzip": "Info-ZIP unzip (native)"}


def unpack_rows(rows, job):
    return {t: rows.get((job, t), []) for t in UNPACKERS}


def unpack_table(up, title, stalls, speed_target=None):
    """The three unpackers on one package; `speed_target` is the least
    launcher/unzip ratio this package is held to, if any."""
    out = [f"## Unpack: {title}", "",
           "| program | seconds (wall) | peak RSS (MiB) |", "|---|---|---|"]
    for tool, r in up.items():
        out.append(f"| {UNPACKERS[tool]} | {fmt(median(r, 'wall'))} | "
                   f"{fmt((median(r, 'rss') or 0) / 1024 if r else None, '{:.1f}')} |")
    vs_miniunz = per_round_ratio(up["launcher"], up["miniunz"], "wall")
    vs_unzip = per_round_ratio(up["launcher"], up["unzip"], "wall")
    growth = max((r["growth"] for r in up["launcher"] if r["growth"] is not None), default=None)
    target = "" if speed_target is None else \
        f" (target at least {speed_target}: {verdict(vs_unzip, speed_target)})"
    return out + ["",
                  f"- Launcher speed / miniunz speed: {fmt(vs_miniunz)}",
                  f"- Launcher speed / native unzip speed: **{fmt(vs_unzip)}**{target}",
                  f"- Launcher's memory growth during the job: **{fmt(growth, '{:.1f}')} MiB** "
                  f"(target below {GROWTH_MIB} MiB: {verdict(growth, GROWTH_MIB, at_least=False)})",
                  f"- Longest gap between two 20 ms UI ticks while it ran: {tick_gaps(up['launcher'], stalls)}", ""]


def main():
    rows = load(sys.argv[1])
    stalls = load_stalls(sys.argv[2]) if len(sys.argv) > 2 else []
    rounds = len({r["round"] for (job, _), v in rows.items() if job != "start" for r in v})
    start_rounds = len({r["round"] for (job, _), v in rows.items() if job == "start" for r in v})
    out = [f"Machine: {machine()}. Rounds: {rounds} (the start: {start_rounds}); "
           "figures are medians over the rounds.", ""]

    dl = {t: rows.get(("download", t), [])
          for t in ("launcher", "httplib", "curl", "launcher-https", "winhttp-https", "curl-https")}
    out += ["## Download: 1 GiB from the local game server to disk", "",
            "| program | seconds | MB/s | peak RSS (MiB) |", "|---|---|---|---|"]
    names = {"launcher": "launcher's download task (wine)", "httplib": "minimal cpp-httplib client (wine)",
             "curl": "curl (native)", "launcher-https": "launcher's download task over HTTPS (WinHTTP, wine)",
             "winhttp-https": "minimal WinHTTP client over HTTPS (wine)",
             "curl-https": "curl over HTTPS (native, --cacert)"}
    for tool, r in dl.items():
        if not r and tool.endswith("-https"):
            continue
        sec = median(r, "seconds")
        out.append(f"| {names[tool]} | {fmt(sec)} | {fmt(GIB / 1e6 / sec if sec else None, '{:.0f}')} | "
                   f"{fmt((median(r, 'rss') or 0) / 1024 if r else None, '{:.1f}')} |")
    vs_client = per_round_ratio(dl["launcher"], dl["httplib"], "seconds")
    vs_curl = per_round_ratio(dl["launcher"], dl["curl"], "seconds")
    growth = max((r["growth"] for r in dl["launcher"] if r["growth"] is not None), default=None)
    out += ["",
            f"- Launcher speed / minimal client speed: {fmt(vs_client)}",
            f"- Launcher speed / curl speed: **{fmt(vs_curl)}** (target at least {DOWNLOAD_VS_CURL}: "
            f"{verdict(vs_curl, DOWNLOAD_VS_CURL)})",
            f"- Launcher's memory growth during the job (peak working set minus the working set before it): "
            f"**{fmt(growth, '{:.1f}')} MiB** (target below {GROWTH_MIB} MiB: "
            f"{verdict(growth, GROWTH_MIB, at_least=False)})",
            f"- Longest gap between two 20 ms UI ticks while it ran: {tick_gaps(dl['launcher'], stalls)}"]
    if dl["launcher-https"]:
        tls_cost = per_round_ratio(dl["launcher-https"], dl["launcher"], "seconds")
        vs_curl_tls = per_round_ratio(dl["launcher-https"], dl["curl-https"], "seconds")
        vs_winhttp = per_round_ratio(dl["launcher-https"], dl["winhttp-https"], "seconds")
        out += [f"- Launcher over HTTPS: speed / the minimal WinHTTP client's speed: {fmt(vs_winhttp)}; "
                f"speed / its own http speed: {fmt(tls_cost)}; "
                f"speed / curl's HTTPS speed: **{fmt(vs_curl_tls)}** (target at least {HTTPS_VS_CURL}: "
                f"{verdict(vs_curl_tls, HTTPS_VS_CURL)}); longest UI tick gap "
                f"{tick_gaps(dl['launcher-https'], stalls)}"]
    out += [""]

    up = unpack_rows(rows, "unpack")
    out += unpack_table(up, "seeded package (bench/make_package.py), about 600 MB in 6,000 files", stalls,
                        UNPACK_VS_UNZIP)
    for job, title in (("unpack-small", "50,000 small files (make_package.py --kind small), mostly 200 B to "
                                        "8 KiB, 171 MB in 335 folders"),
                       ("unpack-huge", "one 2.2 GiB file (make_package.py --kind huge), sizes in zip64 fields, "
                                       "beside three small files")):
        extra = unpack_rows(rows, job)
        if extra["launcher"]:
            out += unpack_table(extra, title, stalls)

    out += ["## Package checksum: SHA-256 of the whole archive before it is unpacked", "",
            "| file | launcher's hashing worker, CNG (wine), s | MB/s | sha256sum (native), s |",
            "|---|---|---|---|"]
    sizes = {"big": GIB, "package": None}
    for file, label in (("big", "1 GiB file"), ("package", "the unpack package")):
        lr, nr = rows.get((f"hash-{file}", "launcher"), []), rows.get((f"hash-{file}", "sha256sum"), [])
        sec = median(lr, "seconds")
        size = sizes[file]
        out.append(f"| {label} | {fmt(sec)} | {fmt(size / 1e6 / sec if size and sec else None, '{:.0f}')} | "
                   f"{fmt(median(nr, 'seconds'))} |")
    hash_pkg = median(rows.get(("hash-package", "launcher"), []), "seconds")
    unpack = median(up["launcher"], "wall")
    hash_big = median(rows.get(("hash-big", "launcher"), []), "seconds")
    download = median(dl["launcher"], "seconds")
    growth = max((r["growth"] for r in rows.get(("hash-big", "launcher"), []) if r["growth"] is not None),
                 default=None)
    hash_rows = [r for k in ("hash-big", "hash-package") for r in rows.get((k, "launcher"), [])]
    out += ["",
            f"- Checking the 1 GiB download adds {fmt(hash_big)} s to its {fmt(download)} s "
            f"({fmt(100 * hash_big / download if hash_big and download else None, '{:.0f}')}%).",
            f"- Checking the package adds {fmt(hash_pkg)} s to its {fmt(unpack)} s of unpacking "
            f"({fmt(100 * hash_pkg / unpack if hash_pkg and unpack else None, '{:.0f}')}%).",
            f"- Memory growth while hashing: {fmt(growth, '{:.1f}')} MiB; longest gap between two 20 ms UI ticks: "
            f"{tick_gaps(hash_rows, stalls)}", ""]

    st = {t: rows.get(("start", t), []) for t in ("launcher", "game-alone", "launcher-first")}
    launcher, alone = median(st["launcher"], "seconds"), median(st["game-alone"], "seconds")
    first = median(st["launcher-first"], "seconds")
    out += ["## Start on an up-to-date install", "",
            "| from | to the game's start (s) |", "|---|---|",
            f"| starting the launcher (configuration, logo, user info, version check, launch) | {fmt(launcher)} |",
            f"| starting the game directly under the same wine | {fmt(alone)} |",
            f"| starting the launcher once wine's desktop process has closed (a first start) | {fmt(first)} |", "",
            f"- The launcher adds **{fmt(launcher - alone if launcher and alone else None)} s** before the game "
            f"starts (target at most {START_ADDS_S}: "
            f"{verdict(launcher - alone if launcher and alone else None, START_ADDS_S + 0.005, at_least=False)}).",
            f"- A first start adds {fmt(first - alone if first and alone else None)} s: wine starts its desktop "
            "process at the launcher's first window.", ""]
    print("\n".join(out))


if __name__ == "__main__":
    main()
