#!/usr/bin/python3
"""Times korvel's THUMBS against the thumbnailers a user has at hand.

In a folder of COUNT camera-like pictures (4000 x 3000, about 4 MB, made
here: a few drawn with numpy and encoded by cjpeg, linked under COUNT
names), it times, warm and best of ROUNDS:
  korvel's first THUMBS run (no thumbnail there yet) and its second (all
  current), and its peak memory;
  vipsthumbnail -s 120x over the files, in one process and split over the
  cores;
  gm mogrify -size 240x180 -thumbnail 120x, split over the cores;
  the floor: djpeg -scale 1/8 of every file, split over the cores;
  then korvel's first THUMBS VIEWS run (thumbnails and views from one
  decode: views 1600 and 800 on the long side and thumbnails 120 and 60
  wide, each in JPEG and WebP) and its run with all current, beside a
  plain run, its peak memory, vipsthumbnail making the same eight sizes
  and formats, each a run of its own split over the cores (the runs a
  user would make instead), and the views' floor:
  djpeg -scale 1/2 of every file, split over the cores.
Then the peak memory of a first THUMBS run and a first THUMBS VIEWS run
over BIG baseline pictures of 24 megapixels, with 1, 2 and 16 cores as a
preloaded get_nprocs makes the system say.
Then in a folder of SMALL little pictures whose thumbnails are all current,
a THUMBS run against a run without THUMBS; and the time of a hostile
picture: a valid progressive JPEG whose one AC scan is repeated 8,000 times.
"""
import argparse
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np


# The folders of what THUMBS VIEWS makes, each size and format.
PIECE_FOLDERS = ("korvel-thumbs", "korvel-views", "korvel-thumbs-60", "korvel-views-800", "korvel-thumbs-webp",
                 "korvel-views-webp", "korvel-thumbs-60-webp", "korvel-views-800-webp")


def camera_picture(path, seed):
    rng = np.random.default_rng(seed)
    h, w = 3000, 4000
    y, x = np.mgrid[0:h, 0:w].astype(np.float32)
    img = np.empty((h, w, 3), np.float32)
    img[..., 0] = 120 + 60 * np.sin(x / (310 + seed)) * np.cos(y / 270)
    img[..., 1] = 110 + 50 * np.sin((x + y) / (420 + seed))
    img[..., 2] = 100 + 70 * np.cos(x / 530 - y / (610 + seed))
    img += rng.normal(0, 9, (h, w, 3)).astype(np.float32)
    ppm = b"P6 %d %d 255\n" % (w, h) + np.clip(img, 0, 255).astype(np.uint8).tobytes()
    with open(path, "wb") as out:
        subprocess.run(["cjpeg", "-quality", "92"], input=ppm, stdout=out, check=True)


def small_picture(path):
    ppm = b"P6 200 150 255\n" + bytes((i * 7) & 255 for i in range(200 * 150 * 3))
    with open(path, "wb") as out:
        subprocess.run(["cjpeg", "-quality", "85"], input=ppm, stdout=out, check=True)


def scan_bomb(path, repeats):
    """A progressive picture without successive approximation, its first AC
    scan repeated: valid, and each scan a pass over the whole picture."""
    ppm = b"P6 4000 3000 255\n" + bytes([90, 140, 200]) * (4000 * 3000)
    scans = path + ".scans"
    with open(scans, "w") as script:
        script.write("0,1,2: 0-0, 0, 0;\n0: 1-63, 0, 0;\n1: 1-63, 0, 0;\n2: 1-63, 0, 0;\n")
    jpeg = subprocess.run(["cjpeg", "-quality", "90", "-scans", scans], input=ppm, capture_output=True,
                          check=True).stdout
    first = jpeg.find(b"\xff\xda")
    second = jpeg.find(b"\xff\xda", first + 2)
    third = jpeg.find(b"\xff\xda", second + 2)
    with open(path, "wb") as out:
        out.write(jpeg[:third] + jpeg[second:third] * repeats + jpeg[third:])


def timed(command, cwd, before=None):
    if before:
        before()
    started = time.monotonic()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.monotonic() - started


def best(rounds, command, cwd, before=None):
    return min(timed(command, cwd, before) for _ in range(rounds))


def split(tool_args, files, cores, each=None):
    """The files split over the cores, each process getting an even share
    (or each files at a time)."""
    share = each or (len(files) + cores - 1) // cores
    xargs = "xargs -0 -n " + str(share) + " -P " + str(cores) + " " + " ".join(shlex.quote(a) for a in tool_args)
    return ["sh", "-c", 'printf "%s\\0" "$@" | ' + xargs, "sh"] + files


def report(rows, count):
    for name, seconds in rows:
        print("%-38s %8.3f s  %6.1f ms a picture" % (name, seconds, seconds * 1000 / count))


def peak_of(korvel, folder, env=None):
    memory = subprocess.run(["/usr/bin/time", "-f", "%M", korvel], cwd=folder, capture_output=True, text=True,
                            env=env)
    return int(memory.stderr.strip().splitlines()[-1]) / 1024


