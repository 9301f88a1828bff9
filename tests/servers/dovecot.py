#!/usr/bin/env python3
"""A throwaway Dovecot IMAP server for tests.

Listens on 127.0.0.1 only, on a free port, with implicit TLS (IMAPS) under a
certificate from a test CA made for this run, one passwd-file user, and
Maildir storage in a temporary folder holding INBOX, Sent, Drafts, Archive,
Trash and Junk. Dovecot advertises MOVE and UIDPLUS by default.

Usage:
  dovecot.py [--user U] [--password P] [--token T]

Prints one JSON line once the server accepts connections:
  {"port": N, "ca_file": "...", "dir": "...", "user": "...", "password": "...",
   "token": "...", "log": "..."}
then runs until its standard input closes or it gets SIGTERM/SIGINT, and
removes everything it made.
"""

import argparse
import grp
import json
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_ca import make_certificates  # noqa: E402



def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepting(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


CONFIG = """\
base_dir = {d}/run
state_dir = {d}/state
log_path = {d}/dovecot.log
listen = 127.0.0.1
protocols = imap
ssl = required
ssl_cert = <{d}/server.crt
ssl_key = <{d}/server.key
ssl_min_protocol = TLSv1.2
auth_mechanisms = plain login xoauth2
auth_failure_delay = 0
disable_plaintext_auth = yes
first_valid_uid = {uid}
first_valid_gid = {gid}
{identity}
mail_location = maildir:{d}/mail/%n
passdb {{
  driver = passwd-file
  args = scheme=PLAIN {d}/passwd.%{{mech}}
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={d}/home/%n
}}
service imap-login {{
  inet_listener imap {{
    port = 0
  }}
  inet_listener imaps {{
    address = 127.0.0.1
    port = {port}
    ssl = yes
  }}
}}
protocol imap {{
  mail_max_userip_connections = 200
}}
namespace inbox {{
  inbox = yes
  separator = /
  mailbox Drafts {{
    auto = create
    special_use = \\Drafts
  }}
  mailbox Sent {{
    auto = create
    special_use = \\Sent
  }}
  mailbox Archive {{
    auto = create
    special_use = \\Archive
  }}
  mailbox Junk {{
    auto = create
    special_use = \\Junk
  }}
  mailbox Trash {{
    auto = create
    special_use = \\Trash
  }}
}}
"""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--user", default="alice")
    ap.add_argument("--password", default="correct horse battery")
    ap.add_argument("--token", default="test-access-token")
    args = ap.parse_args()

    d = tempfile.mkdtemp(prefix="zarn-dovecot-")
    os.chmod(d, 0o755)
    proc = None
    try:
        ca_crt, _, _ = make_certificates(d)
        if os.geteuid() == 0:
            # Mail processes may not run as root: use nobody for the mailbox owner.
            pw = pwd.getpwnam("nobody")
            uid, gid = pw.pw_uid, pw.pw_gid
            identity = ""
            auth_group = grp.getgrnam("dovecot").gr_gid
        else:
            uid, gid = os.getuid(), os.getgid()
            name = pwd.getpwuid(uid).pw_name
            identity = ("default_internal_user = {0}\ndefault_login_user = {0}\n"
                        "default_internal_group = {1}\n").format(name, grp.getgrgid(gid).gr_name)
            auth_group = gid
        for sub in ("run", "state", "mail", "home"):
            os.makedirs(os.path.join(d, sub), exist_ok=True)
        for sub in ("mail", "home"):
            os.chown(os.path.join(d, sub), uid, gid) if os.geteuid() == 0 else None
        # passwd-file per mechanism: passwords for PLAIN/LOGIN, the token for XOAUTH2.
        for mech, secret in (("PLAIN", args.password), ("LOGIN", args.password), ("XOAUTH2", args.token)):
            path = os.path.join(d, "passwd." + mech)
            with open(path, "w") as f:
                f.write("{}:{{PLAIN}}{}\n".format(args.user, secret))
            os.chmod(path, 0o640)
            if os.geteuid() == 0:
                os.chown(path, 0, auth_group)

        port = None
        for _attempt in range(5):
            port = free_port()
            with open(os.path.join(d, "dovecot.conf"), "w") as f:
                f.write(CONFIG.format(d=d, port=port, uid=uid, gid=gid, identity=identity))
            proc = subprocess.Popen(["dovecot", "-c", os.path.join(d, "dovecot.conf"), "-F"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline and proc.poll() is None and not accepting(port):
                time.sleep(0.02)
            if proc.poll() is None and accepting(port):
                break
            if proc.poll() is None:
                proc.terminate()
                proc.wait()
            proc = None
        if proc is None:
            log = os.path.join(d, "dovecot.log")
            sys.stderr.write("dovecot did not start\n")
            if os.path.exists(log):
                sys.stderr.write(open(log).read())
            return 1

        print(json.dumps({"port": port, "ca_file": ca_crt, "dir": d, "user": args.user,
                          "password": args.password, "token": args.token,
                          "log": os.path.join(d, "dovecot.log")}), flush=True)

        stop = threading.Event()
        signal.signal(signal.SIGTERM, lambda *_: stop.set())
        signal.signal(signal.SIGINT, lambda *_: stop.set())

        def watch_stdin():
            try:
                while sys.stdin.buffer.read(4096):
                    pass
            except OSError:
                pass
            stop.set()

        threading.Thread(target=watch_stdin, daemon=True).start()
        while not stop.is_set() and proc.poll() is None:
            stop.wait(0.2)
        return 0
    finally:
        if proc is not None and proc.poll() is None:
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        shutil.rmtree(d, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
