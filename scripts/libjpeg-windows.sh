# Builds libjpeg-turbo for Windows from Debian's own source package of it,
# the same version and patches as the Linux build's library, static, with
# its SIMD code as Debian builds it, once. Sourced by the scripts that build
# korvel.exe; sets libjpeg_windows_flags to the CMake flags that find it,
# and xxHash's header, which korvel uses alone (header only), from Debian's
# libxxhash-dev: a folder of its own holds just that header.
# Debian's source is fetched with a source list of its own, which changes
# nothing of the system's apt configuration. libwebp is built beside it
# (libwebp-windows.sh), and libexiv2 (libexiv2-windows.sh), and their flags
# are among libjpeg_windows_flags.
. scripts/libwebp-windows.sh
. scripts/libexiv2-windows.sh

build_libjpeg_windows() {
    build_libjpeg_windows_alone
    build_libwebp_windows "$PWD/build/windows-libjpeg/apt"
    build_libexiv2_windows "$PWD/build/windows-libjpeg/apt"
    libjpeg_windows_flags+=("${libwebp_windows_flags[@]}" "${libexiv2_windows_flags[@]}")
}

build_libjpeg_windows_alone() {
    local root="$PWD/build/windows-libjpeg"
    libjpeg_windows_flags=(-DJPEG_INCLUDE_DIR="$root/include" -DJPEG_LIBRARY="$root/lib/libjpeg.a"
        -DKORVEL_LIBJPEG_LICENSE="$root/LICENSE-libjpeg-turbo.md" -DKORVEL_XXHASH_INCLUDE_DIR="$PWD/build/windows-xxhash")
    need_packages libxxhash-dev
    mkdir -p build/windows-xxhash
    cp /usr/include/xxhash.h build/windows-xxhash/
    [ -f "$root/lib/libjpeg.a" ] && return 0
    need_packages dpkg-dev nasm cmake make g++-mingw-w64-x86-64-posix libjpeg62-turbo-dev
    rm -rf "$root"
    mkdir -p "$root/source"
    use_debian_sources "$root/apt"
    local apt=("${debian_source_apt[@]}")
    # The version of the library the Linux build links.
    local version
    version=$(dpkg-query -W -f '${source:Version}' libjpeg62-turbo-dev)
    (cd "$root/source" && apt-get "${apt[@]}" source "libjpeg-turbo=$version" >>"$root/apt.log" 2>&1)
    local tree
    tree=$(find "$root/source" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)
    cmake -S "$tree" -B "$root/build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
        -DCMAKE_INSTALL_PREFIX="$root/install" \
        >"$root/build.log" 2>&1
    cmake --build "$root/build" -j "$(nproc)" --target jpeg-static >>"$root/build.log" 2>&1
    mkdir -p "$root/include" "$root/lib"
    cp "$tree"/jpeglib.h "$tree"/jmorecfg.h "$tree"/jerror.h "$root/build/jconfig.h" "$root/include/"
    cp "$root/build/libjpeg.a" "$root/lib/"
    # Its licence goes with every copy of korvel.exe, which holds it.
    cp "$tree/LICENSE.md" "$root/LICENSE-libjpeg-turbo.md"
}
