#!/usr/bin/python3
"""Reads one saved message with Python's email parser and prints what a
mail program would show as JSON: subject, from, the recipient addresses, the
text body, the attachment's name and size, and whether every line of the
raw message ends in CRLF. With a second argument the attachment's bytes are
written to that file.
Usage: parse_mail.py MESSAGE [ATTACHMENT_OUT]"""
import email
import email.policy
import json
import sys
from email.utils import getaddresses

raw = open(sys.argv[1], "rb").read()
msg = email.message_from_bytes(raw, policy=email.policy.default)
out = {
    "subject": str(msg["subject"]),
    "from": str(msg["from"]),
    "to": [a for _, a in getaddresses([str(v) for v in msg.get_all("to", [])])],
    "crlf": raw.replace(b"\r\n", b"").find(b"\n") < 0 and raw.replace(b"\r\n", b"").find(b"\r") < 0,
    "defects": [str(d) for d in msg.defects],
}
body = msg.get_body(preferencelist=("plain",))
out["body"] = body.get_content() if body is not None else None
attachments = list(msg.iter_attachments())
out["attachments"] = len(attachments)
if attachments:
    data = attachments[0].get_payload(decode=True)
    out["filename"] = attachments[0].get_filename()
    out["attachment_size"] = len(data)
    if len(sys.argv) > 2:
        open(sys.argv[2], "wb").write(data)
print(json.dumps(out))
