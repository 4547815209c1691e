#!/usr/bin/env bash
# Headless harvests of a small test site with pages that go wrong:
# harvest_site_test.sh CASE BATCH SOURCE_DIR WORK_DIR
set -uo pipefail
case_name="$1" batch="$2" src="$3" work="$4"
site="$src/tests/data/harvest/site"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

source "$src/tests/e2e/common.sh"

contains() { grep -qF -- "$2" "$1" || { cat "$1"; fail "$1 lacks: $2"; }; }

# The site server runs while its stdin (a pipe we hold) stays open.
coproc SERVER { exec /usr/bin/python3 "$src/tests/e2e/site_server.py" "$site"; }
read -r port <&"${SERVER[0]}" || fail "the site server did not start"
base="http://127.0.0.1:$port"

case "$case_name" in
  bad-listing)
    # One listing answers with a download: it is skipped, every other row is kept.
    run 0 --harvest "$base/resultats.html" --export-csv site.csv
    cmp site.csv "$src/tests/data/harvest/expected_site.csv" || { cat err.txt; fail "CSV of the site differs"; }
    contains err.txt "page 1, fiche 2/4 : ignorée, $base/fiche/brochure-du-salon.zip : l'adresse renvoie un fichier à télécharger"
    contains err.txt "Récolte terminée : 3 contacts ajoutés depuis 1 page de résultats"
    contains err.txt "1 fiche n'a pas pu être lue et a été ignorée :"
    ;;
  sigterm)
    # SIGTERM while the last listing hangs: the run stops at once and the
    # rows harvested before it are still written.
    mkfifo err.fifo
    "$batch" --harvest "$base/lente.html" --export-csv lente.csv 2>err.fifo &
    pid=$!
    while IFS= read -r line; do
      printf '%s\n' "$line" >> err.txt
      case "$line" in *"fiche 3/4"*) kill -TERM "$pid" ;; esac
    done < err.fifo
    wait "$pid"
    status=$?
    [ "$status" = 143 ] || { cat err.txt; fail "status $status after SIGTERM, expected 143"; }
    contains err.txt "Récolte arrêtée à la demande : 3 contacts ajoutés"
    [ "$(grep -c . lente.csv)" = 3 ] || { cat lente.csv; fail "three rows expected in lente.csv"; }
    ! grep -q "fiche 4/4" err.txt || fail "the hanging listing must not be reported as read"
    ;;
  consent)
    # A consent given during one command holds for the next even though
    # SIGTERM stopped the first: its cookie reached the disk as it ended.
    # The start address sets the consent and leads to the result page.
    mkfifo err.fifo
    "$batch" --harvest "$base/consentement/accepter?retour=%2Fconsentement%2Fresultats.html" 2>err.fifo &
    pid=$!
    while IFS= read -r line; do
      printf '%s\n' "$line" >> first.txt
      case "$line" in *"fiche 1/4"*) kill -TERM "$pid" ;; esac
    done < err.fifo
    wait "$pid"
    status=$?
    [ "$status" = 143 ] || { cat first.txt; fail "status $status after SIGTERM, expected 143"; }
    run 0 --harvest "$base/consentement/resultats.html" --export-csv site.csv
    cmp site.csv "$src/tests/data/harvest/expected_site.csv" || { cat err.txt; fail "the consent did not hold"; }
    # Once the site data are forgotten, the wall is back.
    run 0 --forget-site-data
    contains err.txt "Données des sites effacées dans $XDG_DATA_HOME/vantrelis"
    run 0 --harvest "$base/consentement/resultats.html"
    contains err.txt "Aucune fiche trouvée à l'adresse $base/consentement/resultats.html"
    ;;
  unreachable)
    # A start address that cannot be loaded is an error; the options after it still run.
    closed=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    run 1 --harvest "http://127.0.0.1:$closed/resultats.html" --export-csv empty.csv
    contains err.txt "La page de résultats http://127.0.0.1:$closed/resultats.html ne peut pas être lue"
    [ -f empty.csv ] && [ ! -s empty.csv ] || fail "the export after the failed harvest must run"
    run 1 --harvest "$base/absente.html" --export-csv empty.csv
    contains err.txt "erreur HTTP 404"
    ! grep -q "Aucune fiche trouvée" err.txt || fail "an error page is not an empty result page"
    ;;
  french)
    # As a user starts it: no display, none of the test's Qt or Chromium
    # settings. Every line on stderr is one of the command's own, in French.
    bare=(env -u QT_QPA_PLATFORM -u QTWEBENGINE_CHROMIUM_FLAGS -u DISPLAY -u WAYLAND_DISPLAY
          -u XDG_RUNTIME_DIR -u VANTRELIS_DEBUG)
    "${bare[@]}" "$batch" --harvest demo --export-csv demo.csv >out.txt 2>err.txt \
      || { cat err.txt; fail "the demo harvest failed"; }
    cmp demo.csv "$src/tests/data/harvest/expected_demo.csv" || fail "CSV of the demo differs"
    ! grep -v -e '^page [0-9]*, fiche [0-9]*/[0-9]* : ' -e '^Récolte terminée : ' \
          -e "^1 fiche n'a pas pu être lue" -e '^- http://127.0.0.1:[0-9]*/.* : ' err.txt \
      || fail "lines above are not the command's own"
    [ "$(grep -c '^page ' err.txt)" = 22 ] || { cat err.txt; fail "one line per listing expected"; }
    # The window without a display, or with one that does not answer: a
    # French message that names vantrelis-batch, status 1, nothing else.
    window="$(dirname "$batch")/vantrelis"
    for display in "" ":4711"; do
      "${bare[@]}" ${display:+DISPLAY=$display} "$window" >out.txt 2>err.txt
      status=$?
      [ "$status" = 1 ] || { cat err.txt; fail "status $status without a display (DISPLAY=$display), expected 1"; }
      contains err.txt "la fenêtre a besoin d'une session graphique"
      contains err.txt "utilisez vantrelis-batch"
      [ "$(grep -c . err.txt)" = 3 ] || { cat err.txt; fail "only the French message expected"; }
    done
    "${bare[@]}" "$window" --version >out.txt 2>err.txt || fail "vantrelis --version failed"
    grep -qx "vantrelis [0-9][0-9.]*" out.txt || { cat out.txt; fail "--version prints the name and version"; }
    [ ! -s err.txt ] || fail "nothing expected on stderr for --version"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
exec {SERVER[1]}>&-
echo "OK: $case_name"
