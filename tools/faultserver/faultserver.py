#!/usr/bin/env python3
"""HTTPS server that misbehaves on request, for the download tests.

faultserver.py --pki DIR [--port N] [--cert trusted|untrusted|expired|otherhost] [--port-file FILE] [--hold SECONDS]
               [--root DIR [--faults FILE]] [--rate BYTES_PER_S] [--break-first-at FRACTION]

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
  /ranged/<size>/<after>        serves byte ranges (Accept-Ranges, a strong ETag, Last-Modified;
                                Range "bytes=N-" with If-Range answered 206 when the tag matches);
                                the first request for the path breaks off after <after> bytes
  /ranged-changed/<size>/<after> the same, but every answer carries a new ETag, so If-Range never
                                matches and a resumption gets the whole body (200)
  /ranged-drops/<size>/<step>   the same as /ranged, but every request breaks off <step> bytes
                                after where it started
  /norange/<size>/<after>       no ranges, no validator; the first request breaks off after
                                <after> bytes, later ones get the whole body
  /throttle/<bytes_per_s>/<rest> the answer for /<rest>, its bytes sent at that rate
  /zunor[/...]                  with --root: the product tree under DIR, folders as an index page
                                (one link per line), files whole or as ranges, at --rate; with
                                --break-first-at the first request of each file breaks off there
                                With --faults FILE (JSON, read afresh for every request; absent:
                                no faults) a path of the tree (escapes decoded, no trailing slash)
                                listed there answers as its entry says instead:
                                  {"fault": "status", "status": 500}   that status
                                  {"body": TEXT} / {"body_file": PATH} these bytes, whole
                                  {"size": N}                          N pattern bytes, whole
                                  {"fault": "drop"|"short"|"stall"|"chunked-cut", "after": N}
                                      the faults above, on the entry's body or the file's
                                  {"fault": "badlength"}  "Content-Length: banana", body, close
                                  {"fault": "drip", "interval_ms": N}  a byte per interval, for ever
                                  {"fault": "redirect-http"}  302 to the same path over http
                                  {"fault": "redirect-loop"}  302 to the same path, for ever
                                  "rate": N (with any of them)  this answer's bytes at N a second
                                  {"fault": "exit"}  the whole answer, then the server ends
                                  {"ranges": KIND, "after": N}  the file, its ranges answered as
                                      KIND says (see product())
  /_count?path=<path>           how many requests <path> has had (text)
  /_log?path=<path>             one line per request of <path>: "<status> <range or -> <body bytes sent>"
  /_reset                       forget all counts and logs

Every answer closes its connection: a client that finds a kept-alive connection closed repeats its
request on its own, which would blur the counts.
"""
import argparse
import json
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
        self.requests = {}

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
            self.requests.clear()

    def record(self, path, status, byte_range, sent):
        with self.lock:
            self.requests.setdefault(path, []).append("%d %s %d" % (status, byte_range or "-", sent))

    def log(self, path):
        with self.lock:
            return list(self.requests.get(path, []))


