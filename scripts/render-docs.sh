#!/usr/bin/env bash
# Draws the README's pictures in docs/ with tressmoor-render; no display needed.
# Usage: scripts/render-docs.sh [BUILD_DIR]   (default: build)
set -euo pipefail

cd "$(dirname "$0")/.."
render="${1:-build}/tools/tressmoor-render"

# Three clusters a side of ten long, curly hairs: the hair of the screenshot tests.
hair=(--clusters 3 --hairs 10 --length 20 --rest-angle 10)
"$render" "${hair[@]}" --shape sphere --display smooth --image docs/sphere-smooth.png
"$render" "${hair[@]}" --shape torus --display texture --image docs/torus-texture.png
"$render" "${hair[@]}" --shape plane --display wireframe --image docs/plane-wireframe.png

# A combed torus turning a quarter circle from frame to frame, at half the view's size.
"$render" --shape torus --style combed --clusters 6 --hairs 20 --length 12 --rest-angle 15 \
  --parts 12 --display smooth --rotate-x 20 --size 222x228 --turntable 4 \
  --image docs/turntable.png
