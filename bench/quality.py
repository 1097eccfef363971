#!/usr/bin/python3
"""Measures how close korvel's thumbnails and views are to the picture
itself, beside the tools a user would pick instead.

Photographs: the largest picture of each wallpaper of Debian's
plasma-workspace-wallpapers (real photographs and some drawn ones, 2560 x
1600 to 5120 x 2880; PNGs saved as JPEG at quality 92), and camera-like
pictures made from a few of them (4000 x 3000, a camera's noise, 4:2:0 at
quality 92). For each, the thumbnail 120 wide of: korvel THUMBS VIEWS
(made from its small view), vipsthumbnail -s 120x, ImageMagick convert
-thumbnail 120x, GraphicsMagick gm convert -thumbnail 120x; then the view
1600 wide of korvel's VIEWS and of the same three with 1600x, and the
small view 800 wide and the same three with 800x; korvel's in JPEG and
in WebP (where the WebP pays) beside it; each
against a reference of the same size reduced from the full picture by
Lanczos-3 in double precision (numpy): luma PSNR and SSIM (11-pixel
Gaussian window, sigma 1.5), and bytes.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

import numpy as np


def read_ppm(data):
    # The header's one blank after the maximum, then the pixels, which may
    # start with a byte that reads as a blank.
    header = re.match(rb"(P[56])\s+(\d+)\s+(\d+)\s+\d+\s", data)
    width, height, pixels = int(header.group(2)), int(header.group(3)), data[header.end():]
    if header.group(1) == b"P5":  # a grey picture
        grey = np.frombuffer(pixels[: width * height], np.uint8).reshape(height, width, 1)
        return np.repeat(grey, 3, axis=2)
    return np.frombuffer(pixels[: width * height * 3], np.uint8).reshape(height, width, 3)


def decoded(path):
    command = ["dwebp", "-quiet", "-ppm", path, "-o", "-"] if path.endswith(".webp") else ["djpeg", "-ppm", path]
    return read_ppm(subprocess.run(command, capture_output=True, check=True).stdout)


def lanczos_matrix(source, target):
    scale = source / target
    support = 3 * max(scale, 1.0)
    centres = (np.arange(target) + 0.5) * scale
    x = (np.arange(source)[None, :] + 0.5 - centres[:, None]) / max(scale, 1.0)
    w = np.where(np.abs(x) < 3, np.sinc(x) * np.sinc(x / 3), 0.0)
    w[np.abs(x * max(scale, 1.0)) > support] = 0
    return w / w.sum(axis=1, keepdims=True)


def reference(full, width, height):
    def banded(weights, image):
        # Each output line from the few source lines its weights reach.
        out = np.empty((weights.shape[0],) + image.shape[1:])
        for i, w in enumerate(weights):
            used = np.nonzero(w)[0]
            out[i] = np.tensordot(w[used[0]:used[-1] + 1], image[used[0]:used[-1] + 1], axes=1)
        return out

    along = banded(lanczos_matrix(full.shape[0], height), full.astype(np.float64))
    across = banded(lanczos_matrix(full.shape[1], width), along.transpose(1, 0, 2)).transpose(1, 0, 2)
    return np.clip(across, 0, 255)


def luma(rgb):
    rgb = rgb.astype(np.float64)
    return 0.299 * rgb[..., 0] + 0.587 * rgb[..., 1] + 0.114 * rgb[..., 2]


def psnr(a, b):
    mse = np.mean((a - b) ** 2)
    return 99.0 if mse == 0 else 10 * np.log10(255.0 ** 2 / mse)


def gaussian_filter(image):
    t = np.arange(11) - 5
    g = np.exp(-t * t / (2 * 1.5 ** 2))
    g /= g.sum()
    out = np.apply_along_axis(lambda r: np.convolve(r, g, mode="valid"), 0, image)
    return np.apply_along_axis(lambda r: np.convolve(r, g, mode="valid"), 1, out)


def ssim(a, b):
    c1, c2 = (0.01 * 255) ** 2, (0.03 * 255) ** 2
    mu_a, mu_b = gaussian_filter(a), gaussian_filter(b)
    var_a = gaussian_filter(a * a) - mu_a ** 2
    var_b = gaussian_filter(b * b) - mu_b ** 2
    cov = gaussian_filter(a * b) - mu_a * mu_b
    return float(np.mean(((2 * mu_a * mu_b + c1) * (2 * cov + c2)) / ((mu_a ** 2 + mu_b ** 2 + c1) * (var_a + var_b + c2))))


def camera_like(photo_path, out_path, seed):
    """A 4000 x 3000 picture from a photograph: cropped to 4:3, enlarged,
    with a camera's noise, 4:2:0 at quality 92."""
    rng = np.random.default_rng(seed)
    full = decoded(photo_path).astype(np.float32)
    h, w = full.shape[:2]
    crop = full[:, (w - h * 4 // 3) // 2:(w - h * 4 // 3) // 2 + h * 4 // 3] if w * 3 > h * 4 else full
    ys = np.linspace(0, crop.shape[0] - 1, 3000)
    xs = np.linspace(0, crop.shape[1] - 1, 4000)
    y0, x0 = ys.astype(int), xs.astype(int)
    y1, x1 = np.minimum(y0 + 1, crop.shape[0] - 1), np.minimum(x0 + 1, crop.shape[1] - 1)
    fy, fx = (ys - y0)[:, None, None], (xs - x0)[None, :, None]
    big = (crop[y0][:, x0] * (1 - fy) * (1 - fx) + crop[y0][:, x1] * (1 - fy) * fx +
           crop[y1][:, x0] * fy * (1 - fx) + crop[y1][:, x1] * fy * fx)
    big += rng.normal(0, 3, big.shape).astype(np.float32)
    ppm = b"P6 4000 3000 255\n" + np.clip(big, 0, 255).astype(np.uint8).tobytes()
    with open(out_path, "wb") as out:
        subprocess.run(["cjpeg", "-quality", "92", "-sample", "2x2"], input=ppm, stdout=out, check=True)


def photographs(folder, cameras, limit):
    names = []
    for images in sorted(glob.glob("/usr/share/wallpapers/*/contents/images"))[: limit or None]:
        files = [f for f in glob.glob(images + "/*") if f.endswith((".jpg", ".png"))]
        if not files:
            continue
        largest = max(files, key=os.path.getsize)
        name = images.split("/")[4] + ".jpg"
        target = os.path.join(folder, name)
        if largest.endswith(".png"):
            subprocess.run(["convert", largest, "-quality", "92", target], check=True)
        else:
            shutil.copy(largest, target)
        names.append(name)
    for i, name in enumerate(names[: cameras]):
        camera = "camera-" + name
        camera_like(os.path.join(folder, name), os.path.join(folder, camera), i)
        names.append(camera)
    return names


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("korvel")
    parser.add_argument("--cameras", type=int, default=6)
    parser.add_argument("--limit", type=int, default=0, help="only the first N wallpapers")
    args = parser.parse_args()
    korvel = os.path.abspath(args.korvel)
    base = tempfile.mkdtemp(prefix="korvel-quality-")
    try:
        folder = os.path.join(base, "photos")
        os.makedirs(folder)
        names = photographs(folder, args.cameras, args.limit)
        with open(os.path.join(folder, "korvel0.htm"), "w") as template:
            template.write("<KORVEL THUMBS VIEWS>\n")
        subprocess.run([korvel], cwd=folder, check=True)
        for piece, korvel_folder, size in (("thumbnails", "korvel-thumbs", "120x"), ("views", "korvel-views", "1600x"),
                                           ("small views", "korvel-views-800", "800x")):
            print("== %s, %s" % (piece, size))
            compare(folder, base, names, {"korvel": os.path.join(folder, korvel_folder),
                                          "korvel WebP": os.path.join(folder, korvel_folder + "-webp")}, size)
    finally:
        shutil.rmtree(base, ignore_errors=True)


def compare(folder, base, names, makers, size_option):
    commands = {"vipsthumbnail": lambda src, dst: ["vipsthumbnail", "-s", size_option, "-o", dst, src],
                "ImageMagick": lambda src, dst: ["convert", src, "-thumbnail", size_option, dst],
                "GraphicsMagick": lambda src, dst: ["gm", "convert", src, "-thumbnail", size_option, dst]}
    for maker, command in commands.items():
        makers[maker] = os.path.join(base, maker + size_option)
        os.makedirs(makers[maker])
        for name in names:
            subprocess.run(command(os.path.join(folder, name), os.path.join(makers[maker], name)), check=True)
    scores = {maker: [] for maker in makers}
    print("%-32s" % "picture" + "".join("%28s" % m for m in makers))
    for name in names:
        full = decoded(os.path.join(folder, name))
        references = {}
        line = "%-32s" % name[:32]
        for maker, where in makers.items():
            path = os.path.join(where, name + (".webp" if where.endswith("-webp") else ""))
            if not os.path.exists(path):
                line += "%28s" % "none"
                continue
            made = decoded(path)
            size = (made.shape[1], made.shape[0])
            if size not in references:
                references[size] = reference(full, *size)
            ref = references[size]
            a, b = luma(made), luma(ref)
            p, s, size = psnr(a, b), ssim(a, b), os.path.getsize(path)
            scores[maker].append((name, p, s, size))
            line += "%12.2f dB %5.3f %7d" % (p, s, size)
        print(line)
    print()
    print("%-16s %9s %7s %9s %s" % ("maker", "PSNR dB", "SSIM", "bytes", "pictures"))
    for maker, rows in scores.items():
        print("%-16s %9.2f %7.3f %9.0f %d" % (maker, np.mean([r[1] for r in rows]), np.mean([r[2] for r in rows]),
                                             np.mean([r[3] for r in rows]), len(rows)))
    vips = {r[0]: r[1] for r in scores["vipsthumbnail"]}
    worst = min(((r[1] - vips[r[0]], r[0]) for r in scores["korvel"] if r[0] in vips), default=(0, ""))
    print("korvel's least lead over vipsthumbnail on one picture: %.2f dB (%s)" % worst)
    jpeg = {r[0]: r for r in scores["korvel"]}
    pairs = [(r, jpeg[r[0]]) for r in scores["korvel WebP"] if r[0] in jpeg]
    if pairs:
        print("korvel's WebP beside its JPEG, on the %d pictures that have both: %.2f dB, SSIM %+.4f, at %.2f x "
              "the bytes; closer on %d" % (len(pairs), np.mean([w[1] - j[1] for w, j in pairs]),
                                           np.mean([w[2] - j[2] for w, j in pairs]),
                                           sum(w[3] for w, j in pairs) / sum(j[3] for w, j in pairs),
                                           sum(1 for w, j in pairs if w[2] >= j[2])))
    print()


if __name__ == "__main__":
    sys.exit(main())
