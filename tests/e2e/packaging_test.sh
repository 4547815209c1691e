#!/usr/bin/env bash
# The installed documentation keeps up with the command: every option that
# `vantrelis-batch --help` names is in its manual page and its bash
# completion, and the completion completes as a user types.
#   packaging_test.sh VANTRELIS-BATCH SOURCE-DIR
set -uo pipefail
batch="$1"
source_dir="$2"
source "$source_dir/tests/e2e/common.sh"
page="$source_dir/packaging/vantrelis-batch.1"
desktop="$source_dir/packaging/vantrelis.desktop"
completion="$source_dir/packaging/vantrelis-batch.bash-completion"

options=$("$batch" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "no option in the help text"
for option in $options; do
  # Manual pages write a hyphen as \-.
  grep -q -- "$(printf '%s' "$option" | sed 's/-/\\\\-/g')" "$page" || fail "$option is not in vantrelis-batch(1)"
  grep -q -- "$option" "$completion" || fail "$option is not in the bash completion"
done

# One main category in the desktop entry, or some menus list the program twice.
main_categories=$(grep '^Categories=' "$desktop" | tr ';=' '\n\n' |
  grep -cx -e AudioVideo -e Audio -e Video -e Development -e Education -e Game -e Graphics -e Network \
           -e Office -e Science -e Settings -e System -e Utility)
[ "$main_categories" = 1 ] || fail "the desktop entry names $main_categories main categories"

# complete WORDS...: the completions offered for the last word.
complete_words() {
  COMP_WORDS=(vantrelis-batch "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _vantrelis_batch
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
shopt -s extglob
compopt() { :; }  # only meaningful inside a completion run
source "$completion"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch contacts.csv notes.txt page.html other.pdf

[ "$(complete_words --ex)" = "--export-csv --export-xlsx " ] || fail "--ex completes to: $(complete_words --ex)"
[ "$(complete_words --harvest d)" = "demo " ] || fail "--harvest d completes to: $(complete_words --harvest d)"
[ "$(complete_words --import '')" = "contacts.csv notes.txt " ] || fail "--import offers: $(complete_words --import '')"
[ "$(complete_words --parse '')" = "page.html " ] || fail "--parse offers: $(complete_words --parse '')"
[ "$(complete_words --clear --re)" = "--recover --resume " ] || fail "--re completes to: $(complete_words --clear --re)"
[ "$(complete_words --res)" = "--resume " ] || fail "--res completes to: $(complete_words --res)"
[ "$(complete_words --d)" = "--discard-recovered " ] || fail "--d completes to: $(complete_words --d)"
echo "packaging: $(echo $options | wc -w) options documented and completed"
