#!/usr/bin/python3
"""A small directory site on the loopback interface for the harvest tests.

site_server.py ROOT: serves the files under ROOT on 127.0.0.1 at a free
port, which it prints on its first line. A path that contains "jamais" is
never answered (the connection is held open for at most two minutes).
The server ends by itself after ten minutes, or when its stdin closes.

A path whose first segment names a mode below (/MODE/rest) is answered by
that mode, which serves ROOT/rest, or the small directory generated below,
its own way; a new misbehaviour of a site is one more function with the
@mode decorator. Modes that keep a state keep it for the server's life.
"""
import html
import http.server
import sys
import threading
import time
import urllib.parse

MODES = {}


def mode(name):
    """Registers the decorated function(handler, rest) as mode `name`."""
    def register(function):
        MODES[name] = function
        return function
    return register


# A generated directory: seven listings on two result pages (three, then
# four), the first page's "Suivant" leading to the second.
BUSINESSES = [
    ("atelier-velo", "Atelier du Vélo", "Rue du Rhône 12", "1204", "Genève", "022 310 11 12"),
    ("boucherie-favre", "Boucherie Favre", "Grand-Rue 4", "1630", "Bulle", "026 912 20 21"),
    ("cafe-place", "Café de la Place", "Place du Marché 1", "2300", "La Chaux-de-Fonds", "032 913 30 31"),
    ("droguerie-marche", "Droguerie du Marché", "Rue du Marché 9", "1950", "Sion", "027 322 40 41"),
    ("epicerie-rossi", "Épicerie fine Rossi", "Via Nassa 20", "6900", "Lugano", "091 922 50 51"),
    ("fromagerie-alpes", "Fromagerie des Alpes", "Route de la Gruyère 3", "1663", "Gruyères", "026 921 60 61"),
    ("garage-pont", "Garage du Pont", "Chemin du Pont 15", "1400", "Yverdon-les-Bains", "024 425 70 71"),
]
RESULT_PAGES = {"/resultats.html": (BUSINESSES[:3], "resultats-2.html"), "/resultats-2.html": (BUSINESSES[3:], None)}


def directory_page(rest):
    """The generated directory's page at `rest` (its HTML), or None."""
    path = urllib.parse.urlsplit(rest).path
    if path in RESULT_PAGES:
        listed, following = RESULT_PAGES[path]
        links = "".join(f'<li><a class="info-link silver-button" href="fiche/{b[0]}.html">Voir la fiche</a></li>\n'
                        for b in listed)
        pager = f'<p><a href="{following}">Suivant »</a></p>' if following else ""
        return ('<!DOCTYPE html>\n<html lang="fr"><head><meta charset="utf-8"><title>Résultats</title></head>'
                f"<body><ol>\n{links}</ol>{pager}</body></html>")
    for slug, name, street, code, town, phone in BUSINESSES:
        if path == f"/fiche/{slug}.html":
            return ('<!DOCTYPE html>\n<html lang="fr"><head><meta charset="utf-8">'
                    f"<title>{html.escape(name)}</title></head><body>\n"
                    f'<div class="vcard">\n<h1 class="n fn">{html.escape(name)}</h1>\n'
                    f'<div class="adr"><span class="street-address">{street}</span><br>\n'
                    f'<span class="postal-code">{code}</span> <span class="locality">{town}</span></div>\n'
                    f'<table class="contact"><tr><td><span class="tel">Téléphone: {phone}</span></td></tr></table>\n'
                    "</div>\n</body></html>")
    return None


def send_directory_page(handler, rest, change=lambda page: page):
    """Answers with the generated directory's page at `rest`, as `change` makes it."""
    page = directory_page(rest)
    if page is None:
        handler.send_error(404)
        return
    handler.send_page(change(page))


def is_listing(rest):
    return urllib.parse.urlsplit(rest).path.startswith("/fiche/")


@mode("annuaire")
def plain_directory(handler, rest):
    """The generated directory as it is."""
    send_directory_page(handler, rest)


CHECK = {"lifted": False, "served": set(), "lock": threading.Lock()}


