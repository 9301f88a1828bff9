#!/usr/bin/env python3
"""A minimal IMAP client as a yardstick for the engine's refresh.

  baseline_refresh.py setup PORT CA USER PASSWORD COUNT SIZE
      appends COUNT messages of about SIZE bytes to INBOX.
  baseline_refresh.py refresh PORT CA USER PASSWORD REPETITIONS
      repeats the refresh exchange (TLS connect, LOGIN, SELECT, UID SEARCH
      ALL, UID FETCH of the 50 highest UIDs with UID FLAGS INTERNALDATE
      BODY.PEEK[], LOGOUT) and prints the wall time of each, in seconds, as
      a JSON list. No MIME parsing: bytes only.
"""
import imaplib
import json
import ssl
import sys
import time


def connect(port, ca, user, password):
    ctx = ssl.create_default_context(cafile=ca)
    m = imaplib.IMAP4_SSL("127.0.0.1", int(port), ssl_context=ctx)
    m.login(user, password)
    return m


def message(i, size):
    words = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor "
             "incididunt ut labore et dolore magna aliqua").split()
    text, n = [], 0
    while n < size // 2:
        line = " ".join(words[(i + k) % len(words)] for k in range(12))
        text.append(line)
        n += len(line) + 2
    plain = "\r\n".join(text)
    html = "<html><body>" + "".join("<p>%s</p>\r\n" % t for t in text) + "</body></html>"
    return ("From: Bench Sender <sender@example.com>\r\nTo: bob@example.com\r\n"
            "Subject: Benchmark message %d\r\nMessage-ID: <bench-%d@example.com>\r\n"
            "Date: Tue, 02 Jan 2024 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/alternative; boundary=b\r\n\r\n"
            "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n%s\r\n"
            "--b\r\nContent-Type: text/html; charset=utf-8\r\n\r\n%s\r\n--b--\r\n") % (i, i, plain, html)


def main():
    mode, port, ca, user, password = sys.argv[1:6]
    if mode == "setup":
        count, size = int(sys.argv[6]), int(sys.argv[7])
        m = connect(port, ca, user, password)
        total = 0
        for i in range(count):
            body = message(i, size).encode()
            total += len(body)
            m.append("INBOX", None, imaplib.Time2Internaldate(1704189600 + 60 * i), body)
        m.logout()
        print(json.dumps({"messages": count, "bytes": total}))
        return
    times = []
    for _ in range(int(sys.argv[6])):
        start = time.perf_counter()
        m = connect(port, ca, user, password)
        m.select("INBOX")
        typ, data = m.uid("SEARCH", None, "ALL")
        uids = sorted(int(u) for u in data[0].split())
        newest = ",".join(str(u) for u in reversed(uids[-50:]))
        typ, fetched = m.uid("FETCH", newest, "(UID FLAGS INTERNALDATE BODY.PEEK[])")
        assert sum(1 for f in fetched if isinstance(f, tuple)) == min(50, len(uids))
        m.logout()
        times.append(time.perf_counter() - start)
    print(json.dumps(times))


if __name__ == "__main__":
    main()
