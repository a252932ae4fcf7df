#!/usr/bin/env bash
# Fetches the independent readers the tests load Tressmoor's files with, once:
# TinyUSDZ, a USD library of its own (its WebAssembly build, from the npm
# registry), checked against the digest the registry publishes for it.
#   scripts/fetch-test-readers.sh [FOLDER]   (default: build/test-readers)
set -euo pipefail

cd "$(dirname "$0")/.."
folder="${1:-build/test-readers}"
version=0.9.0-rc10
url="https://registry.npmjs.org/tinyusdz/-/tinyusdz-${version}.tgz"
# The registry's integrity value for this version, in hexadecimal.
sha512=3204e8a8422126861a4b8a1b0951cb9652a390c1a221042ac434bd04ee8676f5504692fa4d0ff4928c3848ea35cd00f036ff448d8709b4788faf9d3abfe5ce5e

target="$folder/tinyusdz"
if [ "$(cat "$target/version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi
mkdir -p "$folder"
download=$(mktemp "$folder/.tinyusdz-XXXXXX")
trap 'rm -f "$download"' EXIT
curl -fsSL --retry 3 -o "$download" "$url"
if [ "$(sha512sum "$download" | cut -d' ' -f1)" != "$sha512" ]; then
  echo "$0: $url does not have the published digest; not used" >&2
  exit 1
fi
rm -rf "$target"
mkdir -p "$target"
tar -xzf "$download" -C "$target" --strip-components=1 package/tinyusdz.js package/tinyusdz.wasm package/LICENSE
# The module is an ES module in a .js file; its own name says so to any Node.js.
mv "$target/tinyusdz.js" "$target/tinyusdz.mjs"
echo "$version" > "$target/version"
echo "fetch-test-readers: TinyUSDZ $version in $target"
