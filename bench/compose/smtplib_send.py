#!/usr/bin/python3
"""Sends one message file with Python's smtplib (STARTTLS, AUTH LOGIN) and
prints the wall time of the submission alone, in seconds, for the
benchmark's comparison. Usage: smtplib_send.py PORT CAFILE USER PASSWORD FILE FROM RCPT..."""
import smtplib
import ssl
import sys
import time


def main():
    port, cafile, user, password, path, sender = sys.argv[1:7]
    rcpts = sys.argv[7:]
    with open(path, "rb") as f:
        data = f.read()
    ctx = ssl.create_default_context(cafile=cafile)
    start = time.perf_counter()
    with smtplib.SMTP("localhost", int(port)) as s:
        s.starttls(context=ctx)
        s.login(user, password)
        s.sendmail(sender, rcpts, data)
    print("%.6f" % (time.perf_counter() - start))


main()
