#!/usr/bin/env bash
# `make run`: with a display, the Vantrelis window on the bundled demo
# directory (or on the directory named by VANTRELIS_DIRECTORY). Without one,
# the same main job headless: vantrelis-batch harvests the demo directory into
# contacts.csv and contacts.xlsx in the build folder.
set -euo pipefail
build="${1:-build}"
shift || true
program="$build/bin/vantrelis"
batch="$build/bin/vantrelis-batch"
for p in "$program" "$batch"; do
  if [ ! -x "$p" ]; then
    echo "run.sh: $p is missing; build first (make build)." >&2
    exit 1
  fi
done

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" "$@"
fi

csv="$build/contacts.csv"
xlsx="$build/contacts.xlsx"
echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set):"
echo "harvesting the demo directory without a window."
echo
status=0
"$batch" --harvest demo --export-csv "$csv" --export-xlsx "$xlsx" || status=$?
echo
if [ "$status" -eq 0 ]; then
  echo "Contacts written to $csv and $xlsx."
else
  echo "vantrelis-batch ended with status $status (see its messages above)."
fi
echo
echo "To see the window: run make run on a desktop, or start it on a virtual X server:"
echo "  QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu xvfb-run -a -s '-screen 0 1280x1024x24' $program"
exit "$status"
