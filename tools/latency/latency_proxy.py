#!/usr/bin/env python3
"""A TCP proxy that makes a loopback server look like one across a slow link.

latency_proxy.py --target PORT --latency-ms MS [--port N] [--port-file FILE]

Listens on 127.0.0.1 (port 0 picks a free one; the port is written to --port-file once it listens)
and passes every connection on to 127.0.0.1:TARGET. What the client sends reaches the server MS
milliseconds after it arrived, in order; the server's answers come straight back. So every request,
and every flight of a TLS handshake, waits MS before its answer can start: a round trip of MS added
to what the server itself takes. TLS passes through untouched (the certificate stays the server's).
"""
import argparse
import collections
import os
import socket
import sys
import threading
import time

CHUNK = 256 * 1024


def close(sock):
    try:
        sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    sock.close()


class Link:
    """One client connection and its connection to the server."""

    def __init__(self, client, target, latency):
        self.client, self.latency = client, latency
        self.server = socket.create_connection(("127.0.0.1", target))
        for sock in (client, self.server):
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.queue = collections.deque()
        self.ready = threading.Condition()
        self.closed = False

    def start(self):
        for work in (self.receive, self.forward, self.answer):
            threading.Thread(target=work, daemon=True).start()

    def receive(self):
        """Client to queue: each piece with the time it may go on."""
        try:
            while True:
                data = self.client.recv(CHUNK)
                with self.ready:
                    self.queue.append((time.monotonic() + self.latency, data))
                    self.ready.notify()
                if not data:
                    return
        except OSError:
            with self.ready:
                self.queue.append((time.monotonic(), b""))
                self.ready.notify()

    def forward(self):
        """Queue to server, each piece when its time has come; an empty piece ends the link."""
        while True:
            with self.ready:
                while not self.queue:
                    self.ready.wait()
                due, data = self.queue.popleft()
            delay = due - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            if not data:
                self.end()
                return
            try:
                self.server.sendall(data)
            except OSError:
                self.end()
                return

    def answer(self):
        """Server to client, at once."""
        buffer = bytearray(CHUNK)
        view = memoryview(buffer)
        try:
            while True:
                n = self.server.recv_into(buffer)
                if not n:
                    break
                self.client.sendall(view[:n])
        except OSError:
            pass
        self.end()

    def end(self):
        with self.ready:
            if self.closed:
                return
            self.closed = True
        close(self.client)
        close(self.server)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--target", type=int, required=True)
    parser.add_argument("--latency-ms", type=float, required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    args = parser.parse_args()
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(64)
    port = listener.getsockname()[1]
    if args.port_file:
        with open(args.port_file + ".new", "w") as f:
            f.write(str(port))
        os.replace(args.port_file + ".new", args.port_file)
    print(port, flush=True)
    while True:
        client, _ = listener.accept()
        try:
            Link(client, args.target, args.latency_ms / 1000.0).start()
        except OSError as error:
            print(f"cannot reach the server: {error}", file=sys.stderr, flush=True)
            close(client)


if __name__ == "__main__":
    main()
