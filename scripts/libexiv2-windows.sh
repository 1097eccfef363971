# Builds libexiv2 for Windows from Debian's own source package of it, the
# same version and patches as the Linux build's library, static, once,
# with expat (its XMP parser) from Debian's source of it. Sourced by
# libjpeg-windows.sh, with whose source list it fetches; sets
# libexiv2_windows_flags to the CMake flags that find it. korvel reads
# JPEG pictures alone, so the library is built without PNG (zlib's one
# use in it), networking, video and its tools. libmd (the MD5 digest of
# a picture's IPTC block) is built beside it, from Debian's source too.
build_libexiv2_windows() {
    local root="$PWD/build/windows-libexiv2" apt_root="$1"
    libexiv2_windows_flags=(-DKORVEL_EXIV2_INCLUDE_DIR="$root/include" -DKORVEL_EXIV2_LIBRARY="$root/lib/libexiv2.a"
        "-DKORVEL_EXIV2_EXTRA_LIBRARIES=$root/lib/libexiv2-xmp.a;$root/lib/libexpat.a;psapi;ws2_32;shell32"
        -DKORVEL_LIBEXIV2_LICENSE="$root/COPYING-libexiv2" -DKORVEL_EXPAT_LICENSE="$root/COPYING-expat"
        -DKORVEL_MD_INCLUDE_DIR="$root/include" -DKORVEL_MD_LIBRARY="$root/lib/libmd.a"
        -DKORVEL_LIBMD_LICENSE="$root/COPYING-libmd")
    [ -f "$root/lib/libexiv2.a" ] && [ -f "$root/lib/libmd.a" ] && return 0
    need_packages dpkg-dev cmake make g++-mingw-w64-x86-64-posix libexiv2-dev libexpat1-dev libmd-dev
    rm -rf "$root"
    mkdir -p "$root/source"
    use_debian_sources "$apt_root"
    local apt=("${debian_source_apt[@]}")
    # The versions of the libraries the Linux build links; for expat, the
    # newest the archive still serves when that one is gone from it.
    local version
    version=$(dpkg-query -W -f '${source:Version}' libexiv2-dev)
    (cd "$root/source" && apt-get "${apt[@]}" source "exiv2=$version" >>"$root/apt.log" 2>&1)
    local expat
    for expat in $(dpkg-query -W -f '${source:Version}' libexpat1-dev) \
        $(apt-cache "${apt[@]}" showsrc expat | sed -n 's/^Version: //p' | sort -r -V); do
        (cd "$root/source" && apt-get "${apt[@]}" source "expat=$expat" >>"$root/apt.log" 2>&1) && break
        rm -rf "$root"/source/expat*
    done
    version=$(dpkg-query -W -f '${source:Version}' libmd-dev)
    (cd "$root/source" && apt-get "${apt[@]}" source "libmd=$version" >>"$root/apt.log" 2>&1)
    local exiv2_tree expat_tree md_tree
    exiv2_tree=$(find "$root/source" -mindepth 1 -maxdepth 1 -type d -name 'exiv2-*' | head -1)
    expat_tree=$(find "$root/source" -mindepth 1 -maxdepth 1 -type d -name 'expat-*' | head -1)
    md_tree=$(find "$root/source" -mindepth 1 -maxdepth 1 -type d -name 'libmd-*' | head -1)
    mkdir -p "$root/build-md"
    (cd "$root/build-md" && "$md_tree/configure" --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix \
        --disable-shared --enable-static --prefix="$root" && make -j "$(nproc)" install) >"$root/build.log" 2>&1
    local toolchain="$PWD/cmake/mingw-w64-x86_64.cmake"
    cmake -S "$expat_tree/expat" -B "$root/build-expat" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
        -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF -DCMAKE_INSTALL_PREFIX="$root" \
        >>"$root/build.log" 2>&1
    # Debian builds expat with autotools, whose XML_DTD is 1; CMake's is
    # empty, which one of Debian's patches compares with 1.
    sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$root/build-expat/expat_config.h"
    cmake --build "$root/build-expat" -j "$(nproc)" --target install >>"$root/build.log" 2>&1
    cmake -S "$exiv2_tree" -B "$root/build-exiv2" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DEXIV2_ENABLE_XMP=ON -DEXIV2_ENABLE_PNG=OFF \
        -DEXIV2_ENABLE_NLS=OFF -DEXIV2_ENABLE_LENSDATA=ON -DEXIV2_ENABLE_VIDEO=OFF -DEXIV2_ENABLE_WEBREADY=OFF \
        -DEXIV2_ENABLE_CURL=OFF -DEXIV2_ENABLE_SSH=OFF -DEXIV2_ENABLE_BMFF=OFF -DEXIV2_BUILD_SAMPLES=OFF \
        -DEXIV2_BUILD_EXIV2_COMMAND=OFF -DEXIV2_BUILD_UNIT_TESTS=OFF -DEXPAT_INCLUDE_DIR="$root/include" \
        -DEXPAT_LIBRARY="$root/lib/libexpat.a" -DCMAKE_CXX_FLAGS="-DXML_STATIC" -DCMAKE_INSTALL_PREFIX="$root" \
        >>"$root/build.log" 2>&1
    cmake --build "$root/build-exiv2" -j "$(nproc)" --target install >>"$root/build.log" 2>&1
    # Their licences go with every copy of korvel.exe, which holds them.
    cp "$exiv2_tree/COPYING" "$root/COPYING-libexiv2"
    cp "$expat_tree/expat/COPYING" "$root/COPYING-expat"
    cp "$md_tree/COPYING" "$root/COPYING-libmd"
}
