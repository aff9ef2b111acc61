"""Shared pieces of the hardening checks: the Dirvane runner of the end-to-end
tests, a strict HTML parser, the rows of a page and the figures each check
prints."""

import html
import os
import re
import sys
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, os.path.join(HERE, "..", "server"))

from dirvane_run import BIN, TZ, Site, split_response  # noqa: E402,F401

try:
    import html5lib
except ImportError:
    # Debian's python3-html5lib, when the tests run under another Python.
    sys.path.append("/usr/lib/python3/dist-packages")
    try:
        import html5lib
    except ImportError:
        html5lib = None

NO_HTML5LIB = "html5lib is not installed (apt-get install python3-html5lib)"

# An access log record: time, process id, the record text.
RECORD = re.compile(rb"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{8}\] DIR=.*CODE=\d{3}\r\n$",
                    re.S)

ROW = re.compile(rb'<a href="([^"]*)">([^<]*)</a>')


def figures(check, **values):
    """Prints one line of a check's figures."""
    text = ", ".join("%s=%s" % (k.replace("_", " "), v) for k, v in values.items())
    print("\n[figures] %s: %s" % (check, text), file=sys.stderr, flush=True)


def strict_parse(body):
    """Parses the page with html5lib in strict mode: any parse error raises.
    The page frame opens with <html> and no document type by design, so a
    document type goes in front; everything else must parse without error."""
    parser = html5lib.HTMLParser(strict=True)
    parser.parse(b"<!DOCTYPE html>\n" + body, transport_encoding="shift_jis")


def listing_part(body):
    """The rows part of a page: between <pre> and </pre> (plain form) or the
    table element (table form)."""
    if b"<table" in body:
        return body.split(b"<table", 1)[1].split(b"</table>", 1)[0]
    return body.split(b"<pre>\n", 1)[1].split(b"</pre>", 1)[0]


def rows(body):
    """The (href, text) pair of every row; each row is one line."""
    found = []
    for line in listing_part(body).splitlines():
        if b"<a href" in line:
            match = ROW.search(line)
            assert match, "malformed row %r" % line[:200]
            found.append(match.groups())
    return found


def href_target(href):
    """The entry name an href points at: "./" taken off, percent-decoded."""
    if href.startswith(b"./"):
        href = href[2:]
    return urllib.parse.unquote_to_bytes(href)


def shown(name):
    """A name as the link text shows it, unescaped: control bytes as "?"."""
    return bytes(b"?"[0] if b < 0x20 or b == 0x7F else b for b in name)


def unescaped(text):
    return html.unescape(text.decode("latin-1")).encode("latin-1")


def response_body(out):
    """Checks the header's Content-Length against the body; returns the body."""
    head, body = split_response(out)
    lengths = [int(h.split(b":", 1)[1]) for h in head if h.lower().startswith(b"content-length:")]
    assert lengths == [len(body)], (head, len(body))
    return body
