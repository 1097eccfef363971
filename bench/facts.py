#!/usr/bin/python3
"""What korvel reads of pictures (CAPTIONS TAKEN CAMERA), beside exiftool.

On the JPEG pictures of Debian's source of exiv2 (test/data: real
cameras' and photo managers' files, and damaged ones), it compares what
each section shows with what exiftool reads of the same picture:
-MWG:Description, -MWG:DateTimeOriginal and the camera's tags, printing
every picture where they differ (a camera's filler, which korvel shows as
no caption, is counted apart).

Then, in a folder of COUNT pictures (those files again and again), it
times, warm and best of ROUNDS: korvel's first run with only those
options (no record yet), exiftool -json reading the same tags over the
folder, split over the cores, and a run over the unchanged folder beside
a plain run; with --sftp MS, those two again on sshfs through a pipe that
holds every piece of data MS milliseconds each way, which shows no change
times: there each unchanged picture's first bytes are read.
"""
import argparse
import html
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from bench import mount_sftp
from thumbs import best, split

TAGS = ["-use", "MWG", "-MWG:Description", "-MWG:DateTimeOriginal", "-EXIF:Make", "-EXIF:Model",
        "-EXIF:LensModel", "-EXIF:ExposureTime", "-EXIF:FNumber", "-EXIF:ISO", "-EXIF:FocalLength"]
FILLERS = {"olympus digital camera", "sony dsc", "dcf 1.0", "digital camera", "exif_jpeg_picture", "exif jpeg", "default",
           "camera", "samsung", "leica", "minolta digital camera", "konica minolta digital camera"}
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def sections_of(page):
    """name -> (date text, caption, camera) of each section."""
    shown = {}
    pattern = (r"<a name='\d+'><br>(.*?)&nbsp;&nbsp;(\d\d\.\w\w\w\.\d{4} \d\d:\d\d:\d\d)?<a href='#TOP'.*?</a>"
               r"(?:\n<br><bdi class='caption' style='overflow-wrap:anywhere'>(.*?)</bdi>)?(?:\n<br><bdi class='camera' style='overflow-wrap:anywhere'>(.*?)</bdi>)?\n<p>")
    for name, when, caption, camera in re.findall(pattern, page):
        if caption:
            caption = re.sub(r"^<b>.*?</b>&nbsp;&nbsp;", "", caption)
            caption = "" if caption.startswith("<b>") else caption
        shown[html.unescape(name)] = (when, html.unescape(caption or ""), html.unescape(camera or ""))
    return shown


def words(text):
    return " ".join(str(text).split())


def expected_time(value):
    m = re.match(r"(\d{4}):(\d\d):(\d\d) (\d\d):(\d\d):(\d\d)", str(value or ""))
    if not m or m.group(1) == "0000" or not 1 <= int(m.group(2)) <= 12:
        return None
    return "%s.%s.%s %s:%s:%s" % (m.group(3), MONTHS[int(m.group(2)) - 1], m.group(1), m.group(4), m.group(5),
                                  m.group(6))


def expected_camera(tags):
    make, model = words(tags.get("Make", "")), words(tags.get("Model", ""))
    maker = make.split(" ")[0] if make else ""
    parts = [model if not maker or model.upper().startswith(maker.upper()) else (maker + " " + model) if model
             else make]
    parts.append(words(tags.get("LensModel", "")))
    for key, form in (("ExposureTime", "%s s"), ("FNumber", "f/%s"), ("ISO", "ISO %s"), ("FocalLength", "%s")):
        if key in tags and str(tags[key]) not in ("", "0", "undef", "inf"):
            value = tags[key]
            if key == "FNumber":
                value = ("%.2f" if float(value) < 1 else "%.1f") % float(value)
            parts.append(form % value)
    return ", ".join(p for p in parts if p)


