#!/usr/bin/env python3
"""HTTPS server that misbehaves on request, for the download tests.

faultserver.py --pki DIR [--port N] [--cert trusted|untrusted] [--port-file FILE] [--hold SECONDS]

Listens on 127.0.0.1 (port 0 picks a free one) and prints the port as the first line of stdout.
The path chooses the answer; trailing segments beyond those a fault reads are ignored, so a test
can tag its own paths (e.g. /status/404/mytest) and count them apart:

  /ok/<size>                    200, Content-Length, <size> pattern bytes (byte i = i % 251)
  /status/<n>                   status <n> with a short body
  /drop/<size>/<after>          full Content-Length, <after> bytes, then the TCP connection ends
                                without TLS's close
  /short/<size>/<sent>          full Content-Length, <sent> bytes, then a clean TLS close
  /chunked/<size>               chunked body, properly ended
  /chunked-cut/<size>/<after>   chunked body; after <after> bytes the TCP connection ends without
                                the last chunk and without TLS's close
  /chunked-short/<size>/<after> the same, but with a clean TLS close
  /badlength/<size>             "Content-Length: banana", then <size> bytes and a close
  /stall/<size>/<after>         full Content-Length, <after> bytes, then silence (socket held)
  /hang                         reads the request and never answers (socket held)
  /drip/<size>[/<interval_ms>]  full Content-Length, one byte per interval (default 1000 ms)
  /redirect-http/<rest>         302 to http://<host>/<rest>
  /redirect-https/<rest>        302 to https://<host>/<rest>
  /redirect-loop/<tag>          302 to itself, for ever
  /flaky/<n>/<tag>/<rest>       the first <n> requests for this path are closed unanswered, later
                                ones get the answer for /<rest>
  /_count?path=<path>           how many requests <path> has had (text)
  /_reset                       forget all counts

Every answer closes its connection: a client that finds a kept-alive connection closed repeats its
request on its own, which would blur the counts.
"""
import argparse
import os
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse

PATTERN = bytes(i % 251 for i in range(251 * 1024))  # 251 KiB; offsets wrap at 251 bytes


def pattern(start, length):
    out = bytearray()
    offset = start % 251
    while length > 0:
        piece = PATTERN[offset:offset + min(length, len(PATTERN) - offset)]
        out += piece
        length -= len(piece)
        offset = 0
    return bytes(out)


class Counts:
    def __init__(self):
        self.lock = threading.Lock()
        self.by_path = {}

    def add(self, path):
        with self.lock:
            self.by_path[path] = self.by_path.get(path, 0) + 1
            return self.by_path[path]

    def get(self, path):
        with self.lock:
            return self.by_path.get(path, 0)

    def reset(self):
        with self.lock:
            self.by_path.clear()


