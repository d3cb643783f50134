#!/usr/bin/env python3
"""Wraps the help page into "LexorinHelp.mht": a MIME HTML document (multipart/related
with one quoted-printable text/html part), as browsers save web archives.

The boundary and headers are fixed, so the same page always gives the same bytes.

usage: make_help.py SOURCE_HTML OUTPUT_MHT
"""

import email.charset
import email.policy
import os
import sys
from email.mime.multipart import MIMEMultipart
from email.mime.text import MIMEText

BOUNDARY = "----=_LexorinHelp_Part_000_0001"


def build(html):
    doc = MIMEMultipart("related", boundary=BOUNDARY, type="text/html")
    doc["From"] = "<Saved by Lexorin>"
    doc["Subject"] = "Lexorin Help"
    doc.preamble = "This is a multi-part message in MIME format."
    charset = email.charset.Charset("utf-8")
    charset.body_encoding = email.charset.QP
    page = MIMEText(html, "html", charset)
    page["Content-Location"] = "file:///LexorinHelp.htm"
    del page["MIME-Version"]  # belongs to the document only
    doc.attach(page)
    # The document's own headers first, its content type last, as web archives have them.
    content_type = doc["Content-Type"]
    for name in ("Content-Type", "MIME-Version"):
        del doc[name]
    doc["MIME-Version"] = "1.0"
    doc["Content-Type"] = content_type
    return doc.as_bytes(policy=email.policy.SMTP)  # CRLF line ends, as MHT readers expect


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], encoding="utf-8") as f:
        html = f.read()
    data = build(html)
    tmp = argv[2] + ".part"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
