#!/usr/bin/env bash
# `make run`: start the Vantrelis window on the bundled demo directory (or on
# the directory named by VANTRELIS_DIRECTORY).
set -euo pipefail
build="${1:-build}"
shift || true
program="$build/bin/vantrelis"
if [ ! -x "$program" ]; then
  echo "run.sh: $program is missing; build first (make build)." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set)."
  echo "Run the window inside a virtual X server, for example:"
  echo "  QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu xvfb-run -a $program"
  exit 0
fi
exec "$program" "$@"
