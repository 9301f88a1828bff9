"""A certificate authority made per test run, and a server certificate it signs.

Used by the throwaway IMAP, SMTP and HTTPS servers; the tests trust only the
CA file through ZARN_MAIL_EXTRA_CA_FILE.
"""
import os
import subprocess


def _run(*cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(directory, names=("localhost",), ca_file="ca.crt", cert_file="server.crt",
                      key_file="server.key"):
    """Writes a CA and a server certificate for 127.0.0.1 and `names` into `directory`.

    Returns the paths (ca, certificate, key).
    """
    ca_key = os.path.join(directory, "ca.key")
    ca_crt = os.path.join(directory, ca_file)
    key = os.path.join(directory, key_file)
    crt = os.path.join(directory, cert_file)
    csr = os.path.join(directory, "server.csr")
    ext = os.path.join(directory, "server.ext")
    _run("openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", ca_key, "-out", ca_crt, "-days", "2", "-subj", "/CN=Mail Test CA",
         "-addext", "basicConstraints=critical,CA:TRUE",
         "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    _run("openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", key, "-out", csr, "-subj", "/CN=" + (names[0] if names else "127.0.0.1"))
    alt = ",".join(["IP:127.0.0.1"] + ["DNS:" + n for n in names])
    with open(ext, "w") as f:
        f.write("basicConstraints=CA:FALSE\n"
                "keyUsage=critical,digitalSignature\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=%s\n" % alt)
    _run("openssl", "x509", "-req", "-in", csr, "-CA", ca_crt, "-CAkey", ca_key, "-CAcreateserial",
         "-out", crt, "-days", "2", "-extfile", ext)
    return ca_crt, crt, key
