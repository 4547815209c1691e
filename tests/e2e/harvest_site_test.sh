#!/usr/bin/env bash
# Headless harvests of a small test site with pages that go wrong:
# harvest_site_test.sh CASE BATCH SOURCE_DIR WORK_DIR
set -uo pipefail
case_name="$1" batch="$2" src="$3" work="$4"
site="$src/tests/data/harvest/site"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

source "$src/tests/e2e/common.sh"

contains() { grep -qF -- "$2" "$1" || { cat "$1"; fail "$1 lacks: $2"; }; }
# has_line FILE PART...: FILE has a line holding every PART, in that order.
has_line() {
  local file="$1" pattern="" part; shift
  for part in "$@"; do pattern+="$(printf '%s' "$part" | sed 's/[]\/$*.^[]/\\&/g').*"; done
  grep -q -- "$pattern" "$file" || { cat "$file"; fail "$file has no line with: $*"; }
}
# signal_at SIGNAL TEXT LOG ARG...: runs the command with ARG, its error
# output in LOG, and sends it SIGNAL once it writes a line holding TEXT;
# returns its status.
signal_at() {
  local signal="$1" text="$2" log="$3" pid line; shift 3
  rm -f err.fifo && mkfifo err.fifo
  "$batch" "$@" 2>err.fifo &
  pid=$!
  while IFS= read -r line; do
    printf '%s\n' "$line" >> "$log"
    case "$line" in *"$text"*) kill "-$signal" "$pid" ;; esac
  done < err.fifo
  wait "$pid"
}
# The rows of the generated directory (site_server.py), as an uninterrupted
# harvest of it exports them.
directory_rows="$src/tests/data/harvest/expected_annuaire.csv"

# The site server runs while its stdin (a pipe we hold) stays open.
coproc SERVER { exec /usr/bin/python3 "$src/tests/e2e/site_server.py" "$site"; }
read -r port <&"${SERVER[0]}" || fail "the site server did not start"
base="http://127.0.0.1:$port"

case "$case_name" in
  bad-listing)
    # One listing answers with a download: it is skipped, every other row is kept.
    run 0 --harvest "$base/resultats.html" --export-csv site.csv
    cmp site.csv "$src/tests/data/harvest/expected_site.csv" || { cat err.txt; fail "CSV of the site differs"; }
    has_line err.txt "Page 1 · fiche 2 sur 4 · 1 ajoutée · 1 ignorée" \
      " : ignorée, $base/fiche/brochure-du-salon.zip : l'adresse renvoie un fichier à télécharger"
    contains err.txt "Récolte terminée : 3 contacts ajoutés depuis 1 page de résultats"
    contains err.txt "1 fiche n'a pas pu être lue et a été ignorée :"
    ;;
  sigterm)
    # SIGTERM while the last listing hangs: the run stops at once and the
    # rows harvested before it are still written.
    signal_at TERM "fiche 3 sur 4" err.txt --harvest "$base/lente.html" --export-csv lente.csv
    status=$?
    [ "$status" = 143 ] || { cat err.txt; fail "status $status after SIGTERM, expected 143"; }
    contains err.txt "Récolte arrêtée à la demande : 3 contacts ajoutés"
    [ "$(grep -c . lente.csv)" = 3 ] || { cat lente.csv; fail "three rows expected in lente.csv"; }
    ! grep -q "fiche 4 sur 4" err.txt || fail "the hanging listing must not be reported as read"
    # The stopped harvest is paused: its journal keeps the rows for --resume.
    contains err.txt "Le journal de la récolte arrêtée est gardé : vantrelis-batch --resume la reprend."
    run 0 --recover --export-csv back.csv
    cmp back.csv lente.csv || fail "the journal kept does not hold the rows written"
    ;;
  consent)
    # A consent given during one command holds for the next even though
    # SIGTERM stopped the first: its cookie reached the disk as it ended.
    # The start address sets the consent and leads to the result page.
    signal_at TERM "fiche 1 sur 4" first.txt \
      --harvest "$base/consentement/accepter?retour=%2Fconsentement%2Fresultats.html"
    status=$?
    [ "$status" = 143 ] || { cat first.txt; fail "status $status after SIGTERM, expected 143"; }
    run 0 --harvest "$base/consentement/resultats.html" --export-csv site.csv
    cmp site.csv "$src/tests/data/harvest/expected_site.csv" || { cat err.txt; fail "the consent did not hold"; }
    # Once the site data are forgotten, the wall is back.
    run 0 --forget-site-data
    contains err.txt "Données des sites effacées dans $XDG_DATA_HOME/vantrelis"
    run 0 --harvest "$base/consentement/resultats.html"
    contains err.txt "Aucune fiche trouvée à l'adresse $base/consentement/resultats.html"
    # Given again in a command that is killed: the engine writes its cookies
    # only every 30 s, but the copy kept within a second holds the consent.
    signal_at KILL "fiche 1 sur 4" killed.txt \
      --harvest "$base/consentement/accepter?retour=%2Fconsentement%2Fresultats.html"
    run 0 --harvest "$base/consentement/resultats.html" --export-csv killed.csv
    cmp killed.csv "$src/tests/data/harvest/expected_site.csv" || { cat err.txt; fail "the consent did not outlive the kill"; }
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
    ! grep -v -e '^Page [0-9]* · fiche [0-9]* sur [0-9]* · ' -e '^Récolte terminée : ' \
          -e "^1 fiche n'a pas pu être lue" -e '^- http://127.0.0.1:[0-9]*/.* : ' err.txt \
      || fail "lines above are not the command's own"
    [ "$(grep -c '^Page ' err.txt)" = 22 ] || { cat err.txt; fail "one line per listing expected"; }
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
  twice)
    # Rows taken back by --recover, then two harvests of the same pages in
    # one command: a listing whose row is in the table is passed over, the
    # second harvest passes over every one. The recovered rows come first
    # in the table, so the rows are compared sorted.
    run 1 --harvest "$base/annuaire/resultats-2.html" --export-csv "$work/no/such/folder/x.csv"
    [ "$(journals)" = 1 ] || fail "the failed command's journal must stay"
    run 0 --recover --harvest "$base/annuaire/resultats.html" --harvest "$base/annuaire/resultats.html" \
          --export-csv twice.csv
    contains err.txt "Récupéré : 4 contacts de 1 session interrompue"
    contains err.txt "Récolte terminée : 3 contacts ajoutés depuis 2 pages de résultats"
    contains err.txt "4 fiches étaient déjà dans la table et ont été passées."
    contains err.txt "Récolte terminée : 0 contact ajouté depuis 2 pages de résultats"
    contains err.txt "7 fiches étaient déjà dans la table et ont été passées."
    [ "$(grep -c " : déjà dans la table, passée ($base/annuaire/fiche/" err.txt)" = 11 ] \
      || { cat err.txt; fail "4 then 7 listings passed over expected"; }
    sort twice.csv | cmp - <(sort "$directory_rows") || { cat err.txt; fail "each listing once expected"; }
    [ "$(journals)" = 0 ] || fail "journals must be gone once the command succeeded"
    ;;
  check)
    # A bot check from the fourth listing on (HTTP 403): the harvest stops
    # with status 3 and a message naming the page, the export after it
    # holds the rows so far, the journal stays. Once the check's form has
    # been submitted, --resume gives every row once, from the result page
    # where the harvest stopped.
    run 3 --harvest "$base/verification/resultats.html" --export-csv so-far.csv
    contains err.txt "Le site demande une vérification (ou refuse l'accès) : la récolte s'est arrêtée sur la page \
$base/verification/fiche/fromagerie-alpes.html (le serveur a répondu par l'erreur HTTP 403)"
    contains err.txt "puis reprenez la récolte avec vantrelis-batch --resume."
    ! grep -q "fiche 4 sur 4" err.txt || fail "the harvest went on after three refused listings"
    tail -n 3 "$directory_rows" | cmp - so-far.csv || fail "the rows harvested before the check differ"
    [ "$(journals)" = 1 ] || fail "the journal of a blocked harvest must stay"
    # The check page's form, submitted as a person would.
    /usr/bin/python3 - "$base/verification/fiche/garage-pont.html" <<'PYTHON' || fail "the check could not be lifted"
