#!/usr/bin/env bash
# Makes the demo gallery and takes the README's picture of it,
# docs/demo-gallery.png, in headless Chromium: an album as a laptop shows
# it, beside the top of the tree as a phone shows it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages chromium imagemagick
command -v npm >/dev/null || need_packages nodejs npm

bash scripts/demo.sh >/dev/null
(cd tests/browser && npm ci --no-audit --no-fund >/dev/null)
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
node tests/browser/screenshot.mjs examples/Holidays/Coast/index.html "$shots/laptop.png" \
    examples/Holidays/index.html "$shots/phone.png"
convert "$shots/laptop.png" -bordercolor '#888' -border 1 "$shots/laptop.png"
convert "$shots/phone.png" -bordercolor '#888' -border 1 "$shots/phone.png"
convert -background white "$shots/laptop.png" -size 24x1 xc:white "$shots/phone.png" -gravity north +append \
    -strip docs/demo-gallery.png
echo "Wrote $(pwd)/docs/demo-gallery.png"
