#!/usr/bin/env python3
"""Opens a tunnel through the proxy to a TLS server, speaks TLS through it, sends a request body
of SIZE bytes with no length, shuts its own sending side (a half-close under TLS) and prints the
answer the server sent after it had seen the end. Exits 1 on any failure; every step has a
deadline.

usage: tunnel_half_close.py PROXY_PORT SERVER_PORT SIZE
"""
import hashlib
import os
import socket
import ssl
import sys

proxy_port, server_port, size = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
target = f"127.0.0.1:{server_port}"

raw = socket.create_connection(("127.0.0.1", proxy_port), timeout=20)
raw.sendall(f"CONNECT {target} HTTP/1.1\r\nHost: {target}\r\n\r\n".encode())
answer = b""
while b"\r\n\r\n" not in answer:
    piece = raw.recv(1)
    if not piece:
        sys.exit(f"the proxy closed before answering the CONNECT: {answer!r}")
    answer += piece
if b" 200 " not in answer.split(b"\r\n")[0]:
    sys.exit(f"the tunnel was refused: {answer!r}")

context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
context.check_hostname = False
context.verify_mode = ssl.CERT_NONE
context.options |= ssl.OP_IGNORE_UNEXPECTED_EOF
tls = context.wrap_socket(raw)
body = os.urandom(size)
tls.sendall(f"POST /until-eof HTTP/1.1\r\nHost: {target}\r\nConnection: close\r\n\r\n".encode() + body)
# The TCP sending side only: TLS stays open for reading the answer.
socket.socket(fileno=os.dup(tls.fileno())).shutdown(socket.SHUT_WR)

received = b""
while True:
    try:
        piece = tls.recv(65536)
    except (ssl.SSLEOFError, ConnectionResetError):
        break
    if not piece:
        break
    received += piece
expected = f"{size} {hashlib.sha256(body).hexdigest()}"
if expected.encode() not in received:
    sys.exit(f"the server saw something else than what was sent: {received[-200:]!r}, expected {expected}")
print(expected)
