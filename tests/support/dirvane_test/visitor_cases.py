"""The visitor's own options (order, filter, JSON, ETag and 304): a site's
folders and the cases every server runs on them. The cases run behind
lighttpd with Dirvane as a CGI program (tests/server) and behind nginx with
Dirvane as a FastCGI server (tests/fastcgi)."""

import datetime
import json
import os
import re
import urllib.parse

from .files import write
from .programs import SOURCE

COMMON_INI = "[index]\ncharset=UTF-8\n"
BASE_TIME = 1_100_000_000  # 2004-11-09
# name, size, seconds after BASE_TIME (with a fraction, for the milliseconds)
FILES = [
    (b"b10.txt", 300, 100.25),
    (b"b2.txt", 50, 300.5),
    (b"a.md", 1000, 200.0),
    ("日本語ファイル.txt".encode(), 7, 50.125),
    ("Ünïcode.TXT".encode(), 20, 400.0),
    (b"<i>mark\"up'.html", 5, 250.0),
    (b"c.tar.gz", 9999, 150.0),
    (b"bad\xffbyte.dat", 3, 350.0),
    (b"x" * 200 + b".txt", 1, 10.0),
]
FOLDERS = [(b"zdir", 500.0), (b"Adir", 20.0), (b"dir 10", 30.0)]
HIDDEN = [b"hidden.bak", b"notes.log"]
# Each column and direction, and the "sort" key whose order it must give.
PAIRS = [("N", "A", "name"), ("N", "D", "rname"), ("M", "A", "time"), ("M", "D", "rtime"),
         ("S", "A", "size"), ("S", "D", "rsize"), ("E", "A", "ext"), ("E", "D", "rext"),
         ("T", "A", "type"), ("T", "D", "type")]
QUERIES = ["C=S&O=D", "C=M;O=D", "q=b", "format=json", "q=%zz", "C=N&C=S&O=D&O=A",
           "q=" + "a" * 400, "format=json&q=%3Cscript%3E", "q=%E6%97%A5"]


def fill(folder, conf):
    folder = os.fsencode(folder)
    write(os.path.join(folder, b"config.index"), conf)
    for name, size, offset in FILES:
        path = write(os.path.join(folder, name), b"f" * size)
        os.utime(path, ns=(int((BASE_TIME + offset) * 1e9),) * 2)
    for name in HIDDEN:
        write(os.path.join(folder, name), b"hidden")
    for name, offset in FOLDERS:
        os.makedirs(os.path.join(folder, name))
        os.utime(os.path.join(folder, name), ns=(int((BASE_TIME + offset) * 1e9),) * 2)


def fill_site(docroot):
    fill(os.path.join(docroot, "off"), "")
    fill(os.path.join(docroot, "on"), "[index]\nvisitor=1\n[type]\n.txt=text\n.md=text\n"
         ".gz=archive\n")
    # The shipped modern style, the switch on there, chosen by the folder.
    fill(os.path.join(docroot, "modern"), "[index]\nstyle=modern\n" + modern_style())
    for key in sorted({key for _, _, key in PAIRS}):
        fill(os.path.join(docroot, "sort-" + key),
             "[index]\nsort=%s\n[type]\n.txt=text\n.md=text\n.gz=archive\n" % key)


def modern_style():
    """The [modern] section of the sample Dirvane.ini."""
    with open(os.path.join(SOURCE, "dist", "Dirvane.ini"), encoding="utf-8") as f:
        text = f.read()
    section = text[text.index("\n[modern]\n") + 1:]
    return section[:section.index("\n[")] + "\n"


def entry_hrefs(body, folder):
    """The entries' hrefs of a plain listing, after the heading's path links."""
    hrefs = [h.decode() for h in re.findall(rb'<a href="([^"]*)"', body)]
    heading = folder.strip("/").count("/") + 2
    return hrefs[heading:]


