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

# The same hair before and after child strands, zoomed out to show the children
# between the guides whole: clumps of 20 around each guide, and 60 a guide spread
# over the shape between the three nearest guides.
zoomed=("${hair[@]}" --zoom 0.75)
for shape in sphere torus; do
  display=smooth
  [ "$shape" = torus ] && display=texture
  "$render" "${zoomed[@]}" --shape "$shape" --display "$display" \
    --image "docs/children-$shape-before.png"
  "$render" "${zoomed[@]}" --shape "$shape" --display "$display" \
    --children 20 --child-radius 5 --frizz 1 --image "docs/children-$shape-around.png"
  "$render" "${zoomed[@]}" --shape "$shape" --display "$display" \
    --children 60 --child-mode between --image "docs/children-$shape-between.png"
done
