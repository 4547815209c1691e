#!/usr/bin/python3
"""A small directory site on the loopback interface for the harvest tests.

site_server.py ROOT: serves the files under ROOT on 127.0.0.1 at a free
port, which it prints on its first line. A path that contains "jamais" is
never answered (the connection is held open for at most two minutes).
The server ends by itself after ten minutes, or when its stdin closes.
"""
import http.server
import sys
import threading
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=sys.argv[1], **kwargs)

    def do_GET(self):
        if "jamais" in self.path:
            deadline = time.monotonic() + 120
            while time.monotonic() < deadline:
                time.sleep(0.5)
            return
        super().do_GET()

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
