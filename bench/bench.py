#!/usr/bin/env python3
"""Times korvel against find on a folder of N empty pictures.

Both list the same entries with the same stat calls; korvel also writes the
page. Each is run once to warm up, then the two alternate ROUNDS times. For
each the median wall time and the peak resident memory are printed, and the
ratio korvel / find. With --sync-cost, korvel also runs under eatmydata,
which makes its flushes to the disk do nothing: the difference is what
they cost.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

FIND = ["find", ".", "-maxdepth", "1", "-iname", "*.jpg", "-printf", "%s %T@ %f\\n"]


def make_folder(path, count):
    os.makedirs(path, exist_ok=True)
    for i in range(1, count + 1):
        open(os.path.join(path, "IMG_%06d.jpg" % i), "wb").close()


def run_once(argv, folder, report):
    """Wall time in seconds and peak resident memory in KiB of one run.

    The memory comes from GNU time: a child forked from this Python process
    would be charged with Python's own memory, which it holds until its exec.
    """
    with open(os.devnull, "wb") as null:
        start = time.perf_counter()
        status = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report] + argv,
                                 cwd=folder, stdout=null, stderr=null)
        elapsed = time.perf_counter() - start
    if status != 0:
        sys.exit("%s failed with status %d" % (argv[0], status))
    with open(report) as text:
        return elapsed, int(text.read().split()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("korvel", help="the korvel executable")
    parser.add_argument("-n", "--count", type=int, default=100_000, help="pictures (default 100000)")
    parser.add_argument("--million", action="store_true", help="use 1,000,000 pictures")
    parser.add_argument("--rounds", type=int, default=5, help="timed runs of each (default 5)")
    parser.add_argument("--dir", help="where to make the folder (default: a temporary folder)")
    parser.add_argument("--sync-cost", action="store_true", help="also time korvel without its flushes to the disk")
    args = parser.parse_args()
    count = 1_000_000 if args.million else args.count
    korvel = [os.path.abspath(args.korvel)]

    base = tempfile.mkdtemp(prefix="korvel-bench-", dir=args.dir)
    try:
        folder = os.path.join(base, "pictures")
        make_folder(folder, count)
        commands = {"korvel": korvel, "find": FIND}
        if args.sync_cost:
            commands["no-sync"] = ["eatmydata"] + korvel
        results = {name: [] for name in commands}
        report = os.path.join(base, "time.txt")
        for argv in commands.values():  # warm-up: the folder's entries are cached from here on
            run_once(argv, folder, report)
        for _ in range(args.rounds):
            for name, argv in commands.items():
                results[name].append(run_once(argv, folder, report))
        page = os.path.getsize(os.path.join(folder, "index.html"))
    finally:
        shutil.rmtree(base, ignore_errors=True)

    print("%d pictures, page %d bytes, %d rounds" % (count, page, args.rounds))
    medians = {}
    for name, runs in results.items():
        medians[name] = statistics.median(t for t, _ in runs)
        peak = max(m for _, m in runs)
        print("%-7s median %8.4f s   peak RSS %7.1f MiB" % (name, medians[name], peak / 1024))
    print("korvel / find: %.2f" % (medians["korvel"] / medians["find"]))
    if args.sync_cost:
        cost = medians["korvel"] - medians["no-sync"]
        print("flushes to the disk: %.4f s, %.1f%% of korvel's time" % (cost, 100 * cost / medians["korvel"]))


if __name__ == "__main__":
    main()
