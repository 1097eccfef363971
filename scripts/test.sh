#!/usr/bin/env bash
# Runs every test: the suites built with g++ and with clang (warnings as
# errors), the same suites cross-built for Windows and run under wine, a
# small run of the benchmark to keep it working (the thumbnails' quality
# too), the suites again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the listing and the
# end-to-end tests under ThreadSanitizer, a minute of fuzzing, and the page
# in headless Chromium, and the sources' formatting.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make g++ clang libgtest-dev libacl1-dev libjpeg62-turbo-dev libxxhash-dev libwebp-dev libexiv2-dev libmd-dev

echo "== Formatting"
bash scripts/format.sh --check

for compiler in g++ clang++; do
    build="build/test-$compiler"
    echo "== Linux, $compiler"
    cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DKORVEL_WERROR=ON >/dev/null
    cmake --build "$build" -j "$(nproc)"
    ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
done

echo "== Windows, under wine"
bash scripts/build-windows.sh --test

echo "== Benchmark, small: warm, cold and on a slow share, and the thumbnails' speed and quality"
bash bench/run.sh --count 300 --rounds 1
bash bench/run.sh --count 300 --rounds 1 --cold
bash bench/run.sh --count 300 --rounds 1 --share 0.3
bash bench/run.sh --thumbs --count 4 --small 200 --rounds 1 --big 2
bash bench/run.sh --quality --limit 2 --cameras 1

echo "== Sanitizers and fuzzing"
bash scripts/sanitize.sh

echo "== A real browser"
need_packages chromium nginx imagemagick plasma-workspace-wallpapers libimage-exiftool-perl
command -v npm >/dev/null || need_packages nodejs npm
(cd tests/browser && npm ci --no-audit --no-fund)
node tests/browser/check_gallery.mjs build/test-g++/korvel "examples/Holidays/Mountains/Snow ridge.JPG"
node tests/browser/check_albums.mjs build/test-g++/korvel "examples/Holidays/Coast/Boats & harbour.jpg"
node tests/browser/check_lazy.mjs build/test-g++/korvel 300
node tests/browser/check_lighthouse.mjs build/test-g++/korvel 19

echo "== Manual page and packages"
bash scripts/package.sh
