#!/usr/bin/env python3
"""HTTPS server for the update tests: serves the files of a folder.

usage: feed_server.py ROOT CERT KEY

Prints "PORT <n>" once it listens on 127.0.0.1. For a request of /a/b it
serves ROOT/a/b with a Last-Modified of the file's time, answers 304 to an
If-Modified-Since that is not older, and 404 for a missing file. Beside a
file, "NAME.stall" makes the server take the request and never answer,
"NAME.nolength" leaves out Content-Length, "NAME.dribble" sends the body
one byte a second and "NAME.short" announces the whole length but sends
only the first half of the body before it closes the connection. A request below /any/ is answered with ROOT/any whatever
its last segment, which need not fit a file name here. Every request is
appended to ROOT/requests.log as "<path> <status> <If-Modified-Since or ->".
"""
import email.utils
import http.server
import os
import ssl
import sys
import threading
import time

root, cert, key = sys.argv[1:4]
log_lock = threading.Lock()


def log(path, status, since):
    with log_lock, open(os.path.join(root, "requests.log"), "a") as f:
        f.write("%s %s %s\n" % (path, status, since or "-"))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        local = os.path.join(root, path.lstrip("/"))
        if path.startswith("/any/"):
            local = os.path.join(root, "any")
        since = self.headers.get("If-Modified-Since")
        if os.path.exists(local + ".stall"):
            log(path, "stall", since)
            while True:
                time.sleep(3600)
        if not os.path.isfile(local):
            log(path, 404, since)
            body = b"not found"
            self.send_response(404)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        mtime = int(os.path.getmtime(local))
        if since:
            parsed = email.utils.parsedate_to_datetime(since).timestamp()
            if parsed >= mtime:
                log(path, 304, since)
                self.send_response(304)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        with open(local, "rb") as f:
            body = f.read()
        log(path, 200, since)
        self.send_response(200)
        self.send_header("Last-Modified", email.utils.formatdate(mtime, usegmt=True))
        if os.path.exists(local + ".nolength"):
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.close_connection = True
            return
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if os.path.exists(local + ".short"):
            self.wfile.write(body[:len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        if os.path.exists(local + ".dribble"):
            for i in range(len(body)):
                self.wfile.write(body[i:i + 1])
                self.wfile.flush()
                time.sleep(1)
            return
        self.wfile.write(body)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print("PORT %d" % server.server_address[1], flush=True)
server.serve_forever()
