#!/usr/bin/env bash
# Makes the demo gallery and takes the README's screenshot of it,
# docs/demo-gallery.png, in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
need_packages chromium
command -v npm >/dev/null || need_packages nodejs npm

bash scripts/demo.sh >/dev/null
(cd tests/browser && npm ci --no-audit --no-fund >/dev/null)
node tests/browser/screenshot.mjs examples/Holidays/index.html docs/demo-gallery.png
echo "Wrote $(pwd)/docs/demo-gallery.png"
