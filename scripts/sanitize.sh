#!/usr/bin/env bash
# Builds every test with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang) and runs them, runs the listing and the end-to-end tests built
# with ThreadSanitizer, then fuzzes the template handling and the option
# parser for a bounded time: FUZZ_SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make clang libclang-rt-14-dev libgtest-dev libacl1-dev libjpeg62-turbo-dev libxxhash-dev libwebp-dev libexiv2-dev libmd-dev

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== Sanitizers: every test"
cmake -S . -B build/sanitize -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DKORVEL_WERROR=ON \
    -DCMAKE_CXX_FLAGS="$sanitizers" >/dev/null
cmake --build build/sanitize -j "$(nproc)"
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"

echo "== ThreadSanitizer: the listing and the end-to-end tests"
cmake -S . -B build/tsan -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DKORVEL_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer -g -O1" >/dev/null
cmake --build build/tsan -j "$(nproc)"
# Its runtime wants the fixed layout of an address space without ASLR.
TSAN_OPTIONS=halt_on_error=1 setarch "$(uname -m)" -R \
    ctest --test-dir build/tsan --output-on-failure -j "$(nproc)" -R '^(Listing|GalleryPage|TemplatePage|PictureFacts|Failing|Stopped|Together|FullDisk|Albums[A-Za-z]*)\.'

echo "== Fuzzing the template, the marker options and the thumbnails for ${FUZZ_SECONDS:-60} s"
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DKORVEL_TESTS=OFF \
    -DKORVEL_FUZZ=ON -DCMAKE_CXX_FLAGS="$sanitizers -fsanitize=fuzzer-no-link" >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target template_fuzzer
corpus=build/fuzz/corpus
mkdir -p "$corpus"
cp tests/fuzz/corpus/* "$corpus"/
# Pictures to start from, made by the library: a small one, and one with an
# EXIF block that turns it.
need_packages libjpeg-turbo-progs python3
python3 -c 'import sys; sys.stdout.buffer.write(b"P6 128 64 255\n" + bytes((i // 3 % 128 + i // 384) & 255 for i in range(128 * 64 * 3)))' |
    cjpeg -quality 75 >"$corpus/picture.jpg"
python3 -c 'import sys
jpeg = open(sys.argv[1], "rb").read()
tiff = b"MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0"
block = b"Exif\0\0" + tiff
sys.stdout.buffer.write(jpeg[:2] + b"\xff\xe1" + (len(block) + 2).to_bytes(2, "big") + block + jpeg[2:])' \
    "$corpus/picture.jpg" >"$corpus/picture-turned.jpg"
# A picture that says much of itself: EXIF (caption, time taken, camera)
# and XMP (title, caption) blocks in front of its image data.
python3 -c 'import struct, sys
jpeg = open(sys.argv[1], "rb").read()
def entry(tag, kind, count, value):
    return struct.pack(">HHI", tag, kind, count) + value
desc, model, when = b"Harbour at dusk\0", b"E-M5\0", b"2023:07:14 18:05:59\0"
ifd0 = 8
data = ifd0 + 2 + 4 * 12 + 4
exif_ifd = data + len(desc) + len(model)
exif_data = exif_ifd + 2 + 2 * 12 + 4
tiff = b"MM\0\x2a" + struct.pack(">I", ifd0) + struct.pack(">H", 4)
tiff += entry(0x010E, 2, len(desc), struct.pack(">I", data))
tiff += entry(0x0110, 2, len(model), struct.pack(">I", data + len(desc)))
tiff += entry(0x0112, 3, 1, struct.pack(">HH", 1, 0))
tiff += entry(0x8769, 4, 1, struct.pack(">I", exif_ifd)) + struct.pack(">I", 0) + desc + model
tiff += struct.pack(">H", 2) + entry(0x9003, 2, len(when), struct.pack(">I", exif_data))
tiff += entry(0x829A, 5, 1, struct.pack(">I", exif_data + len(when))) + struct.pack(">I", 0)
tiff += when + struct.pack(">II", 1, 250)
xmp = (b"http://ns.adobe.com/xap/1.0/\0<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf="
       b"\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
       b"<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">Evening</rdf:li></rdf:Alt></dc:title>"
       b"</rdf:Description></rdf:RDF></x:xmpmeta>")
blocks = b""
for block in (b"Exif\0\0" + tiff, xmp):
    blocks += b"\xff\xe1" + (len(block) + 2).to_bytes(2, "big") + block
sys.stdout.buffer.write(jpeg[:2] + blocks + jpeg[2:])' \
    "$corpus/picture.jpg" >"$corpus/picture-described.jpg"
# A thumbnails' record of two pictures, as korvel writes one.
python3 -c 'import struct, sys
out = b"korvel thumbnail record 2\n"
for flag, size, name in ((1, 48213, b"Beach.jpg"), (0, 13, b"broken.jpg")):
    out += struct.pack("<BQqIQQIII", flag, size, 1704190830, 250000000, 0xDEADBEEF, 0x0123456789ABCDEF,
                       4000, 3000, len(name)) + name
sys.stdout.buffer.write(out + b"end" + struct.pack("<Q", 2))' >"$corpus/record"
build/fuzz/template_fuzzer -artifact_prefix=build/fuzz/ -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 -print_final_stats=1 \
    "$corpus" 2>build/fuzz/fuzz.log || { tail -50 build/fuzz/fuzz.log; exit 1; }
grep -E "^stat::number_of_executed_units|Done" build/fuzz/fuzz.log || true