def compare(korvel, data):
    folder = tempfile.mkdtemp(prefix="korvel-facts-")
    for name in sorted(os.listdir(data)):
        if name.lower().endswith(".jpg"):
            shutil.copy(os.path.join(data, name), folder)
    with open(os.path.join(folder, "korvel0.htm"), "w") as f:
        f.write("<KORVEL CAPTIONS TAKEN CAMERA NOFILESIZE>\n")
    subprocess.run([korvel], cwd=folder, check=True)
    with open(os.path.join(folder, "index.html"), encoding="ascii") as f:
        shown = sections_of(f.read())
    names = sorted(n for n in os.listdir(folder) if n.lower().endswith(".jpg"))
    read = subprocess.run(["exiftool", "-json", "-n", "-charset", "iptc=Latin"] + TAGS + ["-EXIF:ExposureTime#"]
                          + names, cwd=folder, capture_output=True, text=True)
    printed = subprocess.run(["exiftool", "-json"] + TAGS + names, cwd=folder, capture_output=True, text=True)
    numbers = {t["SourceFile"]: t for t in json.loads(read.stdout or "[]")}
    tags_of = {t["SourceFile"]: t for t in json.loads(printed.stdout or "[]")}
    counts = {"pictures": len(names), "caption same": 0, "caption filler": 0, "time same": 0, "camera same": 0}
    differences = []
    for name in names:
        when, caption, camera = shown.get(name, ("", "", ""))
        tags = tags_of.get(name, {})
        tags["FNumber"] = numbers.get(name, {}).get("FNumber", tags.get("FNumber", ""))
        description = words(tags.get("Description", ""))
        if words(caption) == description[:len(words(caption))] and (caption or not description):
            counts["caption same"] += 1
        elif not caption and description.lower() in FILLERS | {words(tags.get("Make", "")).lower(),
                                                               words(tags.get("Model", "")).lower()}:
            counts["caption filler"] += 1
        else:
            differences.append((name, "caption", caption, description))
        taken = expected_time(tags.get("DateTimeOriginal"))
        if taken is None or when == taken:
            counts["time same"] += 1
        else:
            differences.append((name, "time", when, taken))
        camera_expected = expected_camera(tags)
        if camera == camera_expected:
            counts["camera same"] += 1
        else:
            differences.append((name, "camera", camera, camera_expected))
    shutil.rmtree(folder)
    print("Against exiftool %s on %d pictures of exiv2's test/data:" % (
        subprocess.run(["exiftool", "-ver"], capture_output=True, text=True).stdout.strip(), len(names)))
    for key, value in counts.items():
        print("  %-16s %d" % (key, value))
    for name, what, korvels, exiftools in differences:
        print("  differs: %-28s %-7s korvel %r, exiftool %r" % (name, what, korvels[:70], exiftools[:70]))


def unchanged_and_plain(korvel, folder, template, rounds):
    with open(template, "w") as f:
        f.write("<KORVEL CAPTIONS TAKEN CAMERA BYDATE>\n")
    subprocess.run([korvel], cwd=folder, check=True)
    unchanged = best(rounds, [korvel], folder)
    os.remove(template)
    plain = best(rounds, [korvel], folder)
    return unchanged, plain


def on_sftp(korvel, folder, delay_ms, rounds):
    mountpoint = tempfile.mkdtemp(prefix="korvel-facts-sftp-")
    os.rmdir(mountpoint)
    mount_sftp(folder, mountpoint, delay_ms)
    try:
        unchanged, plain = unchanged_and_plain(korvel, mountpoint, os.path.join(mountpoint, "korvel0.htm"), rounds)
    finally:
        subprocess.call(["fusermount3", "-u", mountpoint])
    print("  on sshfs, %g ms each way: unchanged %8.4f s  (%.2fx a plain run, %.4f s)" % (
        delay_ms, unchanged, unchanged / plain, plain))


def speed(korvel, data, count, rounds, sftp):
    sources = sorted(os.path.join(data, n) for n in os.listdir(data) if n.lower().endswith(".jpg"))
    folder = tempfile.mkdtemp(prefix="korvel-facts-speed-")
    for i in range(count):
        shutil.copy(sources[i % len(sources)], os.path.join(folder, "P%05d.jpg" % i))
    names = sorted(n for n in os.listdir(folder) if n.endswith(".jpg"))
    # A picture written within a file system's tick (2 s) of the record is
    # read again, as one changed since may be: a folder left unchanged is
    # older than that.
    time.sleep(2.5)
    cores = os.cpu_count() or 1
    template = os.path.join(folder, "korvel0.htm")

    def facts_template():
        with open(template, "w") as f:
            f.write("<KORVEL CAPTIONS TAKEN CAMERA BYDATE>\n")

    def first_run():
        facts_template()
        shutil.rmtree(os.path.join(folder, "korvel-facts"), ignore_errors=True)

    first = best(rounds, [korvel], folder, first_run)
    # It says so of the damaged pictures among them, with a status of 123.
    reading = split(["exiftool", "-json", "-q"] + TAGS, names, cores)
    reading[2] += " || true"
    exiftool = best(rounds, reading, folder)
    unchanged, plain = unchanged_and_plain(korvel, folder, template, max(rounds, 5))
    print("%d pictures, %d cores:" % (count, cores))
    print("  korvel's first CAPTIONS TAKEN CAMERA BYDATE run %8.3f s" % first)
    print("  exiftool -json, the same tags, split            %8.3f s  (%.1fx korvel's)" % (exiftool,
                                                                                        exiftool / first))
    print("  korvel over the unchanged folder                %8.4f s  (%.2fx a plain run, %.4f s)" % (
        unchanged, unchanged / plain, plain))
    if sftp is not None:
        on_sftp(korvel, folder, sftp, max(rounds, 5))
    shutil.rmtree(folder)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("korvel")
    parser.add_argument("--data", required=True, help="exiv2's test/data")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--sftp", type=float, metavar="MS")
    args = parser.parse_args()
    korvel = os.path.abspath(args.korvel)
    compare(korvel, args.data)
    speed(korvel, args.data, args.count, args.rounds, args.sftp)


if __name__ == "__main__":
    sys.exit(main())
