#!/usr/bin/env python3
"""Stands in for the user's browser during a sign-in test.

    browser_standin.py --ca CA.pem [--favicon] [--log FILE] URL

Opens the authorization URL over HTTPS (trusting the test CA), follows the
provider's redirect to the loopback listener as a browser would, and writes
the pages it was shown to --log. With --favicon it first asks the listener
for "/favicon.ico", as browsers do, which must not end the sign-in.
"""
import argparse
import http.client
import ssl
import sys
import urllib.parse


def fetch(url, ctx):
    parts = urllib.parse.urlsplit(url)
    target = parts.path + ("?" + parts.query if parts.query else "")
    if parts.scheme == "https":
        conn = http.client.HTTPSConnection(parts.hostname, parts.port or 443, context=ctx, timeout=10)
    else:
        conn = http.client.HTTPConnection(parts.hostname, parts.port or 80, timeout=10)
    conn.request("GET", target or "/")
    resp = conn.getresponse()
    body = resp.read().decode("utf-8", "replace")
    location = resp.getheader("Location")
    conn.close()
    return resp.status, body, location


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ca", required=True)
    ap.add_argument("--favicon", action="store_true")
    ap.add_argument("--log")
    ap.add_argument("url")
    args = ap.parse_args()
    ctx = ssl.create_default_context(cafile=args.ca)
    url = args.url
    pages = []
    for _ in range(5):
        status, body, location = fetch(url, ctx)
        if status in (301, 302, 303, 307, 308) and location:
            target = urllib.parse.urlsplit(location)
            if args.favicon and target.scheme == "http":
                base = "%s://%s" % (target.scheme, target.netloc)
                pages.append(fetch(base + "/favicon.ico", ctx)[1])
            url = location
            continue
        pages.append(body)
        break
    if args.log:
        with open(args.log, "w") as f:
            f.write("\n".join(pages))
    return 0


if __name__ == "__main__":
    sys.exit(main())
