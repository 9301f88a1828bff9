#!/usr/bin/env python3
"""An IMAPS server on 127.0.0.1 that misbehaves once a client has logged in.

It greets, answers the first command (the log-in) with OK, and answers every
later command in the way --mode names, forever:
  drip   one byte of an untagged line every --interval seconds
  flood  untagged "* OK" lines as fast as the client takes them

The certificate comes from a certificate authority made for this run
(test_ca.py); clients trust its file.

Usage:
  stalling_imap.py --mode drip|flood [--interval SECONDS]

Prints one JSON line once it listens:
  {"port": N, "ca_file": "...", "dir": "..."}
then runs until its standard input closes, and removes what it made.
"""

import argparse
import json
import os
import shutil
import socket
import ssl
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_ca import make_certificates  # noqa: E402


def read_line(conn):
    line = b""
    while not line.endswith(b"\r\n"):
        chunk = conn.recv(1)
        if not chunk:
            raise ConnectionError("closed")
        line += chunk
    return line.decode("latin-1")


def serve(conn, mode, interval):
    try:
        conn.sendall(b"* OK ready\r\n")
        tag = read_line(conn).split(" ", 1)[0]
        conn.sendall(tag.encode() + b" OK Logged in\r\n")
        read_line(conn)
        if mode == "drip":
            conn.sendall(b"* OK ")
            while True:
                conn.sendall(b"x")
                time.sleep(interval)
        else:
            block = b"* OK still working\r\n" * 512
            while True:
                conn.sendall(block)
    except (OSError, ConnectionError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mode", choices=("drip", "flood"), required=True)
    ap.add_argument("--interval", type=float, default=0.2)
    args = ap.parse_args()

    d = tempfile.mkdtemp(prefix="zarn-stalling-imap-")
    try:
        ca, crt, key = make_certificates(d)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(crt, key)
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", 0))
        listener.listen(16)

        def accept_loop():
            while True:
                try:
                    raw, _ = listener.accept()
                except OSError:
                    return
                def handshake_and_serve(raw=raw):
                    try:
                        conn = context.wrap_socket(raw, server_side=True)
                    except (OSError, ssl.SSLError):
                        raw.close()
                        return
                    serve(conn, args.mode, args.interval)
                threading.Thread(target=handshake_and_serve, daemon=True).start()

        threading.Thread(target=accept_loop, daemon=True).start()
        print(json.dumps({"port": listener.getsockname()[1], "ca_file": ca, "dir": d}),
              flush=True)
        try:
            while sys.stdin.buffer.read(4096):
                pass
        except OSError:
            pass
        listener.close()
        return 0
    finally:
        shutil.rmtree(d, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
