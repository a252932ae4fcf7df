#!/usr/bin/env bash
# Installs the Debian packages Tressmoor needs, only those that are missing:
#   scripts/install-deps.sh make   make alone, for scripts/bootstrap.sh
#   scripts/install-deps.sh run    what building and running the program needs
#   scripts/install-deps.sh test   that, and everything the tests and benchmarks use
# Packages are installed without their recommended ones, so everything that is
# used is named here. Not root: through sudo.
set -euo pipefail

make_packages=(make)

run_packages=(
  build-essential cmake
  # FLTK's CMake files refer to the fluid program.
  libfltk1.3-dev fluid
  libgl-dev libglu1-mesa-dev
  # tressmoor-render: off-screen GL (found through pkg-config) and PNG files.
  pkg-config libosmesa6-dev libpng-dev
  # Mesa's drivers, including the software renderer for a machine without a GPU.
  libgl1-mesa-dri
  # FLTK draws its labels with fontconfig's fonts.
  fonts-dejavu-core
  # The tools' manual pages are made from their --help at build time.
  help2man
  # Meshes of the user's own, in every format it reads.
  libassimp-dev
)

test_packages=(
  "${run_packages[@]}"
  libgtest-dev libbenchmark-dev libx11-dev
  # libFuzzer comes with clang's runtime libraries; llvm-symbolizer names the
  # functions in its reports.
  clang libclang-rt-14-dev llvm
  valgrind
  # Real meshes, and broken ones, for the mesh reader's tests.
  assimp-testmodels
  # An independent USD reader (TinyUSDZ, fetched by scripts/fetch-test-readers.sh)
  # runs in Node.js.
  nodejs curl ca-certificates
  # The virtual display (xvfb-run needs xauth) and the tools that drive the window.
  xvfb xauth xdotool imagemagick python3
  # The Debian package: dpkg-shlibdeps computes its dependencies (CPack finds
  # the programs with file), lintian checks it, and the installed tree's test
  # validates the desktop entry, the AppStream metadata and the manual pages.
  dpkg-dev file lintian desktop-file-utils appstream man-db
)

case "${1:-}" in
  make) packages=("${make_packages[@]}") ;;
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *)
    echo "usage: $0 make|run|test" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "$0: installing ${missing[*]} needs root: run this as root, or install sudo" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
# Through env, because sudo does not pass the caller's environment on.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
