#!/usr/bin/python3
"""Times korvel's ALBUMS over a tree of folders against find.

A tree of FOLDERS leaf folders (years, months, events: ten of each below
the one above) holding COUNT small pictures in all (one little JPEG, hard
linked under every name), its top's template asking for ALBUMS. After a
first run, it times, warm and median of ROUNDS, the run over the unchanged
tree beside find -printf '%s %T@ %p\\n' over it, plain and with THUMBS
VIEWS CAPTIONS, with each run's peak memory. Then, unless --no-camera, the
first THUMBS VIEWS run over CAMERA_FOLDERS folders of 15 camera-like
pictures (4000 x 3000) against the first run over the same pictures in one
folder.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import run_once  # noqa: E402


def small_jpeg(path):
    ppm = b"P6 160 120 255\n" + bytes((i * 7) & 255 for i in range(160 * 120 * 3))
    with open(path, "wb") as out:
        subprocess.run(["cjpeg", "-quality", "85"], input=ppm, stdout=out, check=True)


def make_tree(top, folders, count, marker):
    os.makedirs(top)
    per = max(1, count // folders)
    made = 0
    for k in range(folders):
        leaf = os.path.join(top, "%04d" % (2000 + k // 100), "%02d" % (k // 10 % 10 + 1), "Event %d" % (k % 10))
        os.makedirs(leaf)
        # A picture of its own for each hundred folders: a file system
        # holds only so many links to one file.
        source = os.path.join(top, ".source-%d.jpg" % (k // 100))
        if not os.path.exists(source):
            small_jpeg(source)
        for i in range(per):
            os.link(source, os.path.join(leaf, "IMG_%05d.jpg" % i))
            made += 1
    with open(os.path.join(top, "korvel0.htm"), "w") as template:
        template.write(marker + "\n")
    return made


def timed(argv, folder, report, rounds):
    runs = [run_once(argv, folder, report) for _ in range(rounds)]
    return statistics.median(t for t, _ in runs), max(m for _, m in runs) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("korvel")
    parser.add_argument("--folders", type=int, default=1000)
    parser.add_argument("--count", type=int, default=100_000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--camera-folders", type=int, default=20)
    parser.add_argument("--no-camera", action="store_true")
    parser.add_argument("--plain", action="store_true", help="only the plain ALBUMS tree")
    args = parser.parse_args()
    korvel = [os.path.abspath(args.korvel)]
    find = ["find", ".", "-printf", "%s %T@ %p\\n"]
    base = tempfile.mkdtemp(prefix="korvel-tree-")
    report = os.path.join(base, "time.txt")
    try:
        markers = ["<KORVEL ALBUMS>"] + ([] if args.plain else ["<KORVEL ALBUMS THUMBS VIEWS CAPTIONS>"])
        for marker in markers:
            top = os.path.join(base, "tree")
            made = make_tree(top, args.folders, args.count, marker)
            first, first_peak = run_once(korvel, top, report)
            run_once(find, top, report)  # warm
            korvel_time, korvel_peak = timed(korvel, top, report, args.rounds)
            find_time, find_peak = timed(find, top, report, args.rounds)
            pages = sum(1 for _, _, files in os.walk(top) if "index.html" in files)
            print("%s: %d folders, %d pictures, %d pages; first run %.2f s, peak %.1f MiB" %
                  (marker, args.folders, made, pages, first, first_peak / 1024))
            print("  unchanged tree: korvel %.4f s (peak %.1f MiB), find %.4f s (peak %.1f MiB); korvel / find %.2f" %
                  (korvel_time, korvel_peak, find_time, find_peak, korvel_time / find_time))
            shutil.rmtree(top)
        if args.no_camera:
            return
        from thumbs import camera_picture
        sources = [os.path.join(base, "camera-%d.jpg" % i) for i in range(3)]
        for i, path in enumerate(sources):
            camera_picture(path, i)
        one, tree = os.path.join(base, "one"), os.path.join(base, "albums")
        os.makedirs(one)
        for k in range(args.camera_folders):
            folder = os.path.join(tree, "Album %02d" % k)
            os.makedirs(folder)
            for i in range(15):
                name = "IMG_%02d_%02d.jpg" % (k, i)
                shutil.copyfile(sources[(k + i) % 3], os.path.join(folder, name))
                shutil.copyfile(sources[(k + i) % 3], os.path.join(one, name))
        with open(os.path.join(tree, "korvel0.htm"), "w") as template:
            template.write("<KORVEL ALBUMS THUMBS VIEWS>\n")
        with open(os.path.join(one, "korvel0.htm"), "w") as template:
            template.write("<KORVEL THUMBS VIEWS>\n")
        one_time, one_peak = run_once(korvel, one, report)
        tree_time, tree_peak = run_once(korvel, tree, report)
        print("first THUMBS VIEWS run, %d camera pictures: one folder %.2f s (peak %.1f MiB), "
              "%d albums of 15 %.2f s (peak %.1f MiB); albums / one folder %.2f" %
              (15 * args.camera_folders, one_time, one_peak / 1024, args.camera_folders, tree_time,
               tree_peak / 1024, tree_time / one_time))
    finally:
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