def cores_shim(base):
    """A library that makes the system say it has KORVEL_BENCH_CORES cores,
    preloaded: korvel keeps no option for it."""
    source = os.path.join(base, "cores.c")
    with open(source, "w") as c:
        c.write("#include <stdlib.h>\n"
                "static int cores(void) { const char* n = getenv(\"KORVEL_BENCH_CORES\"); return n ? atoi(n) : 1; }\n"
                "int get_nprocs(void) { return cores(); }\nint get_nprocs_conf(void) { return cores(); }\n")
    shim = os.path.join(base, "cores.so")
    subprocess.run(["g++", "-x", "c", "-shared", "-fPIC", "-O2", "-o", shim, source], check=True)
    return shim


def memory_by_cores(korvel, base, count):
    """Peak memory of a first run over COUNT baseline pictures of 24
    megapixels, with 1, 2 and 16 cores as the system says."""
    folder = os.path.join(base, "big")
    os.makedirs(folder)
    h, w = 4000, 6000
    rng = np.random.default_rng(7)
    img = np.empty((h, w, 3), np.uint8)
    y, x = np.mgrid[0:h, 0:w]
    img[..., 0] = (120 + 60 * np.sin(x / 310.0)).astype(np.uint8)
    img[..., 1] = (110 + 50 * np.sin((x + y) / 420.0)).astype(np.uint8)
    img[..., 2] = (100 + 70 * np.cos(y / 610.0)).astype(np.uint8)
    img = np.clip(img.astype(np.int16) + rng.integers(-9, 10, img.shape, dtype=np.int16), 0, 255).astype(np.uint8)
    source = os.path.join(base, "big.jpg")
    with open(source, "wb") as out:
        subprocess.run(["cjpeg", "-quality", "92"], input=b"P6 %d %d 255\n" % (w, h) + img.tobytes(), stdout=out,
                       check=True)
    del img, x, y
    for i in range(count):
        shutil.copyfile(source, os.path.join(folder, "IMG_%04d.jpg" % i))
    shim = cores_shim(base)
    print("%d baseline pictures of 6000 x 4000, %.1f MB: peak RSS of a first run" % (
        count, os.path.getsize(source) / 1e6))
    for marker in ("THUMBS", "THUMBS VIEWS"):
        with open(os.path.join(folder, "korvel0.htm"), "w") as template:
            template.write("<KORVEL %s>\n" % marker)
        peaks = []
        for n in (1, 2, 16):
            for made in PIECE_FOLDERS:
                shutil.rmtree(os.path.join(folder, made), ignore_errors=True)
            peaks.append(peak_of(korvel, folder, dict(os.environ, LD_PRELOAD=shim, KORVEL_BENCH_CORES=str(n))))
        print("  %-13s 1 core %6.1f MiB, 2 cores %6.1f MiB, 16 cores %6.1f MiB" % ((marker,) + tuple(peaks)))


