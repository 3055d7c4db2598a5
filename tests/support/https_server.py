#!/usr/bin/python3
"""HTTPS server for tests: listens on 127.0.0.1 with the given certificate,
prints "PORT <n>" on its first output line and serves the files of --root.

Every request is logged as one JSON line in ROOT/../requests.log (method,
path, User-Agent, Cache-Control, Pragma) before it is answered. Paths:
  /<name>                      the file ROOT/<name> (percent-decoded); 404 when missing
  /redirect-https/<n>/<rest>   302 to https://127.0.0.1:PORT/<rest> after n more hops
  /redirect-http/<rest>        302 to http://127.0.0.1:PORT/<rest>
  /endless/<rest>              200 without a length, then bytes until the client goes
  /stall/<k>/<rest>            200 with the length of ROOT/<rest>, k bytes of it, then silence
The server ends when its standard input closes (the test is gone).
"""
import argparse
import http.server
import json
import os
import ssl
import sys
import threading
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def log_request_line(self):
        entry = {
            "method": self.command,
            "path": self.path,
            "agent": self.headers.get("User-Agent"),
            "cache_control": self.headers.get("Cache-Control"),
            "pragma": self.headers.get("Pragma"),
        }
        with self.server.log_lock:
            with open(self.server.log_path, "a") as f:
                f.write(json.dumps(entry) + "\n")

    def file_bytes(self, rest):
        name = urllib.parse.unquote(rest)
        path = os.path.normpath(os.path.join(self.server.root, name))
        if not path.startswith(self.server.root + os.sep) or not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def send_plain(self, status, body=b"", headers=()):
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def not_found(self):
        self.send_plain(404, b"<html><body>Not Found</body></html>", [("Content-Type", "text/html")])

    def do_GET(self):
        self.log_request_line()
        path = self.path.split("?", 1)[0]
        port = self.server.server_address[1]
        parts = path.lstrip("/").split("/")
        try:
            if parts[0] == "redirect-https":
                hops = int(parts[1])
                rest = "/".join(parts[2:])
                target = "/redirect-https/%d/%s" % (hops - 1, rest) if hops > 0 else "/" + rest
                self.send_plain(302, headers=[("Location", "https://127.0.0.1:%d%s" % (port, target))])
            elif parts[0] == "redirect-http":
                rest = "/".join(parts[1:])
                self.send_plain(302, headers=[("Location", "http://127.0.0.1:%d/%s" % (port, rest))])
            elif parts[0] == "endless":
                self.send_response(200)
                self.send_header("Connection", "close")
                self.end_headers()
                chunk = b"x" * 4096
                while True:
                    self.wfile.write(chunk)
            elif parts[0] == "stall":
                keep = int(parts[1])
                body = self.file_bytes("/".join(parts[2:]))
                if body is None:
                    return self.not_found()
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body[:keep])
                self.wfile.flush()
                while not self.server.stopping:
                    time.sleep(0.2)
            else:
                body = self.file_bytes(path.lstrip("/"))
                if body is None:
                    return self.not_found()
                self.send_plain(200, body, [("Content-Type", "application/octet-stream")])
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass


class Server(http.server.ThreadingHTTPServer):
    # Clients that give up on the handshake (an untrusted certificate, plain
    # http) are expected here, not worth a traceback.
    def handle_error(self, request, client_address):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    args = parser.parse_args()

    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = os.path.realpath(args.root)
    server.log_path = args.log
    server.log_lock = threading.Lock()
    server.stopping = False
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    # The handshake happens in the handler's thread: a client that gives up on
    # it (an untrusted certificate) never holds up the others.
    server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)

    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()
    server.stopping = True
    server.shutdown()


if __name__ == "__main__":
    main()
