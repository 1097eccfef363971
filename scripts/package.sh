#!/usr/bin/env bash
# Builds the Debian package twice from the same commit and checks that the
# two are the same bytes, checks it with lintian (any error or warning
# fails), lints the manual page, unpacks the package into a temporary root
# and makes the demo page with the korvel it installs; then builds the
# Windows zip and checks what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make g++ mandoc groff-base dpkg-dev lintian

# Every time stamp in the package is the last commit's (or, outside a
# clone, the changelog's newest entry's).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null ||
                        dpkg-parsechangelog -l packaging/changelog -STimestamp)
fi
export SOURCE_DATE_EPOCH
export DEB_BUILD_MAINT_OPTIONS=hardening=+all

# Built as Debian builds its packages: hardened, and without the paths of
# the sources or of the build folder in the binary.
build_deb() {
    local build=$1
    rm -rf "$build"
    local paths="-ffile-prefix-map=$PWD=. -ffile-prefix-map=$PWD/$build=build"  # the last that fits counts
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) $paths" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
    cmake --build "$build" -j "$(nproc)" >/dev/null
    (cd "$build" && cpack -G DEB >/dev/null)
}

echo "== Debian package, built twice"
build_deb build/package
build_deb build/package-again
deb=$(ls build/package/korvel_*.deb)
again=$(ls build/package-again/korvel_*.deb)
cmp "$deb" "$again" || { echo "two builds of $(basename "$deb") differ"; exit 1; }
echo "$(basename "$deb"): two builds, the same bytes"
dpkg-deb --info "$deb" | grep -E "Package|Version|Section|Depends|Description"

echo "== lintian"
lintian --fail-on error,warning --display-info "$deb"
echo "lintian: no error, no warning"

echo "== Manual page lint"
mandoc -Tlint -W style build/package/korvel.1
groff -man -ww -z build/package/korvel.1

echo "== The installed korvel"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
test -x "$root/usr/bin/korvel"
for doc in share/man/man1/korvel.1.gz share/doc/korvel/copyright share/doc/korvel/changelog.gz; do
    test -f "$root/usr/$doc" || { echo "$doc missing from the package"; exit 1; }
done
mkdir "$root/Holidays"
cp examples/Holidays/*.[jJ][pP][gG] "$root/Holidays/"
(cd "$root/Holidays" && "$root/usr/bin/korvel") || { echo "the installed korvel failed"; exit 1; }
page="$root/Holidays/index.html"
sections=$(grep -c "<a name='[0-9]*'><br>" "$page")
[ "$sections" -eq 4 ] || { echo "expected 4 sections, found $sections"; exit 1; }
grep -q "<title>Holidays</title>" "$page"
tail -c 14 "$page" | grep -q "</body></html>"
echo "the installed korvel made a page of $sections pictures"

echo "== Windows zip"
need_packages g++-mingw-w64-x86-64-posix bsdextrautils
wbuild=build/package-windows
cmake -S . -B "$wbuild" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DKORVEL_TESTS=OFF >/dev/null
cmake --build "$wbuild" -j "$(nproc)" >/dev/null
(cd "$wbuild" && cpack -G ZIP >/dev/null)
version=$(dpkg-deb --field "$deb" Version)
zip=$(ls "$wbuild"/korvel-"$version"-*.zip)
contents=$(cmake -E tar tf "$zip")
echo "$contents"
for wanted in korvel.exe README.md LICENSE korvel.txt; do
    echo "$contents" | grep -q "/$wanted\$" || { echo "$wanted missing from $zip"; exit 1; }
done
grep -q "Korvel $version" "$wbuild/korvel.1" || { echo "the manual does not say version $version"; exit 1; }
echo "packages: 2 passed, 0 failed"
