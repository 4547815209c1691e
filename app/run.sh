#!/usr/bin/env bash
# `make run`: harvest the bundled sample listing pages and print the CSV.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
args=()
for page in "$here"/samples/*.html; do
  args+=(--parse "$page")
done
out="$(mktemp --suffix=.csv)"
trap 'rm -f "$out"' EXIT
"$build/bin/vantrelis-batch" "${args[@]}" --export-csv "$out"
# The file is Windows-1252; show it in the terminal's UTF-8.
if command -v iconv >/dev/null; then
  iconv -f WINDOWS-1252 -t UTF-8 "$out"
else
  cat "$out"
fi
