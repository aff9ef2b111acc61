"""End-to-end: a folder of UTF-8 names listed with charset=UTF-8 in the
common settings file: collator order, aligned columns, a page that is valid
UTF-8 throughout, and hrefs that name the exact bytes."""

import re
import unicodedata
import unittest
import urllib.parse

from dirvane_test.cgi_site import Site, split_response
from dirvane_test.programs import WINE

# The files in the collator's order (Japanese: symbols, then Latin letters
# with accents at the second level, then kana, then kanji), each with the
# text its link shows. "bad\xff\xfe.txt" is no UTF-8: its link text shows
# U+FFFD for each invalid byte.
FILES = [
    ("\U0001F600smile.txt".encode(), "\U0001F600smile.txt"),
    (b"bad\xff\xfe.txt", "bad\ufffd\ufffd.txt"),
    ("Café.txt".encode(), "Café.txt"),
    ("résumé.pdf".encode(), "résumé.pdf"),
    ("Zoë.txt".encode(), "Zoë.txt"),
    ("あいう.txt".encode(), "あいう.txt"),
    ("カタカナ.txt".encode(), "カタカナ.txt"),
    ("日本語.txt".encode(), "日本語.txt"),
]
FOLDER = ("写真".encode(), "写真")

ROW = re.compile(rb'<a href="([^"]*)">(.*?)</a>(.*)$')


def width(text):
    """Display columns: East Asian wide and full-width 2, marks 0."""
    cols = 0
    for ch in text:
        if unicodedata.category(ch) in ("Mn", "Me", "Cf"):
            continue
        cols += 2 if unicodedata.east_asian_width(ch) in ("W", "F") else 1
    return cols


def rows_of(body):
    rows = body.split(b"<pre>\n", 1)[1].split(b"</pre>", 1)[0]
    return [ROW.search(line).groups() for line in rows.splitlines()]


@unittest.skipIf(WINE, "names that are no UTF-8 cannot exist on Windows; see Utf8NamesOnWindows")
class Utf8Names(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.site = Site("[index]\ncharset=UTF-8\ndebug=1\n")
        cls.addClassCleanup(cls.site.close)
        # Created in reverse, so that the order comes from the sort.
        for name, _ in reversed(FILES):
            cls.site.add_file(name, size=10)
        cls.site.add_dir(FOLDER[0])
        cls.site.write_conf("")
        code, out = cls.site.run(env={"SCRIPT_NAME": "/ファイル/config.index",
                                      "HTTP_USER_AGENT": "Agent\udcff"})  # the byte 0xFF
        cls.code = code
        cls.head, cls.body = split_response(out)

    def test_page_is_valid_utf8_and_declares_it(self):
        self.assertEqual(self.code, 0)
        text = self.body.decode("utf-8", errors="strict")
        self.assertIn('<meta http-equiv="Content-Type" content="text/html; charset=UTF-8">',
                      text)
        self.assertIn("<title>Index of /ファイル/</title>", text)
        # The debug report shows the request's invalid byte as U+FFFD too.
        self.assertIn("HTTP_USER_AGENT = Agent\ufffd", text)
        self.assertIn("bad\ufffd\ufffd.txt :", text)

    def test_rows_in_collator_order_with_exact_hrefs(self):
        rows = rows_of(self.body)
        expected = [(FOLDER[0] + b"/", FOLDER[1])] + FILES
        self.assertEqual([r[1].decode() for r in rows], [shown for _, shown in expected])
        for (href, _, _), (name, _) in zip(rows, expected):
            self.assertEqual(urllib.parse.unquote_to_bytes(href.decode("ascii")), name)
            self.assertNotRegex(href, rb"[^\x21-\x7e]")

    def test_plain_columns_line_up_by_display_width(self):
        lines = self.body.split(b"<pre>\n", 1)[1].split(b"</pre>", 1)[0].splitlines()
        starts = set()
        for line in lines:
            shown = re.sub(r"<[^>]*>", "", line.decode())
            colon = shown.index(" : ")
            starts.add(width(shown[:colon]))
        # The " : " of the row template starts behind 64 columns of name.
        self.assertEqual(starts, {64})

    @unittest.skipIf(WINE, "names that are no text cannot exist on Windows")
    def test_shift_jis_reading_of_the_same_folder_differs(self):
        # Without the setting the same names are Shift_JIS bytes: the meta
        # element says so, and the raw invalid bytes stay in the link text.
        site = Site()
        try:
            site.add_file(b"bad\xff\xfe.txt")
            site.add_file("日本語.txt".encode())
            site.write_conf("")
            _, out = site.run(env={"SCRIPT_NAME": "/p/config.index"})
            _, body = split_response(out)
            self.assertIn(b"charset=Shift_JIS", body)
            self.assertIn(b">bad\xff\xfe.txt</a>", body)
        finally:
            site.close()


@unittest.skipUnless(WINE, "Windows: the wide file functions")
class Utf8NamesOnWindows(unittest.TestCase):
    """With charset=UTF-8 a Windows build lists through the wide functions:
    every valid name arrives as UTF-8, links name it exactly, and the
    collator of the Japanese locale orders kana before kanji."""

    def test_names_links_and_order(self):
        site = Site("[index]\ncharset=UTF-8\n")
        try:
            names = [n for n, _ in FILES if n != b"bad\xff\xfe.txt"]
            for name in reversed(names):
                site.add_file(name, size=10)
            site.add_dir(FOLDER[0])
            site.write_conf("")
            code, out = site.run(env={"SCRIPT_NAME": "/p/config.index"})
            self.assertEqual(code, 0)
            _, body = split_response(out)
            body.decode("utf-8")  # the page is UTF-8 throughout
            self.assertIn(b"charset=UTF-8", body)
            rows = rows_of(body)
            hrefs = [urllib.parse.unquote_to_bytes(h) for h, _, _ in rows]
            self.assertEqual(hrefs[0], FOLDER[0] + b"/")
            self.assertEqual(sorted(hrefs[1:]), sorted(names))
            shown = [t for _, t, _ in rows]
            self.assertLess(shown.index("あいう.txt".encode()), shown.index("日本語.txt".encode()))
        finally:
            site.close()


class CharsetValues(unittest.TestCase):
    CASES = [
        ("charset=UTF-8\n", "UTF-8"),
        ("charset=utf-8\n", "UTF-8"),
        ("charset=Shift_JIS\n", "Shift_JIS"),
        ("charset=CP932\n", "Shift_JIS"),
        ("charset=utf8\n", "Shift_JIS"),
        ("charset=\n", "Shift_JIS"),
        ("", "Shift_JIS"),
    ]

    def test_values_and_folder_file_cannot_switch(self):
        for ini, declared in self.CASES:
            for conf in ("", "[index]\ncharset=UTF-8\n", "[index]\ncharset=Shift_JIS\n"):
                with self.subTest(ini=ini, conf=conf):
                    site = Site("[index]\n" + ini)
                    try:
                        site.write_conf(conf)
                        _, out = site.run(env={"SCRIPT_NAME": "/p/config.index"})
                        _, body = split_response(out)
                        self.assertIn(("charset=%s\">" % declared).encode(), body)
                    finally:
                        site.close()


if __name__ == "__main__":
    unittest.main()