class Closed(Exception):
    """The client went away; nothing more to send."""


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.conn = None

    def handle(self):
        try:
            self.request.settimeout(15)
            self.conn = self.server.tls.wrap_socket(self.request, server_side=True)
            head = self.read_head()
            if head is None:
                return
            line = head.split(b"\r\n", 1)[0].decode("latin-1")
            parts = line.split(" ")
            if len(parts) != 3:
                self.answer(400, b"bad request\n")
                return
            target = parts[1]
            self.host = self.header(head, "host") or "127.0.0.1:%d" % self.server.server_address[1]
            parsed = urllib.parse.urlsplit(target)
            path = parsed.path
            if path not in ("/_count", "/_reset"):
                self.server.counts.add(path)
            self.dispatch(path, parsed.query)
        except (ssl.SSLError, OSError, Closed):
            pass
        finally:
            self.close()

    # --- plumbing -------------------------------------------------------------------------------

    def read_head(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.conn.recv(4096)
            if not chunk:
                return None
            data += chunk
            if len(data) > 65536:
                return None
        return data.split(b"\r\n\r\n", 1)[0]

    @staticmethod
    def header(head, name):
        for line in head.split(b"\r\n")[1:]:
            key, _, value = line.decode("latin-1").partition(":")
            if key.strip().lower() == name:
                return value.strip()
        return None

    def send(self, data):
        try:
            self.conn.sendall(data)
        except OSError as e:
            raise Closed() from e

    def start(self, status, headers):
        reason = {200: "OK", 302: "Found", 400: "Bad Request", 404: "Not Found"}.get(status, "Status")
        lines = ["HTTP/1.1 %d %s" % (status, reason), "Connection: close", "Content-Type: application/octet-stream"]
        lines += ["%s: %s" % kv for kv in headers]
        self.send(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def answer(self, status, body, headers=()):
        self.start(status, [("Content-Length", str(len(body)))] + list(headers))
        self.send(body)

    def send_pattern(self, start, length):
        while length > 0:
            piece = min(length, 65536)
            self.send(pattern(start, piece))
            start += piece
            length -= piece

    def reset_connection(self):
        # SO_LINGER 0: the close sends a reset instead of an orderly end.
        self.conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.conn.close()
        self.conn = None

    def cut_connection(self):
        # An end of the TCP stream without TLS's own close: the line simply broke.
        self.conn.shutdown(socket.SHUT_RDWR)
        self.conn.close()
        self.conn = None

    def hold(self):
        """Keeps the connection open and silent until the client leaves or the hold time ends."""
        deadline = time.monotonic() + self.server.hold_seconds
        self.conn.settimeout(0.2)
        while time.monotonic() < deadline:
            try:
                if not self.conn.recv(1):
                    return
            except socket.timeout:
                continue
            except (ssl.SSLError, OSError):
                return

    def close(self):
        if self.conn is None:
            return
        try:
            # Our close_notify goes out at once; the client's answer is not worth waiting for.
            self.conn.settimeout(0.5)
            self.conn = self.conn.unwrap()
        except (ssl.SSLError, OSError, ValueError):
            pass
        try:
            self.conn.close()
        except OSError:
            pass
        self.conn = None

    # --- faults ---------------------------------------------------------------------------------

    def dispatch(self, path, query):
        seg = [urllib.parse.unquote(s) for s in path.split("/")[1:]]
        kind = seg[0] if seg else ""
        num = lambda i, default=None: int(seg[i]) if len(seg) > i and seg[i].isdigit() else default
        if kind == "ok" and num(1) is not None:
            self.start(200, [("Content-Length", str(num(1)))])
            self.send_pattern(0, num(1))
        elif kind == "status" and num(1) is not None:
            self.answer(num(1), b"status %d\n" % num(1))
        elif kind in ("drop", "short", "stall") and num(1) is not None and num(2) is not None:
            self.start(200, [("Content-Length", str(num(1)))])
            self.send_pattern(0, min(num(1), num(2)))
            if kind == "drop":
                self.cut_connection()
            elif kind == "stall":
                self.hold()
        elif kind == "chunked" and num(1) is not None:
            self.chunked(num(1), num(1), finish=True)
        elif kind in ("chunked-cut", "chunked-short") and num(1) is not None and num(2) is not None:
            self.chunked(num(1), min(num(1), num(2)), finish=False)
            if kind == "chunked-cut":
                self.cut_connection()
        elif kind == "badlength":
            self.start(200, [("Content-Length", "banana")])
            self.send_pattern(0, num(1, 100))
        elif kind == "hang":
            self.hold()
        elif kind == "drip" and num(1) is not None:
            interval = num(2, 1000) / 1000.0
            self.start(200, [("Content-Length", str(num(1)))])
            for i in range(num(1)):
                self.send(pattern(i, 1))
                time.sleep(interval)
        elif kind in ("redirect-http", "redirect-https"):
            scheme = "http" if kind == "redirect-http" else "https"
            rest = path.split("/", 2)[2] if path.count("/") >= 2 else ""
            self.answer(302, b"moved\n", [("Location", "%s://%s/%s" % (scheme, self.host, rest))])
        elif kind == "redirect-loop":
            self.answer(302, b"moved\n", [("Location", "https://%s%s" % (self.host, path))])
        elif kind == "flaky" and num(1) is not None and len(seg) >= 4:
            if self.server.counts.get(path) <= num(1):
                self.reset_connection()
                return
            rest = "/" + "/".join(path.split("/")[4:])
            self.dispatch(rest, query)
        elif kind == "_count":
            wanted = urllib.parse.parse_qs(query).get("path", [""])[0]
            self.answer(200, b"%d" % self.server.counts.get(wanted), [("Content-Type", "text/plain")])
        elif kind == "_reset":
            self.server.counts.reset()
            self.answer(200, b"0")
        else:
            self.answer(404, b"no such fault\n")

    def chunked(self, size, send, finish):
        self.start(200, [("Transfer-Encoding", "chunked")])
        offset = 0
        while offset < send:
            piece = min(4096, send - offset)
            self.send(b"%x\r\n" % piece + pattern(offset, piece) + b"\r\n")
            offset += piece
        if finish:
            self.send(b"0\r\n\r\n")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64


def main():
    ap = argparse.ArgumentParser(description="HTTPS server with chosen faults, for tests")
    ap.add_argument("--pki", required=True, help="folder with server.crt/key and untrusted.crt/key")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--cert", choices=("trusted", "untrusted"), default="trusted")
    ap.add_argument("--port-file", help="also write the port here once listening")
    ap.add_argument("--hold", type=float, default=120.0, help="longest time a stalled answer holds its socket")
    args = ap.parse_args()

    name = "server" if args.cert == "trusted" else "untrusted"
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(os.path.join(args.pki, name + ".crt"), os.path.join(args.pki, name + ".key"))

    server = Server(("127.0.0.1", args.port), Handler)
    server.tls = tls
    server.counts = Counts()
    server.hold_seconds = args.hold
    port = server.server_address[1]
    print(port, flush=True)
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
