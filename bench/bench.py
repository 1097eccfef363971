#!/usr/bin/env python3
"""Times korvel against find on a folder of N empty pictures.

Both list the same entries with the same stat calls; korvel also writes the
page. Each is run once to warm up, then the two alternate ROUNDS times. For
each the median wall time and the peak resident memory are printed, and the
ratio korvel / find. With --sync-cost, korvel also runs under eatmydata,
which makes its flushes to the disk do nothing: the difference is what
they cost.

--cold drops the page cache before every run (root only), so that each
reads the folder and its files' attributes from the disk. --share MS runs
both in a FUSE pass-through of the folder (bench/slowfs.py) that waits MS
milliseconds in every lookup of a file's attributes, as a network share
does. --sftp MS runs them on a real network file system client: sshfs,
speaking SFTP to OpenSSH's sftp-server through a pipe that holds every
piece of data MS milliseconds each way (bench/sftp_relay.py), with no
caching of names or attributes; the first runs on the fresh mount are
reported beside the later ones.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

FIND = ["find", ".", "-maxdepth", "1", "-iname", "*.jpg", "-printf", "%s %T@ %f\\n"]
# A second peer that, like korvel, sorts the names as well as looking them up.
LS = ["ls", "-l", "--color=never"]


def make_folder(path, count):
    os.makedirs(path, exist_ok=True)
    for i in range(1, count + 1):
        open(os.path.join(path, "IMG_%06d.jpg" % i), "wb").close()


def drop_page_cache():
    """False when this process may not (it takes root)."""
    os.sync()
    try:
        with open("/proc/sys/vm/drop_caches", "w") as control:
            control.write("3\n")
        return True
    except OSError:
        return False


def mount_share(source, mountpoint, delay_ms):
    """Starts the slow pass-through; the system's own python3 has fusepy."""
    os.makedirs(mountpoint)
    server = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "slowfs.py"), source, mountpoint,
                               str(delay_ms / 1000.0)])
    for _ in range(100):
        if os.path.ismount(mountpoint):
            return server
        if server.poll() is not None:
            break
        time.sleep(0.1)
    server.kill()
    sys.exit("could not mount the slow file system at %s" % mountpoint)


def mount_sftp(source, mountpoint, delay_ms):
    os.makedirs(mountpoint)
    relay = "%s %s" % (sys.executable, os.path.join(HERE, "sftp_relay.py"))
    env = dict(os.environ, KORVEL_SFTP_DELAY=str(delay_ms / 1000.0))
    subprocess.check_call(["sshfs", "-o", "ssh_command=" + relay,
                           "-o", "dir_cache=no,entry_timeout=0,attr_timeout=0,negative_timeout=0",
                           "localhost:" + source, mountpoint], env=env)


def unmount_share(mountpoint, server):
    subprocess.call(["umount", mountpoint])
    server.wait()


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
    parser.add_argument("--cold", action="store_true", help="drop the page cache before every run (root only)")
    parser.add_argument("--share", type=float, metavar="MS",
                        help="run in a FUSE pass-through that waits MS milliseconds in every lookup")
    parser.add_argument("--sftp", type=float, metavar="MS",
                        help="run on sshfs through a pipe that holds every piece MS milliseconds each way")
    args = parser.parse_args()
    if args.cold and not drop_page_cache():
        print("--cold: the page cache cannot be dropped here (it takes root): skipped")
        return
    if (args.share is not None or args.sftp is not None) and not os.path.exists("/dev/fuse"):
        print("--share, --sftp: this machine has no FUSE (/dev/fuse): skipped")
        return
    count = 1_000_000 if args.million else args.count
    korvel = [os.path.abspath(args.korvel)]

    base = tempfile.mkdtemp(prefix="korvel-bench-", dir=args.dir)
    share = None
    try:
        folder = os.path.join(base, "pictures")
        make_folder(folder, count)
        if args.share is not None:
            source, folder = folder, os.path.join(base, "share")
            share = mount_share(source, folder, args.share)
        elif args.sftp is not None:
            source, folder = folder, os.path.join(base, "sftp")
            mount_sftp(source, folder, args.sftp)
            share = "sftp"
        commands = {"korvel": korvel, "find": FIND, "ls -l": LS}
        if args.sync_cost:
            commands["no-sync"] = ["eatmydata"] + korvel
        results = {name: [] for name in commands}
        report = os.path.join(base, "time.txt")
        first = {}
        for name, argv in commands.items():  # warm-up: the folder's entries are cached from here on
            first[name] = run_once(argv, folder, report)[0]
        for _ in range(args.rounds):
            for name, argv in commands.items():
                if args.cold:
                    drop_page_cache()
                results[name].append(run_once(argv, folder, report))
        page = os.path.getsize(os.path.join(folder, "index.html"))
    finally:
        if share == "sftp":
            subprocess.call(["fusermount3", "-u", folder])
        elif share:
            unmount_share(folder, share)
        shutil.rmtree(base, ignore_errors=True)

    how = "cold cache" if args.cold else "warm cache"
    if args.share is not None:
        how += ", share waiting %g ms per lookup" % args.share
    if args.sftp is not None:
        how += ", sshfs through a pipe holding %g ms each way" % args.sftp
    print("%d pictures, page %d bytes, %d rounds, %s" % (count, page, args.rounds, how))
    medians = {}
    for name, runs in results.items():
        medians[name] = statistics.median(t for t, _ in runs)
        peak = max(m for _, m in runs)
        print("%-7s median %8.4f s   peak RSS %7.1f MiB" % (name, medians[name], peak / 1024))
    print("korvel / find: %.2f" % (medians["korvel"] / medians["find"]))
    print("korvel / ls -l: %.2f" % (medians["korvel"] / medians["ls -l"]))
    if args.sftp is not None:
        print("first runs: " + ", ".join("%s %.4f s" % (name, t) for name, t in first.items()) +
              "; korvel / find: %.2f" % (first["korvel"] / first["find"]))
    if args.sync_cost:
        cost = medians["korvel"] - medians["no-sync"]
        print("flushes to the disk: %.4f s, %.1f%% of korvel's time" % (cost, 100 * cost / medians["korvel"]))


if __name__ == "__main__":
    main()
