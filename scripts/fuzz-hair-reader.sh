#!/usr/bin/env bash
# Fuzzes the HAIR file reader with libFuzzer for SECONDS (default 60).
#   scripts/fuzz-hair-reader.sh [SECONDS]
# Needs clang++ with libFuzzer (Debian: clang, libclang-rt-14-dev). Seeds are
# valid files of every shape and style written by tressmoor-grow: set
# TRESSMOOR_GROW to a built one, or the script uses the one of its own build.
# Exits non-zero if any input crashes, hangs or allocates too much; the input
# is left in build-fuzz/artifacts.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$root/build-fuzz"
mkdir -p "$work/corpus" "$work/artifacts"

# The fuzz target is a CMake target of its own build: clang, libFuzzer, ASan, UBSan.
cmake -S "$root" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="${CXX_FUZZ:-clang++}" -DTRESSMOOR_FUZZ=ON -DTRESSMOOR_BUILD_TESTS=OFF \
  -DTRESSMOOR_BUILD_UI=OFF -DTRESSMOOR_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$work/build" -j "$(nproc)" --target hair_reader_fuzz tressmoor-grow >/dev/null
fuzzer="$work/build/tests/fuzz/hair_reader_fuzz"

grow="${TRESSMOOR_GROW:-$work/build/tools/tressmoor-grow}"
for shape in plane sphere torus; do
  for style in messy combed; do
    "$grow" --shape "$shape" --style "$style" --out "$work/corpus/seed-$shape-$style.hair" >/dev/null
    "$grow" --shape "$shape" --style "$style" --hairs 3 --clusters 2 --parts 16 --length 40 \
      --rest-angle 90 --out "$work/corpus/seed-$shape-$style-2x2x3.hair" >/dev/null
  done
done

# The same hair with every optional array, so the fuzzer starts from each layout.
python3 - "$work/corpus" <<'PY'
import glob, struct, sys
for path in glob.glob(sys.argv[1] + "/seed-*-2x2x3.hair"):
    data = open(path, "rb").read()
    strands, points, flags, segments = struct.unpack_from("<4I", data, 4)
    header = data[:12] + struct.pack("<I", flags | 0x1D) + data[16:128]
    arrays = struct.pack("<%dH" % strands, *([segments] * strands)) + data[128:]
    arrays += struct.pack("<%df" % (5 * points), *([2.0] * points + [0.0] * points + [0.5] * 3 * points))
    open(path.replace(".hair", "-arrays.hair"), "wb").write(header + arrays)
PY

# 8 KiB holds every seed; 64 MiB is far beyond anything such a file can justify.
status=0
"$fuzzer" "$work/corpus" -dict="$root/tests/fuzz/hair.dict" \
  -max_len=8192 -timeout=5 -malloc_limit_mb=64 -max_total_time="$seconds" \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1 || status=$?

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
  echo "fuzz-hair-reader: failures found; inputs are in $work/artifacts" >&2
  exit 1
fi
echo "fuzz-hair-reader: no failures in $seconds seconds"
