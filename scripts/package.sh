#!/usr/bin/env bash
# Builds the Debian source and binary packages the way Debian does, from
# debian/ with dpkg-buildpackage in a clean copy of the tree, twice in two
# places, and checks that the two .debs are the same bytes; checks both
# packages with lintian (any error or warning fails) and the manual page;
# runs the package's autopkgtest against the installed package on this
# machine (root: it installs korvel); then builds the Windows zip and
# checks what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages build-essential debhelper cmake libgtest-dev libacl1-dev libjpeg62-turbo-dev libxxhash-dev libwebp-dev libexiv2-dev libmd-dev dpkg-dev lintian autopkgtest mandoc groff-base

version=$(dpkg-parsechangelog -S Version)
# Every time stamp in the packages is the last commit's, so that two builds
# are the same bytes (without a clone, the changelog's newest entry's, as
# dpkg-buildpackage would take).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || dpkg-parsechangelog -S Timestamp)
fi
export SOURCE_DATE_EPOCH
arch=$(dpkg-architecture -qDEB_HOST_ARCH)

# A copy of the files the repository holds, as they are in this tree.
copy_tree() {
    rm -rf "$1"
    mkdir -p "$1/korvel-$version"
    git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$1/korvel-$version"
}

echo "== Debian packages, built twice"
for place in build/deb build/deb-again; do
    copy_tree "$place"
    (cd "$place/korvel-$version" && dpkg-buildpackage -us -uc -b >"../build.log" 2>&1) ||
        { tail -40 "$place/build.log"; exit 1; }
done
deb=build/deb/korvel_${version}_${arch}.deb
cmp "$deb" "build/deb-again/korvel_${version}_${arch}.deb" ||
    { echo "two builds of $(basename "$deb") differ"; exit 1; }
echo "$(basename "$deb"): two builds, the same bytes"
grep -E "^[0-9]+% tests passed" build/deb/build.log
dpkg-deb --info "$deb" | grep -E "Package|Version|Section|Depends|Description"

echo "== Manual page lint"
manual="build/deb/korvel-$version/obj-$(dpkg-architecture -qDEB_HOST_GNU_TYPE)/korvel.1"
mandoc -Tlint -W style "$manual"
groff -man -ww -z "$manual"

(cd build/deb/korvel-$version && dpkg-buildpackage -us -uc -S -d >"../source.log" 2>&1) ||
    { tail -20 build/deb/source.log; exit 1; }
echo "source package: $(cd build/deb && ls korvel_"$version".dsc korvel_"$version".tar.*)"

echo "== lintian"
lintian --fail-on error,warning --display-info "$deb" "build/deb/korvel_${version}.dsc"
echo "lintian: no error, no warning"


echo "== autopkgtest, on this machine"
autopkgtest "$deb" "build/deb/korvel-$version" -- null

echo "== Windows zip"
need_packages g++-mingw-w64-x86-64-posix bsdextrautils
wbuild=build/package-windows
. scripts/libjpeg-windows.sh
build_libjpeg_windows
cmake -S . -B "$wbuild" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DKORVEL_TESTS=OFF \
    "${libjpeg_windows_flags[@]}" >/dev/null
cmake --build "$wbuild" -j "$(nproc)" >/dev/null
(cd "$wbuild" && cpack -G ZIP >/dev/null)
zip=$(ls "$wbuild"/korvel-"$version"-*.zip)
contents=$(cmake -E tar tf "$zip")
echo "$contents"
for wanted in korvel.exe README.md LICENSE LICENSE-libjpeg-turbo.md COPYING-libwebp COPYING-libexiv2 COPYING-expat COPYING-libmd korvel.txt; do
    echo "$contents" | grep -q "/$wanted\$" || { echo "$wanted missing from $zip"; exit 1; }
done
grep -q "Korvel $version" "$wbuild/korvel.1" || { echo "the manual does not say version $version"; exit 1; }
echo "packages: 3 passed, 0 failed"
