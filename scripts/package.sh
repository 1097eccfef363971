#!/usr/bin/env bash
# Lints the manual page, builds the Debian package, unpacks it into a
# temporary root and makes the demo page with the korvel it installs; then
# builds the Windows zip and checks what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make g++ mandoc groff-base dpkg-dev

echo "== Manual page lint"
mandoc -Tlint -W style docs/korvel.1
groff -man -ww -z docs/korvel.1

echo "== Debian package"
build=build/package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/korvel_*.deb)
dpkg-deb --info "$deb" | grep -E "Package|Version|Section|Depends|Description"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
test -x "$root/usr/bin/korvel"
test -f "$root/usr/share/man/man1/korvel.1"
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
zip=$(ls "$wbuild"/korvel-*.zip)
contents=$(cmake -E tar tf "$zip")
echo "$contents"
for wanted in korvel.exe README.md korvel.txt; do
    echo "$contents" | grep -q "/$wanted\$" || { echo "$wanted missing from $zip"; exit 1; }
done
echo "packages: 2 passed, 0 failed"
