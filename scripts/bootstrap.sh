#!/usr/bin/env bash
# The README's entry point for a fresh Debian 12 machine, which has no make:
#   scripts/bootstrap.sh run    installs what is missing, builds and starts Tressmoor
#   scripts/bootstrap.sh test   installs what is missing, builds and runs every test
# It brings make when it is missing, then runs the make target; the target
# installs the rest.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -eq 0 ]; then
  echo "usage: $0 run|test [other make arguments]" >&2
  exit 2
fi
if ! command -v make >/dev/null; then
  ./scripts/install-deps.sh make
fi
exec make "$@"