class VisitorCases:
    """Needs `fetch(path, headers)` returning a client.Response and
    `docroot`. lighttpd answers a query holding %00 with 400 itself, so
    Dirvane never sees one there (`nul_reaches_program`)."""

    nul_reaches_program = True

    def test_switch_off_leaves_the_response_as_it_is_whatever_the_query(self):
        plain = self.fetch("/off/")
        self.assertEqual(plain.status, 200)
        queries = QUERIES + (["q=%00", "q=b%00&C=S"] if self.nul_reaches_program else [])
        for query in queries:
            for headers in ({}, {"Accept": "application/json"},
                            {"If-None-Match": "*"}):
                r = self.fetch("/off/?" + query, headers)
                self.assertEqual((r.status, r.body), (200, plain.body), (query, headers))
                self.assertEqual(r.headers["content-type"], "text/html")
                self.assertNotIn("etag", r.headers)
                self.assertNotIn("vary", r.headers)

    def test_each_column_lists_in_the_order_of_its_sort_setting(self):
        orders = set()
        for column, direction, key in PAIRS:
            want = entry_hrefs(self.fetch("/sort-%s/" % key).body, "/sort-%s/" % key)
            for sep in ("&", ";"):
                got = self.fetch("/on/?C=%s%sO=%s" % (column, sep, direction))
                self.assertEqual(got.status, 200)
                self.assertEqual(entry_hrefs(got.body, "/on/"), want, (column, direction))
            orders.add(tuple(want))
            self.assertEqual(len(want), len(FILES) + len(FOLDERS))
        self.assertGreaterEqual(len(orders), 8)
        # Folders first; the files by size, largest first.
        listing = json.loads(self.fetch("/on/?C=S&O=D&format=json").body)["entries"]
        types = [e["type"] for e in listing]
        self.assertEqual(types, ["dir"] * len(FOLDERS) + ["file"] * len(FILES))
        sizes = [e["size"] for e in listing if e["type"] == "file"]
        self.assertEqual(sizes, sorted(sizes, reverse=True))

    def test_modern_style_heads_sort_and_its_form_filters(self):
        def head(body, cls):
            m = re.search(rb'<th class="' + cls + rb'"( aria-sort="(\w+)")?>(.*?)</th>', body)
            self.assertIsNotNone(m, body[:3000])
            return (m.group(2) or b"").decode(), m.group(3).decode()

        page = self.fetch("/modern/").body
        # The settings' order (name) is the column shown.
        self.assertEqual(head(page, b"n"), ("ascending", '<a href="?C=N&amp;O=D" rel="nofollow">'
                                            'Name <span role="img" aria-label="(ascending)">'
                                            '&#9650;</span></a>'))
        self.assertEqual(head(page, b"s"), ("", '<a href="?C=S&amp;O=A" rel="nofollow">Size</a>'))
        # Click "Size", then again.
        page = self.fetch("/modern/?C=S&O=A").body
        self.assertEqual(head(page, b"s")[0], "ascending")
        self.assertIn('href="?C=S&amp;O=D"', head(page, b"s")[1])
        self.assertEqual(head(page, b"n"), ("", '<a href="?C=N&amp;O=A" rel="nofollow">Name</a>'))
        self.assertEqual(self.order(page), entry_hrefs(self.fetch("/sort-size/").body,
                                                       "/sort-size/"))
        page = self.fetch("/modern/?C=S&O=D").body
        self.assertEqual(head(page, b"s")[0], "descending")
        self.assertIn('aria-label="(descending)">&#9660;', head(page, b"s")[1])
        self.assertEqual(self.order(page), entry_hrefs(self.fetch("/sort-rsize/").body,
                                                       "/sort-rsize/"))
        # The form keeps the order, shows the text escaped and the count.
        page = self.fetch("/modern/?C=M&O=D&q=%3Cscript%3E%22x").body
        self.assertIn(b'value="&lt;script&gt;&quot;x"', page)
        self.assertIn(b'<input type="hidden" name="C" value="M">'
                      b'<input type="hidden" name="O" value="D">', page)
        self.assertIn(b">0 entries</output>", page)
        self.assertNotIn(b"<script>", page)
        page = self.fetch("/modern/?q=B").body
        self.assertIn(b">3 entries</output>", page)  # b10.txt, b2.txt, bad?byte.dat
        self.assertIn(b'href="?C=S&amp;O=A&amp;q=B"', page)

    @staticmethod
    def order(body):
        """The entries' hrefs of a modern page: not the heading's, not the sort links."""
        return [h for h in entry_hrefs(body, "/modern/") if not h.startswith("?")]

    def filtered(self, query):
        r = self.fetch("/on/?format=json&q=" + query)
        self.assertEqual(r.status, 200, query)
        return sorted(e["name"] for e in json.loads(r.body)["entries"])

    def test_filter_by_name(self):
        quote = urllib.parse.quote
        self.assertEqual(self.filtered(quote("日本語")), ["日本語ファイル.txt"])
        self.assertEqual(self.filtered(quote("ÜNÏ")), ["Ünïcode.TXT"])
        self.assertEqual(self.filtered("TXT"), sorted(
            ["b10.txt", "b2.txt", "日本語ファイル.txt", "Ünïcode.TXT", "x" * 200 + ".txt"]))
        self.assertEqual(self.filtered(quote("<i>mark\"up'")), ["<i>mark\"up'.html"])
        self.assertEqual(self.filtered("DIR"), ["Adir", "dir 10", "zdir"])
        self.assertEqual(self.filtered("dir+1"), ["dir 10"])
        # The ignore lists come first: a hidden name is never found.
        self.assertEqual(self.filtered("hidden"), [])
        self.assertEqual(self.filtered("config"), [])
        # A NUL byte leaves the filter out; an overlong value is cut.
        everything = self.filtered("")
        self.assertEqual(len(everything), len(FILES) + len(FOLDERS))
        if self.nul_reaches_program:
            self.assertEqual(self.filtered("b%00"), everything)
        self.assertEqual(self.filtered("x" * 300), [])
        self.assertEqual(self.filtered("x" * 200), ["x" * 200 + ".txt"])
        # The HTML listing holds only the matches, and nothing of the query.
        r = self.fetch("/on/?q=" + quote("<i>"))
        self.assertEqual(entry_hrefs(r.body, "/on/"), ["%3Ci%3Emark%22up'.html"])
        self.assertNotIn(b"<i>", r.body)

    def test_json_entry_by_entry(self):
        for path, headers in (("/on/?format=json", {}),
                              ("/on/", {"Accept": "application/json"})):
            r = self.fetch(path, headers)
            self.assertEqual(r.status, 200)
            self.assertEqual(r.headers["content-type"], "application/json; charset=utf-8")
            self.assertEqual(int(r.headers["content-length"]), len(r.body))
            self.assertEqual("vary" in r.headers, "format" not in path)
            listing = json.loads(r.body.decode("utf-8"))
            self.assertEqual(listing["path"], "/on/")
            html = self.fetch("/on/")
            self.assertEqual("vary" in html.headers, True)
            self.assertEqual([e["href"] for e in listing["entries"]],
                             entry_hrefs(html.body, "/on/"))
            folder = os.path.join(os.fsencode(self.docroot), b"on")
            expected = {name.decode("utf-8", "replace"): name for name, _, _ in FILES}
            expected.update({name.decode(): name for name, _ in FOLDERS})
            self.assertEqual(sorted(e["name"] for e in listing["entries"]), sorted(expected))
            for e in listing["entries"]:
                raw = expected[e["name"]]
                st = os.stat(os.path.join(folder, raw))
                self.assertEqual(e["mtime"], self.iso(st.st_mtime_ns), e)
                self.assertEqual(urllib.parse.unquote_to_bytes(e["href"]).rstrip(b"/"), raw)
                if e["type"] == "dir":
                    self.assertNotIn("size", e)
                    self.assertTrue(e["href"].endswith("/"))
                    continue
                self.assertEqual(e["type"], "file")
                self.assertEqual(e["size"], st.st_size)
                got = self.fetch("/on/" + e["href"])
                self.assertEqual((got.status, got.body), (200, b"f" * st.st_size), e)
        self.assertIn("bad\ufffdbyte.dat", expected)

    @staticmethod
    def iso(ns):
        ms = ns // 1_000_000
        t = datetime.datetime.fromtimestamp(ms // 1000, datetime.timezone.utc)
        return t.strftime("%Y-%m-%dT%H:%M:%S") + ".%03dZ" % (ms % 1000)

    def test_etag_and_the_304_round_trip(self):
        for path in ("/on/", "/on/?format=json", "/on/?C=S&O=D&q=b"):
            first = self.fetch(path)
            tag = first.headers["etag"]
            self.assertRegex(tag, r'^"[0-9a-f]{16}"$')
            again = self.fetch(path, {"If-None-Match": tag})
            self.assertEqual(again.status, 304, path)
            self.assertEqual(again.body, b"")
            self.assertEqual(again.headers["etag"], tag)
            for other in ('"0000000000000000"', 'W/"x", ' + tag.upper()):
                self.assertEqual(self.fetch(path, {"If-None-Match": other}).status, 200)
            self.assertEqual(self.fetch(path, {"If-None-Match": 'W/"1", W/' + tag}).status, 304)
        self.assertNotEqual(self.fetch("/on/").headers["etag"],
                            self.fetch("/on/?format=json").headers["etag"])
