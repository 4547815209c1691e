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
"$build/bin/vantrelis-batch" "${args[@]}" --export-csv "$out"
cat "$out"
rm -f "$out"
