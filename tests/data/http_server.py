#!/usr/bin/env python3
"""A local HTTP server for the HTTP tests: binds 127.0.0.1 on a free port, prints
the port on its first line, and appends one line per request to the log file given
as its argument: the method, the path, the request headers in order (Host left
out, as it holds the port) and the body as a Python bytes literal. A request is
logged before it is answered, so the log is complete once the client has its
answer. The server ends by itself when its standard input closes (the test
process ended) or after five minutes.

Paths:
  /text      200, "hello"
  /lines     200, "a" CR LF "b"
  /bytes     200, the bytes 0 to 255
  /missing   404, "not here"
  /cookies   200, two Set-Cookie lines, one Content-Type, and "X-Tight:y" with no
             blank after the colon
  /redirect  302 to /text, carrying X-First (which the final answer lacks)
  /echo      200, the request's body as the response's
  /stall     200 headers, then a body that never comes
  /code      200, "[1 two 3]" as text/plain
  /script    200, a script with a header: "Zol [title: \"t\"] 1 + 41"
  /png       200, a 1x1 PNG of the colour 10.20.30 as image/png
"""
import os
import struct
import sys
import threading
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOG = sys.argv[1]
log_lock = threading.Lock()


def png_1x1(r, g, b):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", 1, 1, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes([0, r, g, b]))) + chunk(b"IEND", b""))


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def record(self, body):
        headers = "|".join(f"{k}: {v}" for k, v in self.headers.items() if k.lower() != "host")
        with log_lock, open(LOG, "a") as log:
            log.write(f"{self.command} {self.path} {{{headers}}} {body!r}\n")

    def answer(self, status, body, extra=()):
        self.send_response(status)
        for name, value in extra:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def handle_any(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        self.record(body)
        path = self.path
        if path == "/text":
            self.answer(200, b"hello", [("Content-Type", "text/plain")])
        elif path == "/lines":
            self.answer(200, b"a\r\nb")
        elif path == "/bytes":
            self.answer(200, bytes(range(256)))
        elif path == "/missing":
            self.answer(404, b"not here")
        elif path == "/cookies":
            self.send_response(200)
            self.send_header("Set-Cookie", "a=1")
            self.send_header("Set-Cookie", "b=2")
            self.send_header("Content-Type", "text/plain")
            self._headers_buffer.append(b"X-Tight:y\r\n")
            self.send_header("Content-Length", "2")
            self.end_headers()
            self.wfile.write(b"ok")
        elif path == "/code":
            self.answer(200, b"[1 two 3]", [("Content-Type", "text/plain")])
        elif path == "/script":
            self.answer(200, b'Zol [title: "t"] 1 + 41', [("Content-Type", "text/plain")])
        elif path == "/png":
            self.answer(200, png_1x1(10, 20, 30), [("Content-Type", "image/png")])
        elif path == "/redirect":
            self.answer(302, b"", [("Location", "/text"), ("X-First", "1")])
        elif path == "/echo":
            self.answer(200, body)
        elif path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", "10")
            self.end_headers()
            self.wfile.flush()
            threading.Event().wait(60)
        else:
            self.answer(400, b"unknown path")

    do_GET = do_POST = do_PUT = do_DELETE = do_HEAD = do_PATCH = handle_any


def end_when_stdin_closes():
    sys.stdin.buffer.read()
    os._exit(0)


def main():
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    threading.Thread(target=end_when_stdin_closes, daemon=True).start()
    threading.Timer(300, lambda: os._exit(0)).start()
    server.serve_forever()


if __name__ == "__main__":
    main()
