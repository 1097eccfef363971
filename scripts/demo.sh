#!/usr/bin/env bash
# Builds korvel and makes the gallery of the demo folder examples/Holidays: a
# small tree of albums, whose template asks for them, with thumbnails, views,
# captions and the times the pictures were taken.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages cmake make g++ libacl1-dev libjpeg62-turbo-dev libxxhash-dev libwebp-dev libexiv2-dev libmd-dev

cmake -S . -B build/demo -DKORVEL_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" >/dev/null
(cd examples/Holidays && ../../build/demo/korvel) || { echo "korvel failed (exit status $?)"; exit 1; }
echo "The gallery begins at $(pwd)/examples/Holidays/index.html"
