#!/usr/bin/env bash
# Session journals of vantrelis-batch and --recover:
# recovery_test.sh CASE BATCH SOURCE_DIR WORK_DIR
set -uo pipefail
case_name="$1" batch="$2" src="$3" work="$4"
samples="$src/tests/data/listings"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

source "$src/tests/e2e/common.sh"

case "$case_name" in
  killed)
    # A harvest killed with SIGKILL once its third listing is reported; the
    # rows reported by then come back, as they were shown (latest first).
    mkfifo progress
    "$batch" --harvest demo --export-csv never.csv 2>progress & pid=$!
    reported=0
    while IFS= read -r line; do
      echo "$line" >> progress.txt
      case "$line" in
        *" fiche "*" : (pas de fiche)") ;;
        *" fiche "*) reported=$((reported + 1)) ;;
      esac
      case "$line" in *"fiche 3 sur "*) kill -STOP $pid; break ;; esac
    done < progress
    kill -KILL $pid
    wait $pid 2>/dev/null
    [ "$reported" -ge 3 ] || { cat progress.txt; fail "the harvest reported $reported listings"; }
    [ ! -e never.csv ] || fail "the killed command must not have exported"
    [ "$(journals)" = 1 ] || fail "the killed command's journal must stay"
    run 0 --recover --export-csv recovered.csv
    grep -qF "Récupéré : $reported contacts de 1 session interrompue" err.txt || { cat err.txt; fail "recovery note"; }
    tail -n "$reported" "$src/tests/data/harvest/expected_demo.csv" | cmp - recovered.csv \
      || fail "the recovered rows differ from the $reported harvested ones"
    [ "$(journals)" = 0 ] || fail "journals must be gone once the recovery succeeded"
    ;;
  resumed)
    # A harvest killed with SIGKILL on its second result page, then resumed:
    # the rows it made durable come back, the run goes on from that page,
    # passing over the listings whose rows are back, and the export holds
    # the rows of an uninterrupted harvest, each once, in the same order
    # (the resumed run inserts its rows in front of those taken back, as the
    # uninterrupted one inserts each in front of the one before).
    mkfifo progress
    "$batch" --harvest demo --export-csv never.csv 2>progress & pid=$!
    while IFS= read -r line; do
      echo "$line" >> progress.txt
      case "$line" in "Page 2 · fiche 3 sur "*) kill -STOP $pid; break ;; esac
    done < progress
    kill -KILL $pid
    wait $pid 2>/dev/null
    grep -q "^Page 2 · fiche 3 sur " progress.txt || { cat progress.txt; fail "the harvest never reached page 2"; }
    [ "$(journals)" = 1 ] || fail "the killed command's journal must stay"
    run 0 --resume --export-csv resumed.csv
    resumed_from="^Reprise de la récolte interrompue : [0-9]+ contacts récupérés, suite à la page de résultats "
    grep -qE "${resumed_from}http://127\.0\.0\.1:[0-9]+/pagesjaunes/resultats-2\.aspx" err.txt \
      || { cat err.txt; fail "no resume from page 2"; }
    [ "$(grep -c "déjà dans la table, passée" err.txt)" -ge 3 ] \
      || { cat err.txt; fail "the first listings of page 2 were harvested again"; }
    cmp resumed.csv "$src/tests/data/harvest/expected_demo.csv" || { cat err.txt; fail "the resumed harvest's rows differ"; }
    [ "$(journals)" = 0 ] || fail "journals must be gone once the resumed command succeeded"
    ;;
  failed)
    # A failing option keeps the journal; a failing --recover keeps the rows
    # it took in its own journal, and the next one gives them back once.
    run 1 --parse "$samples/01-cafe-etoile.html" --parse "$samples/03-trattoria-angolo.html" \
          --export-csv "$work/no/such/folder/x.csv"
    [ "$(journals)" = 1 ] || fail "the failed command's journal must stay"
    run 1 --recover --export-csv "$work/no/such/folder/y.csv"
    [ "$(journals)" = 1 ] || fail "a failed recovery must keep the rows it took in its journal"
    run 0 --recover --export-csv back.csv
    run 0 --parse "$samples/01-cafe-etoile.html" --parse "$samples/03-trattoria-angolo.html" --export-csv expected.csv
    cmp back.csv expected.csv || fail "rows recovered twice or not in their order"
    [ "$(journals)" = 0 ] || fail "journals must be gone after a successful recovery"
    # Nothing to recover: a note, success.
    run 0 --recover --export-csv empty.csv
    grep -qF "Aucune session interrompue" err.txt || { cat err.txt; fail "note expected"; }
    [ ! -s empty.csv ] || fail "nothing recovered, nothing written"
    ;;
  unknown)
    # A journal this version cannot read is left alone, with a notice.
    mkdir -p "$XDG_STATE_HOME/vantrelis"
    printf 'VANTJRNL\x09\x00\x00\x00 from a later version' > "$XDG_STATE_HOME/vantrelis/session-1-1-00000001.journal"
    run 0 --recover --export-csv out.csv
    grep -qF "ne connaît pas : il est laissé tel quel." err.txt || { cat err.txt; fail "notice expected"; }
    [ "$(journals)" = 1 ] || fail "the unknown journal must stay"
    ;;
  discard)
    # Journals removed on purpose: their rows are gone, and --recover finds nothing.
    run 1 --parse "$samples/01-cafe-etoile.html" --parse "$samples/03-trattoria-angolo.html" \
          --export-csv "$work/no/such/folder/x.csv"
    [ "$(journals)" = 1 ] || fail "the failed command's journal must stay"
    run 0 --discard-recovered
    grep -qFx "Supprimé : 2 contacts de 1 session interrompue" err.txt || { cat err.txt; fail "discard note"; }
    [ "$(journals)" = 0 ] || fail "the journal must be gone"
    run 0 --recover --export-csv none.csv
    grep -qF "Aucune session interrompue" err.txt || { cat err.txt; fail "nothing left to recover"; }
    ;;
  help)
    run 0 --help
    grep -qF -- "--recover" out.txt || fail "--recover missing from --help"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "OK: $case_name"
