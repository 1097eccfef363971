#!/usr/bin/env bash
# Builds korvel for speed and times it against find on a folder of empty
# pictures: bench/run.sh [-n COUNT | --million] [--rounds R] [--dir DIR]
#                        [--sync-cost] [--cold] [--share MS] [--sftp MS]
# or its thumbnails against vipsthumbnail, gm and the decoding floor:
#           bench/run.sh --thumbs [--count N] [--small M] [--rounds R]
# or their quality against a Lanczos-3 reference, beside vipsthumbnail's,
# ImageMagick's and GraphicsMagick's, on real photographs:
#           bench/run.sh --quality [--limit N] [--cameras C]
# or what it reads of pictures (CAPTIONS TAKEN CAMERA) beside exiftool, on
# the real cameras' files of Debian's source of exiv2:
#           bench/run.sh --facts [--count N] [--rounds R]
# or a tree of albums (ALBUMS) against find:
#           bench/run.sh --tree [--folders F] [--count N] [--rounds R] [--plain] [--no-camera]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make g++ libacl1-dev libjpeg62-turbo-dev libxxhash-dev libwebp-dev libexiv2-dev libmd-dev time findutils eatmydata
case " $* " in *" --share "*) need_packages python3-fusepy ;; esac
case " $* " in *" --sftp "*) need_packages sshfs openssh-sftp-server ;; esac
command -v python3 >/dev/null || need_packages python3

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF >/dev/null
cmake --build build/bench -j "$(nproc)" >/dev/null
if [ "${1:-}" = "--thumbs" ]; then
    need_packages libjpeg-turbo-progs libvips-tools graphicsmagick python3-numpy
    shift
    /usr/bin/python3 bench/thumbs.py build/bench/korvel "$@"
    exit 0
fi
if [ "${1:-}" = "--tree" ]; then
    need_packages libjpeg-turbo-progs python3-numpy
    shift
    /usr/bin/python3 bench/tree.py build/bench/korvel "$@"
    exit 0
fi
if [ "${1:-}" = "--quality" ]; then
    need_packages libjpeg-turbo-progs libvips-tools graphicsmagick imagemagick python3-numpy plasma-workspace-wallpapers webp
    shift
    /usr/bin/python3 bench/quality.py build/bench/korvel "$@"
    exit 0
fi
if [ "${1:-}" = "--facts" ]; then
    need_packages libimage-exiftool-perl dpkg-dev
    shift
    sources=build/debian-sources
    if [ ! -d "$sources/exiv2" ]; then
        use_debian_sources "$PWD/$sources/apt"
        mkdir -p "$sources/exiv2"
        (cd "$sources/exiv2" && apt-get "${debian_source_apt[@]}" source \
            "exiv2=$(dpkg-query -W -f '${source:Version}' libexiv2-dev)" >../exiv2.log 2>&1)
    fi
    data=$(find "$sources/exiv2" -mindepth 3 -maxdepth 3 -type d -path '*/test/data' | head -1)
    need_packages python3-numpy
    /usr/bin/python3 bench/facts.py build/bench/korvel --data "$data" "$@"
    exit 0
fi
python3 bench/bench.py build/bench/korvel "$@"
