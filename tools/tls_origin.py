#!/usr/bin/env python3
"""The end-to-end tests' TLS web server, for tunnels: on 127.0.0.1 with the given certificate and
key, prints its port on the first line of stdout and shuts itself down after LIFETIME seconds.

  GET /blob?size=N  N bytes of a fixed pattern (the same bytes every time, so a client can check
                    every byte)
  POST /echo        the request body back, byte for byte
  POST /until-eof   reads the body until the client shuts its sending side, then answers with the
                    byte count and SHA-256 of what arrived: a half-close must pass the tunnel
                    while the answer still comes back through it

usage: tls_origin.py LIFETIME CERT KEY
"""
import hashlib
import http.server
import ssl
import sys
import threading
import urllib.parse

lifetime, cert, key = float(sys.argv[1]), sys.argv[2], sys.argv[3]


def pattern(size):
    unit = bytes(range(256))
    return (unit * (size // 256 + 1))[:size]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, body, content_type="application/octet-stream"):
        self.send_response(200)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def do_GET(self):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        self.answer(pattern(int(query.get("size", ["1024"])[0])))

    def do_POST(self):
        if self.path == "/echo":
            self.answer(self.rfile.read(int(self.headers.get("Content-Length", "0"))))
        elif self.path == "/until-eof":
            body = self.rfile.read()  # to the end of the client's sending side
            text = f"{len(body)} {hashlib.sha256(body).hexdigest()}\n".encode()
            self.answer(text, "text/plain")
        else:
            self.send_error(404)


context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
# A client's half-close arrives as the end of the TCP stream without TLS's own closing message;
# the answer must still be writable after it.
context.options |= ssl.OP_IGNORE_UNEXPECTED_EOF
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
threading.Timer(lifetime, server.shutdown).start()
server.serve_forever()
