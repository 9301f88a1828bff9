#!/usr/bin/python3
"""A throwaway SMTP submission server for tests (Debian's python3-aiosmtpd).

Listens on 127.0.0.1 only. Offers implicit TLS on one port and STARTTLS on
another (either may be left out, and STARTTLS can be withheld), under a
certificate from a CA made for this run, and authenticates with the chosen
mechanisms among LOGIN, PLAIN and XOAUTH2. Every accepted message is captured
with its envelope as one JSON file in the capture folder:
  {"mail_from": ..., "rcpt_tos": [...], "data_b64": ..., "auth": "user",
   "mechanism": "PLAIN"|"LOGIN"|"XOAUTH2"|null}
where data is the message exactly as received (dot-stuffing removed).

Usage:
  smtp_server.py [--implicit-port N] [--starttls-port N] [--no-implicit]
                 [--no-starttls-port] [--no-starttls] [--auth LOGIN,PLAIN,XOAUTH2]
                 [--user U] [--password P] [--token T] [--capture DIR] [--no-capture]

A port of 0 (the default) picks a free one. Prints one JSON line when ready:
  {"implicit_port": N|null, "starttls_port": N|null, "ca_file": "...",
   "capture_dir": "...", "user": "...", "password": "...", "token": "..."}
then runs until standard input closes or SIGTERM/SIGINT, and removes what it made.
"""

import argparse
import asyncio
import base64
import json
import os
import shutil
import signal
import ssl
import sys
import tempfile
import threading

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_ca import make_certificates  # noqa: E402



class Handler:
    def __init__(self, args, capture_dir):
        self.args = args
        self.capture_dir = capture_dir
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        if self.args.no_capture:
            return "250 2.0.0 Message accepted"
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            "data_b64": base64.b64encode(envelope.original_content or b"").decode(),
            "auth": session.auth_data.decode() if isinstance(session.auth_data, bytes)
            else (session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword)
                  else session.auth_data),
            "mechanism": getattr(session, "mechanism", None),
        }
        path = os.path.join(self.capture_dir, "%06d.json" % self.count)
        with open(path + ".tmp", "w") as f:
            json.dump(record, f)
        os.rename(path + ".tmp", path)
        return "250 2.0.0 Message accepted"

    async def auth_XOAUTH2(self, server, args):
        if len(args) < 2:
            return AuthResult(success=False, handled=False, message="501 5.5.2 initial response required")
        try:
            raw = base64.b64decode(args[1], validate=True).decode()
        except Exception:
            return AuthResult(success=False, handled=False, message="501 5.5.2 Can't decode base64")
        fields = dict(p.split("=", 1) for p in raw.split("\x01") if "=" in p)
        user = fields.get("user", "")
        auth = fields.get("auth", "")
        if user == self.args.user and auth == "Bearer " + self.args.token:
            server.session.mechanism = "XOAUTH2"
            return AuthResult(success=True, auth_data=user)
        # Like the big providers: a JSON error in a challenge, then 535.
        await server.challenge_auth(json.dumps({"status": "401", "schemes": "bearer"}))
        return AuthResult(success=False, handled=False, message="535 5.7.8 Username and Password not accepted")


def authenticator(args):
    def check(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user and auth_data.password.decode() == args.password)
        if ok:
            session.mechanism = mechanism
        return AuthResult(success=ok, handled=False, auth_data=auth_data if ok else None)
    return check


async def main_async(args):
    work = tempfile.mkdtemp(prefix="smtp-server-")
    capture = args.capture or os.path.join(work, "capture")
    os.makedirs(capture, exist_ok=True)
    ca_file, crt, key = make_certificates(work)
    tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls.load_cert_chain(crt, key)

    handler = Handler(args, capture)
    mechanisms = {m.strip().upper() for m in args.auth.split(",") if m.strip()}
    exclude = [m for m in ("LOGIN", "PLAIN", "XOAUTH2") if m not in mechanisms]
    loop = asyncio.get_running_loop()

    def factory(starttls_offered):
        def make():
            return SMTP(handler, hostname="localhost", ident="mail-test-smtp",
                        tls_context=tls if starttls_offered else None,
                        require_starttls=starttls_offered,
                        auth_require_tls=starttls_offered,
                        auth_exclude_mechanism=exclude,
                        authenticator=authenticator(args),
                        data_size_limit=args.size_limit,
                        enable_SMTPUTF8=True)
        return make

    servers = []
    implicit_port = starttls_port = None
    if not args.no_implicit:
        s = await loop.create_server(factory(False), host="127.0.0.1", port=args.implicit_port, ssl=tls)
        servers.append(s)
        implicit_port = s.sockets[0].getsockname()[1]
    if not args.no_starttls_port:
        s = await loop.create_server(factory(not args.no_starttls), host="127.0.0.1", port=args.starttls_port)
        servers.append(s)
        starttls_port = s.sockets[0].getsockname()[1]

    print(json.dumps({"implicit_port": implicit_port, "starttls_port": starttls_port, "ca_file": ca_file,
                      "capture_dir": capture, "user": args.user, "password": args.password,
                      "token": args.token}), flush=True)

    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)

    def watch_stdin():
        try:
            sys.stdin.read()
        finally:
            loop.call_soon_threadsafe(stop.set)

    threading.Thread(target=watch_stdin, daemon=True).start()
    await stop.wait()
    for s in servers:
        s.close()
    shutil.rmtree(work, ignore_errors=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--implicit-port", type=int, default=0)
    p.add_argument("--starttls-port", type=int, default=0)
    p.add_argument("--no-implicit", action="store_true")
    p.add_argument("--no-starttls-port", action="store_true")
    p.add_argument("--no-starttls", action="store_true", help="the plain port does not offer STARTTLS")
    p.add_argument("--auth", default="LOGIN,PLAIN,XOAUTH2")
    p.add_argument("--user", default="alice@example.org")
    p.add_argument("--password", default="correct horse battery")
    p.add_argument("--token", default="smtp-access-token")
    p.add_argument("--capture", default="")
    p.add_argument("--no-capture", action="store_true", help="accept messages without keeping them")
    p.add_argument("--size-limit", type=int, default=256 * 1024 * 1024)
    args = p.parse_args()
    asyncio.run(main_async(args))


if __name__ == "__main__":
    main()
