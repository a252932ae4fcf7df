#!/usr/bin/env bash
# TinyUSDZ, an independent USD library, reads the layers tressmoor-grow and
# tressmoor-convert write with children and tapered widths as they were written.
#   usd-reader-test.sh GROW CONVERT READERS OUTPUT MODELS
# MODELS is Debian's assimp test models, whose PLY with uvs hair grows on.
# READERS is where scripts/fetch-test-readers.sh put the readers; without Node.js
# or TinyUSDZ the test is skipped (status 77), and the test command fetches both.
set -euo pipefail
grow=$1 convert=$2 tinyusdz=$3/tinyusdz out=$4 models=$5
here=$(dirname "$0")
if ! command -v node > /dev/null || [ ! -f "$tinyusdz/tinyusdz.wasm" ]; then
  echo "usd-reader-test: skipped, Node.js or TinyUSDZ is missing (scripts/fetch-test-readers.sh)"
  exit 77
fi
mkdir -p "$out"
"$grow" --shape sphere --style combed --hairs 8 --clusters 5 --parts 12 --children 12 \
  --child-mode between --frizz 1 --root-width 3 --tip-width 0.5 --out "$out/between.usda" > /dev/null
"$grow" --shape torus --hairs 10 --clusters 4 --children 6 --root-width 2 --tip-width 1 \
  --out "$out/tapered.hair" > /dev/null
"$convert" --children 3 --guides drop --units in "$out/tapered.hair" "$out/converted.usda" > /dev/null
"$grow" --mesh "$models/PLY/Wuson.ply" --style combed --hairs 6 --clusters 4 --parts 10 \
  --units cm --out "$out/mesh.usda" > /dev/null
"$grow" --mesh "$models/PLY/cube.ply" --hairs 4 --clusters 3 --out "$out/cube.usda" > /dev/null
"$grow" --mesh "$models/PLY/Wuson.ply" --hairs 5 --clusters 3 --children 8 --frizz 1 \
  --root-width 2 --tip-width 0.5 --out "$out/mesh-around.usda" > /dev/null
"$grow" --mesh "$models/OBJ/spider.obj" --hairs 4 --clusters 3 --children 5 --child-mode between \
  --guides drop --out "$out/mesh-between.usda" > /dev/null
for layer in between converted mesh cube mesh-around mesh-between; do
  TINYUSDZ="$tinyusdz" node "$here/check-usd.mjs" "$out/$layer.usda"
done
