#!/usr/bin/env python3
"""Local servers for the downloader tests, all on 127.0.0.1 with free ports:
  trusted   HTTPS with server.pem (signed by the test CA)
  untrusted HTTPS with other.pem (signed by a CA nobody trusts)
  expired   HTTPS with expired.pem
  plain     HTTP
   https_server.py CERT_FOLDER LOG_FILE
Prints the ports as one JSON line, then serves until killed. Every request is
appended to LOG_FILE as a JSON line (server, path, headers) before it is answered."""
import gzip
import json
import os
import select
import ssl
import sys
import threading
from email.utils import parsedate_to_datetime
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

cert_dir, log_path = sys.argv[1], sys.argv[2]
log_lock = threading.Lock()
LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
FEED = gzip.compress(b"<feed>served as stored</feed>\n", mtime=0)
ports = {}


def make_handler(name):
    class Handler(BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def send_body(self, status, body, headers=()):
            self.send_response(status)
            for key, value in headers:
                self.send_header(key, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def redirect(self, location):
            self.send_response(302)
            self.send_header("Location", location)
            self.send_header("Content-Length", "0")
            self.end_headers()

        def do_GET(self):
            with log_lock, open(log_path, "a") as log:
                log.write(json.dumps({"server": name, "path": self.path,
                                      "headers": {k.lower(): v for k, v in self.headers.items()}}) + "\n")
            host = "https://127.0.0.1:%d" % ports[name] if name != "plain" else ""
            if self.path == "/feed.xml.gz":
                since = self.headers.get("If-Modified-Since")
                if since and parsedate_to_datetime(since) >= parsedate_to_datetime(LAST_MODIFIED):
                    self.send_response(304)
                    self.end_headers()
                    return
                headers = [("Last-Modified", LAST_MODIFIED), ("Content-Type", "application/xml")]
                # Like a server that serves .gz files as compressed XML to anyone who accepts gzip.
                if "gzip" in self.headers.get("Accept-Encoding", ""):
                    headers.append(("Content-Encoding", "gzip"))
                self.send_body(200, FEED, headers)
            elif self.path == "/always-encoded":
                # Content-Encoding whatever the client asked for.
                self.send_body(200, FEED, [("Content-Encoding", "gzip")])
            elif self.path == "/no-date":
                self.send_body(200, b"no date")
            elif self.path == "/redirect-https":
                self.redirect(host + "/feed.xml.gz")
            elif self.path == "/redirect-http":
                self.redirect("http://127.0.0.1:%d/feed.xml.gz" % ports["plain"])
            elif self.path == "/stall":
                # Never answer; wait until the client goes away.
                while True:
                    readable, _, _ = select.select([self.connection], [], [], 60)
                    if not readable or not self.connection.recv(1024):
                        return
            else:
                self.send_body(404, b"missing")

    return Handler


def serve(name, cert):
    server = ThreadingHTTPServer(("127.0.0.1", 0), make_handler(name))
    server.daemon_threads = True
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(cert_dir, cert + ".pem"), os.path.join(cert_dir, cert + ".key"))
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    ports[name] = server.server_address[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()


for name, cert in (("trusted", "server"), ("untrusted", "other"), ("expired", "expired"), ("plain", None)):
    serve(name, cert)
print(json.dumps(ports), flush=True)
threading.Event().wait()