def time_views(args, korvel, folder, files, cores, out, fresh_out):
    template = os.path.join(folder, "korvel0.htm")
    with open(template, "w") as t:
        t.write("<KORVEL>\n")
    plain = best(args.rounds, [korvel], folder)
    with open(template, "w") as t:
        t.write("<KORVEL THUMBS VIEWS>\n")
    clear = lambda: [shutil.rmtree(os.path.join(folder, made), ignore_errors=True) for made in PIECE_FOLDERS]
    first = best(args.rounds, [korvel], folder, clear)
    clear()
    peak = peak_of(korvel, folder)
    time.sleep(2.1)  # past the record's tick: a gallery is seldom run again so soon
    subprocess.run([korvel], cwd=folder, check=True)
    current = best(args.rounds, [korvel], folder)
    # What korvel makes, each size and format a run of its own.
    vips = []
    for size, quality, webp_quality in (("1600x", 85, 88), ("800x", 85, 88), ("120x", 80, 80), ("60x", 80, 80)):
        for suffix in (".jpg[Q=%d,optimize_coding,strip]" % quality, ".webp[Q=%d,strip]" % webp_quality):
            named = "vipsthumbnail -s %s, %s, split" % (size, suffix[1:suffix.index("[")])
            target = out + "/%s-" + size + suffix
            vips.append((named, best(args.rounds, split(["vipsthumbnail", "-s", size, "-o", target], files, cores),
                                     folder, fresh_out)))
    floor = best(args.rounds, split(["djpeg", "-scale", "1/2", "-outfile", "/dev/null"], files, cores, 1), folder)
    rows = [("korvel THUMBS VIEWS, first run", first), ("korvel THUMBS VIEWS, all current", current),
            ("korvel, plain page", plain)] + vips + [("djpeg -scale 1/2, split (the floor)", floor)]
    report(rows, args.count)
    vips_all = sum(seconds for _, seconds in vips)
    print("korvel's first THUMBS VIEWS run: %.2f of the eight vipsthumbnail runs (%.1f s), %.2f of the floor; all "
          "current: %.2f of a plain run; peak RSS %.1f MiB" % (first / vips_all, vips_all, first / floor,
                                                               current / plain, peak))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("korvel")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--small", type=int, default=2000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--big", type=int, default=24, help="pictures of 24 megapixels whose peak memory is shown")
    parser.add_argument("--sftp", type=float, metavar="MS",
                        help="time the small pictures on sshfs through a pipe holding MS each way, instead")
    args = parser.parse_args()
    korvel = os.path.abspath(args.korvel)
    cores = os.cpu_count() or 1
    base = tempfile.mkdtemp(prefix="korvel-thumbs-bench-")
    mounted = []
    try:
        folder = os.path.join(base, "camera")
        os.makedirs(folder)
        sources = []
        for seed in range(min(8, args.count)):
            sources.append(os.path.join(base, "source-%d.jpg" % seed))
            camera_picture(sources[-1], seed)
        files = []
        for i in range(args.count):
            files.append("IMG_%04d.jpg" % i)
            os.link(sources[i % len(sources)], os.path.join(folder, files[-1]))
        with open(os.path.join(folder, "korvel0.htm"), "w") as template:
            template.write("<KORVEL THUMBS>\n")
        size = os.path.getsize(sources[0])
        print("%d camera-like pictures of about %.1f MB, %d cores, best of %d, warm cache" % (
            args.count, size / 1e6, cores, args.rounds))
        subprocess.run(["cat"] + sources, stdout=subprocess.DEVNULL, check=True)  # warm

        out = os.path.join(base, "out")
        clear = lambda: [shutil.rmtree(os.path.join(folder, made), ignore_errors=True) for made in PIECE_FOLDERS]
        fresh_out = lambda: (shutil.rmtree(out, ignore_errors=True), os.makedirs(out))
        first = best(args.rounds, [korvel], folder, clear)
        clear()
        peak = peak_of(korvel, folder)
        second = best(args.rounds, [korvel], folder)
        vips = best(args.rounds, ["vipsthumbnail", "-s", "120x", "-o", out + "/%s.jpg"] + files, folder, fresh_out)
        vips_split = best(args.rounds, split(["vipsthumbnail", "-s", "120x", "-o", out + "/%s.jpg"], files, cores),
                          folder, fresh_out)
        gm = best(args.rounds, split(["gm", "mogrify", "-output-directory", out, "-size", "240x180",
                                      "-thumbnail", "120x"], files, cores), folder, fresh_out)
        floor = best(args.rounds, split(["djpeg", "-scale", "1/8", "-outfile", "/dev/null"], files, cores, 1), folder)
        rows = [("korvel THUMBS, first run", first), ("korvel THUMBS, all current", second),
                ("vipsthumbnail -s 120x", vips), ("vipsthumbnail, split over the cores", vips_split),
                ("gm mogrify, split over the cores", gm), ("djpeg -scale 1/8, split (the floor)", floor)]
        report(rows, args.count)
        print("korvel's first run: %.2f of vipsthumbnail's, %.2f of gm split, %.2f of the floor; peak RSS %.1f MiB" % (
            first / vips, first / gm, first / floor, peak))
        time_views(args, korvel, folder, files, cores, out, fresh_out)

        if args.big:
            memory_by_cores(korvel, base, args.big)

        small = os.path.join(base, "small")
        os.makedirs(small)
        small_picture(os.path.join(base, "small.jpg"))
        for i in range(args.small):
            os.link(os.path.join(base, "small.jpg"), os.path.join(small, "P_%05d.jpg" % i))
        if args.sftp is not None:
            sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
            import bench
            bench.mount_sftp(small, os.path.join(base, "share"), args.sftp)
            small = os.path.join(base, "share")
            mounted.append(small)
        subprocess.run([korvel], cwd=small, check=True)
        plain = best(args.rounds, [korvel], small)
        with open(os.path.join(small, "korvel0.htm"), "w") as template:
            template.write("<KORVEL THUMBS>\n")
        made = timed([korvel], small)
        # Pictures changed within two seconds of the record are checked by
        # their content; a gallery is seldom run again so soon.
        time.sleep(2.1)
        subprocess.run([korvel], cwd=small, check=True)
        current = best(args.rounds, [korvel], small)
        where = " on sshfs, %g ms each way" % args.sftp if args.sftp is not None else ""
        print("%d small pictures%s: first THUMBS run %.3f s; thumbnails all current: THUMBS %.4f s, without %.4f s, "
              "ratio %.2f" % (args.small, where, made, current, plain, current / plain))

        hostile = os.path.join(base, "hostile")
        os.makedirs(hostile)
        scan_bomb(os.path.join(hostile, "bomb.jpg"), 8000)
        with open(os.path.join(hostile, "korvel0.htm"), "w") as template:
            template.write("<KORVEL THUMBS>\n")
        bomb = timed([korvel], hostile)
        print("a progressive picture of %.2f MB, one scan repeated 8,000 times: %.3f s, thumbnail %s" % (
            os.path.getsize(os.path.join(hostile, "bomb.jpg")) / 1e6, bomb,
            "made" if os.path.exists(os.path.join(hostile, "korvel-thumbs", "bomb.jpg")) else "not made"))
    finally:
        for folder in mounted:
            subprocess.call(["fusermount3", "-u", folder])
        shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
