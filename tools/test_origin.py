#!/usr/bin/env python3
"""The end-to-end tests' web server: answers every GET on 127.0.0.1 with one fixed page, prints
its port on the first line of stdout, appends each request path to REQUESTS when given, and shuts
itself down after LIFETIME seconds so that a killed test never leaves it behind.

usage: test_origin.py LIFETIME [--requests FILE] [--body TEXT] [--type CONTENT-TYPE]
"""
import argparse
import http.server
import threading

arguments = argparse.ArgumentParser()
arguments.add_argument("lifetime", type=float)
arguments.add_argument("--requests")
arguments.add_argument("--body", default="origin page")
arguments.add_argument("--type", default="text/plain")
options = arguments.parse_args()
body = options.body.encode()


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        if options.requests:
            with open(options.requests, "a") as f:
                f.write(self.path + "\n")
        self.send_response(200)
        self.send_header("Content-Type", options.type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
print(server.server_address[1], flush=True)
threading.Timer(options.lifetime, server.shutdown).start()
server.serve_forever()
