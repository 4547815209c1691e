#!/usr/bin/env bash
# clang-tidy (the checks of .clang-tidy) and clang-format (.clang-format):
# on the C++ files changed since BASE (clang-format on their changed lines),
# or on every C++ file with LINT_ALL=1, as CI runs it. Needs a configured
# build folder for compile_commands.json.
#   tools/lint.sh BUILD_DIR [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
base=${2:-}
jobs=${JOBS:-$(nproc)}
tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
[ -f "$build/compile_commands.json" ] || { echo "lint: no $build/compile_commands.json; run make build" >&2; exit 2; }

if [ -z "$base" ]; then
  base=$(git merge-base HEAD origin/main 2>/dev/null || git merge-base HEAD main 2>/dev/null || echo HEAD)
fi

# The translation units to check: a changed header brings in its own .cpp.
code_folders='^(text|store|harvest|harvester|browser|app|batch|tests|bench)/'
if [ "${LINT_ALL:-0}" = 1 ]; then
  units=$(git ls-files '*.cpp' | grep -E "$code_folders" | grep -v '^bench/peers/' || true)
else
  changed=$( { git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h'; \
               git ls-files --others --exclude-standard -- '*.cpp' '*.h'; } | grep -E "$code_folders" | sort -u || true)
  units=$(for f in $changed; do
            case $f in *.h) [ -f "${f%.h}.cpp" ] && echo "${f%.h}.cpp" ;; *) echo "$f" ;; esac
          done | grep -v '^bench/peers/' | sort -u || true)
fi
# Only files the build compiles have a command line (the fuzzers build with clang only).
units=$(for f in $units; do grep -q "\"file\": \"$PWD/$f\"" "$build/compile_commands.json" && echo "$f"; done || true)

status=0
if [ -n "$units" ]; then
  echo "clang-tidy: $(echo "$units" | wc -l) files"
  printf '%s\n' $units | xargs -P "$jobs" -n 1 "$tidy" -p "$build" --quiet --warnings-as-errors='*' \
    2> >(grep -v '^[0-9]* warnings\? generated\.$' >&2) || status=1
fi

clang_format=$(command -v clang-format-14 || command -v clang-format)
if [ "${LINT_ALL:-0}" = 1 ]; then
  # Every file laid out as .clang-format says.
  all=$(git ls-files '*.cpp' '*.h' | grep -E "$code_folders" | grep -v '^bench/peers/' || true)
  if ! "$clang_format" --dry-run -Werror $all; then
    echo "clang-format: these files are not laid out as .clang-format says (clang-format -i fixes them)"
    status=1
  fi
else
  format=$(command -v git-clang-format-14 || command -v git-clang-format)
  out=$("$format" --binary "$clang_format" --diff "$base" -- \
          $(git diff --name-only --diff-filter=ACMR "$base" -- '*.cpp' '*.h' | grep -E "$code_folders" || true) 2>&1 || true)
  case $out in
    ""|"no modified files to format"|"clang-format did not modify any files") ;;
    *) echo "clang-format: the changed lines are not laid out as .clang-format says:"; echo "$out"; status=1 ;;
  esac
fi
[ $status = 0 ] && echo "lint: clean"
exit $status
