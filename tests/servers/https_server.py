#!/usr/bin/env python3
"""Throwaway HTTPS server on 127.0.0.1 for tests.

It plays autoconfiguration hosts, DNS-over-HTTPS resolvers and an OAuth
provider (authorization and token endpoints). A test CA and a server
certificate for the given names are made per run in --dir.

    https_server.py --dir DIR --config routes.json --name a.test --name b.test

Prints "READY <port> <ca.pem>" on stdout once listening. Every request is
appended as one JSON line to DIR/requests.jsonl (method, host, path, headers,
body) so tests can check what the client sent.

routes.json: {"routes": [ROUTE, ...], "oauth": {...}}
  ROUTE: {"host": "autoconfig.x.test", "path": "/mail/config-v1.1.xml",
          "method": "GET", "body_contains": "...", "status": 200,
          "body": "...", "content_type": "text/xml", "delay_ms": 0}
  "body_base64" instead of "body" answers binary bytes (pictures).
  host, method, body_contains are optional; path matches the path without
  the query. The first matching route answers; none matching gives 404.
  "oauth": {"authorize_path": "/authorize", "token_path": "/token",
            "approve": true, "error": "access_denied",
            "tokens": [{...json...}, ...]}
  The authorization endpoint redirects (302) to the request's redirect_uri
  with a fresh code and the request's state (or with error=... when approve
  is false) and remembers the code challenge. The token endpoint checks an
  authorization_code grant against it (S256 of code_verifier, same
  redirect_uri, client_id) and answers the next entry of "tokens"; a
  refresh_token grant answers the next entry as well. A failed check answers
  400 {"error": "invalid_grant"}.
"""
import argparse
import base64
import hashlib
import http.server
import json
import os
import secrets
import ssl
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_ca import make_certificates  # noqa: E402


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


class State:
    def __init__(self, config, log_path):
        self.config = config
        self.log_path = log_path
        self.lock = threading.Lock()
        self.codes = {}
        self.token_index = 0


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TestHTTPS/1"

    def log_message(self, *args):
        pass

    def _body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length).decode("utf-8", "replace") if length else ""

    def _send(self, status, body, content_type="application/json", headers=None):
        data = body.encode() if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for k, v in (headers or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def _handle(self, method):
        st = self.server.state
        body = self._body() if method == "POST" else ""
        url = urllib.parse.urlsplit(self.path)
        host = (self.headers.get("Host") or "").split(":")[0]
        with st.lock:
            with open(st.log_path, "a") as f:
                f.write(json.dumps({"method": method, "host": host, "path": url.path, "query": url.query,
                                    "headers": {k.lower(): v for k, v in self.headers.items()},
                                    "body": body}) + "\n")
        oauth = st.config.get("oauth")
        if oauth and url.path == oauth.get("authorize_path", "/authorize"):
            return self._authorize(st, oauth, url)
        if oauth and url.path == oauth.get("token_path", "/token") and method == "POST":
            return self._token(st, oauth, body)
        for route in st.config.get("routes", []):
            if route.get("host") not in (None, host):
                continue
            if route.get("method", method) != method or route.get("path") != url.path:
                continue
            if route.get("body_contains") and route["body_contains"] not in body:
                continue
            if route.get("delay_ms"):
                time.sleep(route["delay_ms"] / 1000.0)
            body = (base64.b64decode(route["body_base64"]) if "body_base64" in route
                    else route.get("body", ""))
            return self._send(route.get("status", 200), body,
                              route.get("content_type", "application/json"))
        self._send(404, "not found", "text/plain")

    def _authorize(self, st, oauth, url):
        q = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        redirect = q.get("redirect_uri", "")
        if oauth.get("approve", True):
            code = secrets.token_urlsafe(12)
            with st.lock:
                st.codes[code] = q
            params = {"code": code, "state": q.get("state", "")}
        else:
            params = {"error": oauth.get("error", "access_denied"), "state": q.get("state", "")}
        self._send(302, "", "text/plain", {"Location": redirect + "?" + urllib.parse.urlencode(params)})

    def _token(self, st, oauth, body):
        form = dict(urllib.parse.parse_qsl(body, keep_blank_values=True))
        if form.get("grant_type") == "authorization_code":
            with st.lock:
                asked = st.codes.pop(form.get("code", ""), None)
            ok = (asked is not None
                  and asked.get("code_challenge_method") == "S256"
                  and b64url(hashlib.sha256(form.get("code_verifier", "").encode()).digest())
                  == asked.get("code_challenge")
                  and asked.get("redirect_uri") == form.get("redirect_uri")
                  and asked.get("client_id") == form.get("client_id"))
            if not ok:
                return self._send(400, json.dumps({"error": "invalid_grant"}))
        elif form.get("grant_type") != "refresh_token":
            return self._send(400, json.dumps({"error": "unsupported_grant_type"}))
        tokens = oauth.get("tokens", [])
        with st.lock:
            i = st.token_index
            st.token_index += 1
        if i >= len(tokens):
            return self._send(400, json.dumps({"error": "invalid_grant"}))
        entry = tokens[i]
        self._send(entry.get("status", 200), json.dumps(entry["body"]) if "body" in entry else json.dumps(entry))

    def do_GET(self):
        self._handle("GET")

    def do_POST(self):
        self._handle("POST")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dir", required=True)
    ap.add_argument("--config", required=True)
    ap.add_argument("--name", action="append", default=[])
    args = ap.parse_args()
    with open(args.config) as f:
        config = json.load(f)
    ca_pem, crt, key = make_certificates(args.dir, args.name or ["localhost"], ca_file="ca.pem",
                                         cert_file="server.pem")
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.state = State(config, os.path.join(args.dir, "requests.jsonl"))
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(crt, key)
    server.socket = ctx.wrap_socket(server.socket, server_side=True)
    print("READY %d %s" % (server.server_address[1], ca_pem), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
