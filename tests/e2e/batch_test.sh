#!/usr/bin/env bash
# End-to-end checks of vantrelis-batch: batch_test.sh CASE BATCH SOURCE_DIR WORK_DIR
set -uo pipefail
case_name="$1" batch="$2" src="$3" work="$4"
samples="$src/tests/data/listings"
data="$src/tests/data/batch"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

source "$src/tests/e2e/common.sh"

contains() { grep -qF -- "$2" "$1" || { cat "$1"; fail "$1 lacks: $2"; }; }

# The sample pages in a fixed order (the glob order depends on the locale).
sample_args=()
for page in 01-cafe-etoile 02-baeckerei-mueller 03-trattoria-angolo 04-horlogerie-jaquet \
            05-metzgerei-schoeni 06-osteria-ulivo 07-resultats-boulangerie 08-boulangerie-du-pre; do
  sample_args+=(--parse "$samples/$page.html")
done

case "$case_name" in
  samples)
    # Pages parsed one after another come out latest first; the result page adds nothing.
    run 0 "${sample_args[@]}" --export-csv samples.csv
    cmp samples.csv "$data/samples.csv" || fail "CSV of the samples differs"
    contains err.txt "07-resultats-boulangerie.html"
    [ "$(grep -c . err.txt)" = 1 ] || fail "one note expected on stderr"
    [ ! -s out.txt ] || fail "nothing expected on stdout"
    ;;
  roundtrip)
    run 0 --import "$data/samples.csv" --export-csv once.csv
    cmp once.csv "$data/samples.csv" || fail "import/export is not byte-identical"
    run 0 --import "$data/tricky.csv" --export-csv tricky.csv
    cmp tricky.csv "$data/tricky.csv" || fail "tricky import/export is not byte-identical"
    # Importing twice adds the rows twice; an empty table writes an empty file.
    run 0 --import "$data/tricky.csv" --import "$data/tricky.csv" --export-csv twice.csv
    cat "$data/tricky.csv" "$data/tricky.csv" | cmp - twice.csv || fail "double import"
    run 0 --export-csv empty.csv
    [ -f empty.csv ] && [ ! -s empty.csv ] || fail "an empty table must give an empty file"
    ;;
  encodings)
    # Windows-1252 bytes are taken as they are; UTF-8 (with a BOM) is converted.
    run 0 --parse "$data/cp1252-page.html" --parse "$data/utf8-bom-page.html" --export-csv enc.csv
    cmp enc.csv "$data/encodings.csv" || fail "encodings CSV differs"
    ;;
  statuses)
    run 0 --help
    contains out.txt "Utilisation"
    contains out.txt "--export-xlsx"
    contains out.txt "130 après SIGINT et 143 après SIGTERM"
    contains out.txt "3 si le site a arrêté une récolte"
    contains out.txt "puis reprenez avec vantrelis-batch --resume"
    contains out.txt "est ignorée"
    [ ! -s err.txt ] || fail "--help writes nothing on stderr"
    run 0 --version
    grep -qx "vantrelis-batch [0-9][0-9.]*" out.txt || { cat out.txt; fail "--version prints the name and version"; }
    # Without an option: the usage on stderr, status 2.
    run 2
    contains err.txt "Utilisation"
    [ ! -s out.txt ] || fail "nothing expected on stdout without an option"
    # Usage errors: status 2, usage on stderr, nothing done (not even earlier options).
    run 2 --export-csv early.csv --bogus
    contains err.txt "--bogus"
    contains err.txt "Utilisation"
    [ ! -e early.csv ] || fail "nothing may be done on a usage error"
    run 2 --export-csv early.csv --parse
    contains err.txt "--parse"
    [ ! -e early.csv ] || fail "nothing may be done on a missing argument"
    run 2 --clear=yes
    # A failing option: status 1, its message, earlier options stay done, later ones are not run.
    run 1 --parse "$samples/01-cafe-etoile.html" --export-csv first.csv \
          --import "$work/missing.csv" --export-csv second.csv
    contains err.txt "Impossible d'ouvrir le fichier $work/missing.csv"
    [ -s first.csv ] || fail "the option before the failure must stay done"
    [ ! -e second.csv ] || fail "options after the failure must not run"
    run 1 --parse "$work/missing.html"
    contains err.txt "Impossible d'ouvrir le fichier $work/missing.html"
    run 1 --import "$work"
    contains err.txt "Impossible d'ouvrir le fichier $work"
    run 1 --export-csv "$work/no/such/folder/x.csv"
    contains err.txt "Impossible de créer le fichier $work/no/such/folder/x.csv"
    # The option=value form.
    run 0 "--parse=$samples/03-trattoria-angolo.html" "--export-csv=eq.csv"
    [ "$(wc -l < eq.csv)" = 1 ] || fail "--opt=value form"
    ;;
  clear)
    run 0 "${sample_args[@]}" --clear --export-csv cleared.csv
    [ -f cleared.csv ] && [ ! -s cleared.csv ] || fail "--clear must empty the table"
    # Rows after --clear are all that is left.
    run 0 --import "$data/samples.csv" --clear --parse "$data/cp1252-page.html" --export-csv after.csv
    tail -n 1 "$data/encodings.csv" | cmp - after.csv || fail "only the row after --clear may stay"
    ;;
  qt-free)
    # Only a command with --harvest needs the browser engine: any other one
    # loads no Qt library at all (the dynamic loader tells what it loads).
    LD_DEBUG=libs "$batch" --import "$data/samples.csv" --export-csv plain.csv >out.txt 2>loads.txt \
      || { cat loads.txt; fail "the import failed"; }
    cmp plain.csv "$data/samples.csv" || fail "import/export without Qt differs"
    grep -q 'libstdc++' loads.txt || fail "the loader's report is empty"
    ! grep -q 'libQt6' loads.txt || fail "vantrelis-batch loaded $(grep -o -m1 'libQt6[A-Za-z]*' loads.txt)"
    # The program it hands a harvest to, beside it, is the one with Qt WebEngine.
    LD_DEBUG=libs "$(dirname "$batch")/vantrelis-batch-harvest" --help >out.txt 2>loads.txt
    grep -q 'libQt6WebEngineCore' loads.txt || fail "the harvesting program does not load Qt WebEngine"
    contains out.txt "Utilisation"
    # Without that program, a harvest fails before anything is done.
    mkdir alone && cp "$batch" alone/vantrelis-batch
    alone/vantrelis-batch --export-csv early.csv --harvest demo >out.txt 2>err.txt
    [ $? = 1 ] || fail "a harvest without its program must fail with status 1"
    contains err.txt "vantrelis-batch-harvest est introuvable"
    [ ! -e early.csv ] || fail "nothing may be done when the harvest cannot start"
    alone/vantrelis-batch --export-csv fine.csv >out.txt 2>err.txt || fail "a command without --harvest needs no helper"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
echo "OK: $case_name"
