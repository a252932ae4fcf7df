#!/usr/bin/env bash
# Runs a command with an X display: the current one if DISPLAY is set,
# otherwise a private Xvfb server that is stopped afterwards.
set -euo pipefail

if [ -n "${DISPLAY:-}" ]; then
  exec "$@"
fi

# Mesa's software renderer, so GL works on a machine without a GPU.
export LIBGL_ALWAYS_SOFTWARE=1
# -noreset: by default the server resets when its last client leaves, and a
# test program that connects during the reset finds no display.
exec xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp -noreset" "$@"
