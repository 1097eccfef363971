#!/usr/bin/env bash
# Cross-builds the Windows korvel.exe (static, runs on its own) with mingw-w64.
# With --test, also builds the test suites for Windows and runs them under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
. scripts/libjpeg-windows.sh
toolchain="$PWD/cmake/mingw-w64-x86_64.cmake"
build=build/windows

if [ "${1:-}" != "--test" ]; then
    need_packages cmake make g++-mingw-w64-x86-64-posix
    build_libjpeg_windows
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKORVEL_TESTS=OFF "${libjpeg_windows_flags[@]}" >/dev/null
    cmake --build "$build" -j "$(nproc)" >/dev/null
    echo "Built $PWD/$build/korvel.exe"
    exit 0
fi

need_packages cmake make g++-mingw-w64-x86-64-posix wine64 googletest bsdextrautils
build_libjpeg_windows
export WINEDEBUG=-all

# Debian's GoogleTest sources, built once for Windows.
gtest="$PWD/build/windows-gtest"
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$gtest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest/install" >/dev/null
    cmake --build "$gtest" -j "$(nproc)" --target install >/dev/null
fi

# A wine prefix of this run's own: the home folder may have none (a fresh
# machine), or have one whose wineserver is already running, and this one
# is removed when the run ends.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/korvel-wine-XXXXXX")
export WINEPREFIX
trap '/usr/lib/wine/wineserver64 -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

# One wineserver for the whole run: left to itself it exits between two
# short test programs, and a program starting just then loses its
# connection ("recvmsg: Connection reset by peer").
# Wine's own background processes start with the first program, which also
# fills the new prefix; start them here, away from the tests' output pipes,
# which they would hold open.
/usr/lib/wine/wineserver64 -p
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1

cmake -S . -B "$build-tests" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DKORVEL_WERROR=ON \
    -DGTest_DIR="$gtest/install/lib/cmake/GTest" "${libjpeg_windows_flags[@]}" >/dev/null
cmake --build "$build-tests" -j "$(nproc)"
# A test program that wine fails to start (it ends at once, before a line
# of it runs, as wine's process start sometimes does under load) is run
# again, up to twice; a test that fails in earnest fails every time.
ctest --test-dir "$build-tests" --output-on-failure -j "$(nproc)" --repeat until-pass:3

# A folder wine cannot map (its name ends in a dot): wine starts the run in
# C:\windows, and the run must fail there rather than write a page.
unmappable="$(mktemp -d)/Trip."
mkdir "$unmappable" && touch "$unmappable/a.jpg"
status=0
(cd "$unmappable" && /usr/lib/wine/wine64 "$OLDPWD/$build-tests/korvel.exe" </dev/null >/dev/null 2>&1) || status=$?
rm -rf "$(dirname "$unmappable")"
if [ "$status" -ne 255 ] || [ -e "$WINEPREFIX/drive_c/windows/index.html" ]; then
    echo "korvel.exe in a folder wine cannot map: status $status, not 255 without a page" >&2
    exit 1
fi
echo "korvel.exe in a folder wine cannot map: fails, and writes nothing"

# Thumbnails and views: korvel.exe makes the same bytes as the Linux build,
# from the same library (the record of what they were made from holds each system's
# own file ids, and differs). The pictures are made here by the library's
# own cjpeg.
need_packages libjpeg-turbo-progs python3 g++ libacl1-dev libjpeg62-turbo-dev libxxhash-dev libwebp-dev libexiv2-dev libmd-dev
linux=build/test-g++/korvel
if [ ! -x "$linux" ]; then
    cmake -S . -B build/windows-compare -DKORVEL_TESTS=OFF >/dev/null
    cmake --build build/windows-compare -j "$(nproc)" >/dev/null
    linux=build/windows-compare/korvel
fi
same=$(mktemp -d)
mkdir "$same/linux" "$same/windows"
for size in "1600 1200" "900 1600" "2400 1800" "1500 2000"; do
    set -- $size
    python3 -c 'import sys
w, h = int(sys.argv[1]), int(sys.argv[2])
sys.stdout.buffer.write(b"P6 %d %d 255\n" % (w, h))
sys.stdout.buffer.write(bytes((x * 7 ^ y * 3) & 255 if c == 0 else ((x + y) // 9 if c == 1 else (x * y) // 97) & 255
                              for y in range(h) for x in range(w) for c in range(3)))' "$1" "$2" |
        cjpeg -quality 90 >"$same/linux/picture-$1x$2.jpg"
done
# And a smooth one, as a photograph's sky is: its WebP pays at every size.
python3 -c 'import sys
w, h = 2000, 1500
sys.stdout.buffer.write(b"P6 %d %d 255\n" % (w, h))
sys.stdout.buffer.write(bytes(v for y in range(h) for x in range(w)
                              for v in (x * 255 // w, y * 255 // h, (x + y + (x * y) % 5) * 255 // (w + h))))' |
    cjpeg -quality 90 >"$same/linux/smooth-2000x1500.jpg"
printf '<KORVEL THUMBS VIEWS>\n' >"$same/linux/korvel0.htm"
cp "$same"/linux/* "$same/windows/"
(cd "$same/linux" && "$OLDPWD/$linux")
(cd "$same/windows" && /usr/lib/wine/wine64 "$OLDPWD/$build-tests/korvel.exe" </dev/null >/dev/null 2>&1)
# Five thumbnails of each size; three large views, the two smaller
# pictures showing themselves, and five small ones; the WebP beside each
# where it pays, as it does for the smooth picture's.
for made in "korvel-thumbs 5" "korvel-thumbs-60 5" "korvel-views 3" "korvel-views-800 5" \
    "korvel-thumbs-webp" "korvel-thumbs-60-webp" "korvel-views-webp" "korvel-views-800-webp"; do
    set -- $made
    if ! diff -r -x .korvel-record "$same/linux/$1" "$same/windows/$1" >/dev/null ||
        [ "$(ls "$same/linux/$1" | wc -l)" -ne "${2:-$(ls "$same/linux/$1" | wc -l)}" ] ||
        [ "$(ls "$same/linux/$1" | wc -l)" -eq 0 ]; then
        echo "korvel.exe's $1 are not the Linux build's bytes" >&2
        exit 1
    fi
done
rm -rf "$same"
echo "korvel.exe makes the same thumbnail and view bytes as the Linux build, JPEG and WebP"
