"""Reading a listing page: its links, the rows of its listing part, and a
strict HTML parser."""

import html
import html.parser
import re
import sys
import urllib.parse

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


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs = []

    def handle_starttag(self, tag, attrs):
        if tag == "a":
            self.hrefs.append(dict(attrs)["href"])


def hrefs(body):
    """Every link's href of a Shift_JIS page, in order."""
    parser = Links()
    parser.feed(body.decode("shift_jis", "replace"))
    return parser.hrefs


# A row's link: its href and its text.
ROW = re.compile(rb'<a href="([^"]*)">([^<]*)</a>')


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