import html.parser, sys, urllib.error, urllib.parse, urllib.request
try:
    urllib.request.urlopen(sys.argv[1])
    sys.exit("no check page")
except urllib.error.HTTPError as answer:
    page = answer.read().decode()
class Form(html.parser.HTMLParser):
    action, fields = None, {}
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "form":
            self.action = attrs["action"]
        elif tag == "input":
            self.fields[attrs["name"]] = attrs.get("value", "")
form = Form()
form.feed(page)
urllib.request.urlopen(urllib.parse.urljoin(sys.argv[1], form.action) + "?" + urllib.parse.urlencode(form.fields))
PYTHON
    run 0 --resume --export-csv all.csv
    contains err.txt "Reprise de la récolte interrompue : 3 contacts récupérés, suite à la page de résultats \
$base/verification/resultats-2.html"
    ! grep -q "déjà dans la table" err.txt || fail "the resumed harvest started on another page"
    cmp all.csv "$directory_rows" || { cat err.txt; fail "the resumed harvest does not give every row once"; }
    [ "$(journals)" = 0 ] || fail "journals must be gone once the resumed command succeeded"
    ;;
  layout)
    # Listing pages that lost their name markers: the harvest stops after
    # three of them with the message, and status 3.
    run 3 --harvest "$base/mise-en-page/resultats.html" --export-csv none.csv
    contains err.txt "Le site ne montre plus de fiches sous la forme attendue"
    contains err.txt "la récolte s'est arrêtée sur la page $base/mise-en-page/fiche/cafe-place.html"
    [ "$(grep -c ' : ignorée, .* : aucune fiche reconnue sur la page$' err.txt)" = 3 ] \
      || { cat err.txt; fail "three unrecognised listings expected"; }
    ! grep -q "^Page 2" err.txt || fail "the harvest went on to the next result page"
    [ -f none.csv ] && [ ! -s none.csv ] || fail "the export after the harvest must run"
    ;;
  *)
    fail "unknown case $case_name"
    ;;
esac
exec {SERVER[1]}>&-
echo "OK: $case_name"
