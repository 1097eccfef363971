# Builds libwebp (the encoder and its container library) for Windows from
# Debian's own source package of it, the same version and patches as the
# Linux build's library, static, once. Sourced by libjpeg-windows.sh, with
# whose source list it fetches; sets libwebp_windows_flags to the CMake
# flags that find it.
build_libwebp_windows() {
    local root="$PWD/build/windows-libwebp" apt_root="$1"
    libwebp_windows_flags=(-DKORVEL_WEBP_INCLUDE_DIR="$root/include" -DKORVEL_WEBP_LIBRARY="$root/lib/libwebp.a"
        -DKORVEL_WEBPMUX_LIBRARY="$root/lib/libwebpmux.a" -DKORVEL_LIBWEBP_LICENSE="$root/COPYING-libwebp")
    [ -f "$root/lib/libwebpmux.a" ] && return 0
    need_packages dpkg-dev cmake make g++-mingw-w64-x86-64-posix libwebp-dev
    rm -rf "$root"
    mkdir -p "$root/source"
    local apt=("${apt_lock_wait[@]}" -o Dir::Etc::SourceList="$apt_root/source.list" -o Dir::Etc::SourceParts="$apt_root/parts"
        -o Dir::State::Lists="$apt_root/lists" -o Dir::Cache="$apt_root/cache")
    # The version of the library the Linux build links.
    local version
    version=$(dpkg-query -W -f '${source:Version}' libwebp-dev)
    (cd "$root/source" && apt-get "${apt[@]}" source "libwebp=$version" >"$root/apt.log" 2>&1)
    local tree
    tree=$(find "$root/source" -mindepth 1 -maxdepth 1 -type d -name 'libwebp-*' | head -1)
    cmake -S "$tree" -B "$root/build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF \
        -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
        -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
        >"$root/build.log" 2>&1
    cmake --build "$root/build" -j "$(nproc)" --target webp libwebpmux >>"$root/build.log" 2>&1
    mkdir -p "$root/include/webp" "$root/lib"
    cp "$tree"/src/webp/encode.h "$tree"/src/webp/decode.h "$tree"/src/webp/mux.h "$tree"/src/webp/mux_types.h \
        "$tree"/src/webp/types.h "$root/include/webp/"
    cp "$root/build/libwebp.a" "$root/build/libwebpmux.a" "$root/lib/"
    # Its licence goes with every copy of korvel.exe, which holds it.
    cp "$tree/COPYING" "$root/COPYING-libwebp"
}