class Closed(Exception):
    """The client went away; nothing more to send."""


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        self.conn = None
        self.rate = self.server.rate  # bytes per second; 0 sends as fast as the line takes
        self.status = 0
        self.sent = 0  # body bytes
        self.range = None
        self.if_range = None
        self.count = 0
        self.paced_since, self.paced_bytes = None, 0

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
            self.range = self.header(head, "range")
            self.if_range = self.header(head, "if-range")
            counted = path not in ("/_count", "/_reset", "/_log")
            self.count = self.server.counts.add(path) if counted else 0
            try:
                self.dispatch(path, parsed.query)
            finally:
                if counted:
                    self.server.counts.record(path, self.status, self.range, self.sent)
                    print("GET %s status=%d range=%s sent=%d" % (path, self.status, self.range or "-", self.sent),
                          flush=True)
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
            if not self.rate:
                self.conn.sendall(data)
                return
            # Pieces of 1/20 s at the rate, each sent no earlier than the rate allows.
            piece = max(1, self.rate // 20)
            if self.paced_since is None:
                self.paced_since = time.monotonic()
            for i in range(0, len(data), piece):
                chunk = data[i:i + piece]
                due = self.paced_since + self.paced_bytes / self.rate
                delay = due - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                self.conn.sendall(chunk)
                self.paced_bytes += len(chunk)
        except OSError as e:
            raise Closed() from e

    def start(self, status, headers):
        self.status = status
        reason = {200: "OK", 206: "Partial Content", 302: "Found", 400: "Bad Request",
                  404: "Not Found"}.get(status, "Status")
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
            self.sent += piece
            start += piece
            length -= piece

    def send_file(self, path, start, length):
        with open(path, "rb") as f:
            f.seek(start)
            while length > 0:
                data = f.read(min(length, 65536))
                if not data:
                    raise Closed()
                self.send(data)
                self.sent += len(data)
                length -= len(data)

    def byte_range(self, size, etag):
        """(first, last) of a "Range: bytes=N-" or "bytes=N-M" request that may be answered with 206;
        else None."""
        if not self.range or not self.range.startswith("bytes="):
            return None
        first, dash, last = self.range[len("bytes="):].partition("-")
        if not dash or not first.isdigit() or (last and not last.isdigit()) or int(first) >= size:
            return None
        if self.if_range is not None and self.if_range != etag:
            return None  # another version: the whole body
        last = min(int(last), size - 1) if last else size - 1
        return (int(first), last) if int(first) <= last else None

    def ranged(self, size, etag, send_body, cut_after=None, ranges=True):
        """A 200 or 206 answer with range support; send_body(start, length) sends the bytes. With
        cut_after the connection breaks that many body bytes into the answer; with ranges False
        the server still says it serves ranges, but answers every request whole."""
        headers = [("Accept-Ranges", "bytes"), ("ETag", etag), ("Last-Modified", "Tue, 01 Jun 2021 10:00:00 GMT")]
        wanted = self.byte_range(size, etag) if ranges else None
        if wanted is None:
            self.start(200, headers + [("Content-Length", str(size))])
            start, length = 0, size
        else:
            start, length = wanted[0], wanted[1] - wanted[0] + 1
            self.start(206, headers + [("Content-Length", str(length)),
                                       ("Content-Range", "bytes %d-%d/%d" % (wanted[0], wanted[1], size))])
        if cut_after is not None and cut_after < length:
            send_body(start, cut_after)
            self.cut_connection()
            return
        send_body(start, length)

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
        elif kind in ("ranged", "ranged-changed", "ranged-drops") and num(1) is not None and num(2) is not None:
            size, after = num(1), num(2)
            count = self.count
            etag = '"%d-v%d"' % (size, count if kind == "ranged-changed" else 1)
            if kind == "ranged-drops":
                cut = after
            else:
                cut = after if count == 1 else None
            self.ranged(size, etag, self.send_pattern, cut)
        elif kind == "norange" and num(1) is not None and num(2) is not None:
            size, after = num(1), num(2)
            self.start(200, [("Content-Length", str(size))])
            if self.count == 1:
                self.send_pattern(0, min(size, after))
                self.cut_connection()
            else:
                self.send_pattern(0, size)
        elif kind == "throttle" and num(1) is not None:
            self.rate = num(1)
            self.dispatch("/" + "/".join(path.split("/")[3:]), query)
        elif kind == "zunor" and self.server.root:
            if not self.product_fault("/" + "/".join(seg).rstrip("/"), seg[1:]):
                self.product(seg[1:])
        elif kind == "_log":
            wanted = urllib.parse.parse_qs(query).get("path", [""])[0]
            body = "".join(line + "\n" for line in self.server.counts.log(wanted)).encode("ascii")
            self.answer(200, body, [("Content-Type", "text/plain")])
        elif kind == "_count":
            wanted = urllib.parse.parse_qs(query).get("path", [""])[0]
            self.answer(200, b"%d" % self.server.counts.get(wanted), [("Content-Type", "text/plain")])
        elif kind == "_reset":
            self.server.counts.reset()
            with self.server.counts.lock:
                self.server.range_breaks.clear()
            self.answer(200, b"0")
        else:
            self.answer(404, b"no such fault\n")

    def product(self, names, range_fault=None, after=0):
        """The product tree under --root: a folder as an index page, a file with range support.
        range_fault (from --faults) changes how a range of a file (a request for bytes from N > 0) is
        answered: "break-twice" breaks the first such request and its resumption <after> bytes in,
        "break-always" every one; "ignore" answers every request whole (200), though the answers
        say that ranges are served; "other-version" answers ranges with 206 of another version
        (another ETag, other bytes), whatever If-Range says."""
        if any(n in ("", ".", "..") or "\\" in n for n in names):
            self.answer(404, b"not found\n")
            return
        local = os.path.join(self.server.root, *names)
        if os.path.isdir(local):
            lines = ['<a href="%s">%s</a>' % (urllib.parse.quote(n), n) for n in sorted(os.listdir(local))
                     if os.path.isfile(os.path.join(local, n))]
            self.answer(200, ("<html><body>\n" + "\n".join(lines) + "\n</body></html>\n").encode("utf-8"),
                        [("Content-Type", "text/html")])
        elif os.path.isfile(local):
            stat = os.stat(local)
            etag = '"%x-%x"' % (stat.st_size, int(stat.st_mtime))
            cut = None
            # The first request of the file, whole or its first range.
            if self.server.break_first_at and self.count == 1 and (not self.range or self.range.startswith("bytes=0-")):
                cut = int(stat.st_size * self.server.break_first_at)
            send = lambda start, length: self.send_file(local, start, length)
            wanted = self.byte_range(stat.st_size, etag)
            if range_fault and wanted and wanted[0] > 0:
                path = "/zunor/" + "/".join(names)
                with self.server.counts.lock:
                    state = self.server.range_breaks.setdefault(path, {"breaks": 0, "next": None})
                    if range_fault == "break-always" or (
                            range_fault == "break-twice" and state["breaks"] < 2
                            and state["next"] in (None, wanted[0])):
                        cut = after
                        state["breaks"] += 1
                        state["next"] = wanted[0] + after
                if range_fault == "other-version":
                    self.if_range = None
                    etag = '"another-version"'
                    send = lambda start, length: self.send_other_version(local, start, length)
            self.ranged(stat.st_size, etag, send, cut, ranges=range_fault != "ignore")
        else:
            self.answer(404, b"not found\n")

    def send_other_version(self, path, start, length):
        with open(path, "rb") as f:
            f.seek(start)
            data = bytes(b ^ 0xFF for b in f.read(length))
        self.send(data)
        self.sent += len(data)

    def product_fault(self, path, names):
        """Answers path as --faults says, if it names it; False when the tree answers normally."""
        try:
            with open(self.server.faults, encoding="utf-8") as f:
                entry = json.load(f).get(path)
        except (TypeError, OSError, ValueError):
            entry = None
        if entry is None:
            return False
        local = os.path.join(self.server.root, *names)
        if "body" in entry:
            body = entry["body"].encode("utf-8", "surrogateescape")
        elif "body_file" in entry:
            with open(entry["body_file"], "rb") as f:
                body = f.read()
        elif "size" in entry:
            body = pattern(0, int(entry["size"]))
        elif os.path.isfile(local) and ".." not in names:
            with open(local, "rb") as f:
                body = f.read()
        else:
            body = b""
        fault = entry.get("fault")
        after = min(int(entry.get("after", 0)), len(body))
        if "rate" in entry:
            self.rate = int(entry["rate"])
        if "ranges" in entry:
            self.product(names, entry["ranges"], int(entry.get("after", 0)))
        elif fault == "status":
            self.answer(int(entry["status"]), b"status %d\n" % int(entry["status"]), [("Content-Type", "text/html")])
        elif fault == "redirect-http":
            self.answer(302, b"moved\n", [("Location", "http://%s%s" % (self.host, urllib.parse.quote(path)))])
        elif fault == "redirect-loop":
            self.answer(302, b"moved\n", [("Location", "https://%s%s" % (self.host, urllib.parse.quote(path)))])
        elif fault in ("drop", "short", "stall"):
            self.start(200, [("Content-Length", str(len(body)))])
            self.send(body[:after])
            self.sent += after
            if fault == "drop":
                self.cut_connection()
            elif fault == "stall":
                self.hold()
        elif fault == "chunked-cut":
            self.start(200, [("Transfer-Encoding", "chunked")])
            if after:
                self.send(b"%x\r\n" % after + body[:after] + b"\r\n")
            self.cut_connection()
        elif fault == "badlength":
            self.start(200, [("Content-Length", "banana")])
            self.send(body)
        elif fault == "drip":
            interval = int(entry.get("interval_ms", 1000)) / 1000.0
            self.start(200, [("Content-Length", str(len(body) + 10 ** 12))])
            while True:
                self.send(b"x")
                self.sent += 1
                time.sleep(interval)
        else:
            self.answer(200, body, [("Content-Type", "text/html")])
            self.sent += len(body)
            if fault == "exit":
                self.close()
                os._exit(0)
        return True

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
    ap.add_argument("--cert", choices=("trusted", "untrusted", "expired", "otherhost"), default="trusted")
    ap.add_argument("--port-file", help="also write the port here once listening")
    ap.add_argument("--hold", type=float, default=120.0, help="longest time a stalled answer holds its socket")
    ap.add_argument("--root", help="serve the product tree in this folder under /zunor")
    ap.add_argument("--faults", help="with --root: JSON file of per-path faults in the tree")
    ap.add_argument("--rate", type=int, default=0, help="bytes per second for every answer (0: unlimited)")
    ap.add_argument("--break-first-at", type=float, default=0.0,
                    help="with --root: the first request of each file breaks off at this fraction of it")
    args = ap.parse_args()

    name = "server" if args.cert == "trusted" else args.cert
    tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    tls.load_cert_chain(os.path.join(args.pki, name + ".crt"), os.path.join(args.pki, name + ".key"))

    server = Server(("127.0.0.1", args.port), Handler)
    server.tls = tls
    server.counts = Counts()
    server.range_breaks = {}  # path: how its ranges were broken so far
    server.hold_seconds = args.hold
    server.root = args.root
    server.faults = args.faults
    server.rate = args.rate
    server.break_first_at = args.break_first_at
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