@mode("verification")
def bot_check(handler, rest):
    """The generated directory behind a bot check: from the fourth listing
    on, every listing not served yet answers 403 with a check page, until
    the form of that page is submitted (GET /verification/verifier); then
    everything is served again."""
    address = urllib.parse.urlsplit(rest)
    if address.path == "/verifier":
        with CHECK["lock"]:
            CHECK["lifted"] = True
        back = urllib.parse.parse_qs(address.query).get("retour", ["/verification/resultats.html"])[0]
        handler.send_response(302)
        handler.send_header("Location", back)
        handler.send_header("Content-Length", "0")
        handler.end_headers()
        return
    if is_listing(rest):
        with CHECK["lock"]:
            allowed = CHECK["lifted"] or rest in CHECK["served"] or len(CHECK["served"]) < 3
            if allowed:
                CHECK["served"].add(rest)
        if not allowed:
            back = html.escape(handler.path, quote=True)
            handler.send_page(
                '<!DOCTYPE html><html lang="fr"><head><meta charset="utf-8"><title>Vérification</title></head>'
                "<body><h1>Vérification</h1><p>Confirmez que vous êtes une personne pour continuer.</p>"
                '<form method="get" action="/verification/verifier">'
                f'<input type="hidden" name="retour" value="{back}">'
                '<button type="submit" id="confirmer">Je ne suis pas un robot</button></form></body></html>',
                status=403)
            return
    send_directory_page(handler, rest)


@mode("mise-en-page")
def changed_layout(handler, rest):
    """The generated directory after a change of layout: its listing pages
    lost the markers of the name, so that none of them is recognised."""
    send_directory_page(handler, rest, lambda page: page.replace('class="n fn"', 'class="raison-sociale"'))


LIMITED = {"answers": {}, "lock": threading.Lock()}


@mode("limite")
def rate_limit(handler, rest):
    """The generated directory limiting requests: each listing answers 429
    Too Many Requests twice, then its page."""
    if is_listing(rest):
        with LIMITED["lock"]:
            refused = LIMITED["answers"].get(rest, 0)
            LIMITED["answers"][rest] = refused + 1
        if refused < 2:
            handler.send_page("<!DOCTYPE html><html><body><p>Trop de requêtes.</p></body></html>", status=429)
            return
    send_directory_page(handler, rest)


@mode("consentement")
def consent_wall(handler, rest):
    """A cookie-consent wall: every page redirects to the wall until its
    "Tout accepter" link has set the cookie. The cookie lasts for the
    browser's session only, as some sites make it: only a browser that keeps
    session cookies remembers the consent at its next start."""
    address = urllib.parse.urlsplit(rest)
    if address.path == "/accepter":
        back = urllib.parse.parse_qs(address.query).get("retour", ["/consentement/"])[0]
        handler.send_response(302)
        handler.send_header("Set-Cookie", "consentement=oui; Path=/consentement")
        handler.send_header("Location", back)
        handler.send_header("Content-Length", "0")
        handler.end_headers()
        return
    if address.path == "/mur":
        back = urllib.parse.parse_qs(address.query).get("retour", ["/consentement/"])[0]
        accept = "/consentement/accepter?retour=" + urllib.parse.quote(back, safe="")
        handler.send_page(
            '<!DOCTYPE html><html lang="fr"><head><meta charset="utf-8"><title>Vos choix</title></head><body>'
            "<p>Ce site utilise des cookies.</p>"
            f'<p><a href="{accept}">Tout accepter</a> <a href="/consentement/refuser">Tout refuser</a></p>'
            "</body></html>")
        return
    cookies = handler.headers.get("Cookie", "")
    if "consentement=oui" not in [c.strip() for c in cookies.split(";")]:
        handler.send_response(302)
        handler.send_header("Location", "/consentement/mur?retour=" + urllib.parse.quote(handler.path, safe=""))
        handler.send_header("Content-Length", "0")
        handler.end_headers()
        return
    handler.serve_file(rest)


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=sys.argv[1], **kwargs)

    def do_GET(self):
        if "jamais" in self.path:
            deadline = time.monotonic() + 120
            while time.monotonic() < deadline:
                time.sleep(0.5)
            return
        first, _, rest = self.path.lstrip("/").partition("/")
        if first in MODES:
            MODES[first](self, "/" + rest)
            return
        super().do_GET()

    def serve_file(self, path):
        """Answers with the file ROOT/path, as a plain request for it would."""
        self.path = path
        super().do_GET()

    def send_page(self, page, status=200):
        body = page.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    # Ends when the test closes our stdin, or after ten minutes at most.
    reader = threading.Thread(target=sys.stdin.read, daemon=True)
    reader.start()
    reader.join(600)
    server.shutdown()


if __name__ == "__main__":
    main()
