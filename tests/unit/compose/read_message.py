#!/usr/bin/python3
"""Reads one message file with Python's standard email package (policy.default)
and prints what a mail reader would see as JSON: headers in order, the MIME
tree, decoded text and attachment bytes (hex)."""
import json
import sys
from email import policy
from email.parser import BytesParser


def describe(part):
    node = {
        "content_type": part.get_content_type(),
        "params": {k: v for k, v in part.get_params()[1:]} if part.get_params() else {},
        "charset": part.get_content_charset(),
        "disposition": part.get_content_disposition(),
        "filename": part.get_filename(),
        "defects": [type(d).__name__ for d in part.defects],
    }
    if part.is_multipart():
        node["parts"] = [describe(p) for p in part.iter_parts()]
    elif part.get_content_maintype() == "text" and part.get_content_disposition() != "attachment":
        node["text"] = part.get_content()
    else:
        node["bytes_hex"] = part.get_payload(decode=True).hex()
    return node


def main():
    with open(sys.argv[1], "rb") as f:
        raw = f.read()
    msg = BytesParser(policy=policy.default).parsebytes(raw)
    out = {
        "header_names": list(msg.keys()),
        "headers": {k: str(v) for k, v in msg.items()},
        "from": [{"name": a.display_name, "addr": a.addr_spec} for a in msg["From"].addresses] if msg["From"] else [],
        "to": [{"name": a.display_name, "addr": a.addr_spec} for a in msg["To"].addresses] if msg["To"] else [],
        "cc": [{"name": a.display_name, "addr": a.addr_spec} for a in msg["Cc"].addresses] if msg["Cc"] else [],
        "subject": str(msg["Subject"]) if msg["Subject"] is not None else None,
        "tree": describe(msg),
        "crlf_only": b"\n" not in raw.replace(b"\r\n", b""),
        "ascii_only": all(b < 128 for b in raw),
    }
    # Raw 8-bit header bytes come back as surrogate escapes; show them as U+FFFD.
    text = json.dumps(out, ensure_ascii=False)
    sys.stdout.write(text.encode("utf-8", "surrogateescape").decode("utf-8", "replace"))


main()
