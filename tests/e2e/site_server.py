#!/usr/bin/python3
"""A small directory site on the loopback interface for the harvest tests.

site_server.py ROOT: serves the files under ROOT on 127.0.0.1 at a free
port, which it prints on its first line. A path that contains "jamais" is
never answered (the connection is held open for at most two minutes).
The server ends by itself after ten minutes, or when its stdin closes.

A path whose first segment names a mode below (/MODE/rest) is answered by
that mode, which serves ROOT/rest its own way; a new misbehaviour of a
site is one more function with the @mode decorator.
"""
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

    def send_page(self, html):
        body = html.encode("utf-8")
        self.send_response(200)
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
