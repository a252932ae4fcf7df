#!/usr/bin/env bash
# Draws the program's icon in packaging/icons/ with tressmoor-render: a hairy
# sphere, drawn large, its background made clear and scaled down to each size
# of the desktop's icon theme. Needs ImageMagick (in the test packages).
# Usage: scripts/render-icons.sh [BUILD_DIR]   (default: build)
set -euo pipefail

cd "$(dirname "$0")/.."
render="${1:-build}/tools/tressmoor-render"
large="$(mktemp --suffix=.png)"
trap 'rm -f "$large"' EXIT

"$render" --shape sphere --display texture --clusters 5 --hairs 20 --length 12 \
  --rest-angle 10 --zoom 1.1 --size 1024x1024 --image "$large" >/dev/null
for size in 48 128 256; do
  # The view's clear colour becomes transparent before scaling, so the edges blend.
  convert "$large" -alpha set -fuzz 3% -fill none -draw 'color 0,0 replace' \
    -resize "${size}x${size}" -strip "PNG32:packaging/icons/icon-$size.png"
done
