#!/usr/bin/env bash
# Times peer programs doing the same work as ours, in the same run:
# every bench/peers/*.sh gets the build folder as its argument.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")" && pwd)"
for script in "$here"/peers/*.sh; do
  [ -e "$script" ] || continue
  echo "== peers: $(basename "$script")"
  bash "$script" "$build"
done
