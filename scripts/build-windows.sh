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
ctest --test-dir "$build-tests" --output-on-failure -j "$(nproc)"

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
