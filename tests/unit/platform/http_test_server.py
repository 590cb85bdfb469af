#!/usr/bin/env python3
"""HTTP server for the download tests. Listens on 127.0.0.1 only, on a free
port that it prints as the first line of its output, and serves:

  /body/N          N bytes of a fixed pattern (byte i is (i * 7 + i // 251) % 256)
  /missing         a 404 status with the body "<html>no such page</html>"
  /cut/N/SENT      announces N bytes, sends the first SENT of them, then closes
  /agent           the request's User-Agent header as the body
  /redirect        a 302 to /body/10
  /late/N          waits N seconds, then sends the body "late"
  /close           reads the request and closes without any answer
  /forever         a body without a length that never ends (until the client goes)
  /drip            a body without a length at 2 bytes a second (for at most 120 s)
  /quit            ends the server
"""

import http.server
import os
import socketserver
import sys
import time


def pattern(count):
    return bytes((i * 7 + i // 251) % 256 for i in range(count))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, announced=None, content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body) if announced is None else announced))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def do_GET(self):
        parts = self.path.strip("/").split("/")
        try:
            if parts[0] == "body" and len(parts) == 2:
                self.send_body(200, pattern(int(parts[1])))
            elif parts[0] == "missing":
                self.send_body(404, b"<html>no such page</html>", content_type="text/html")
            elif parts[0] == "cut" and len(parts) == 3:
                announced, sent = int(parts[1]), int(parts[2])
                self.send_body(200, pattern(announced)[:sent], announced=announced)
                self.close_connection = True
            elif parts[0] == "agent":
                self.send_body(200, self.headers.get("User-Agent", "").encode(), content_type="text/plain")
            elif parts[0] == "redirect":
                self.send_response(302)
                self.send_header("Location", "/body/10")
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif parts[0] == "late" and len(parts) == 2:
                time.sleep(float(parts[1]))
                self.send_body(200, b"late", content_type="text/plain")
            elif parts[0] == "close":
                self.close_connection = True
            elif parts[0] == "forever":
                self.send_response(200)
                self.send_header("Connection", "close")
                self.end_headers()
                chunk = pattern(65536)
                while True:
                    self.wfile.write(chunk)
                self.close_connection = True
            elif parts[0] == "unannounced" and len(parts) == 2:
                self.send_response(200)
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(pattern(int(parts[1])))
                self.close_connection = True
            elif parts[0] == "drip":
                self.send_response(200)
                self.send_header("Connection", "close")
                self.end_headers()
                for _ in range(240):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(0.5)
                self.close_connection = True
            elif parts[0] == "quit":
                self.send_body(200, b"bye")
                os._exit(0)
            else:
                self.send_body(400, b"bad request")
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    server = Server(("127.0.0.1", 0), Handler)
    sys.stdout.write("%d\n" % server.server_address[1])
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
