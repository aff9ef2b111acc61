"""The visitor's own options through real servers: the query string's order
(C, O), name filter (q) and JSON form (format, Accept), the ETag and its
304 round trip. The cases run behind lighttpd with Dirvane as a CGI program
here, and behind nginx with Dirvane as a FastCGI server (tests/fastcgi)."""

import json
import os
import subprocess
import unittest
import urllib.parse

from dirvane_test.files import write
from dirvane_test.httpd_site import Site
from dirvane_test.servers import LIGHTTPD, NO_LIGHTTPD
from dirvane_test.visitor_cases import COMMON_INI, VisitorCases, fill_site

@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
class VisitorThroughLighttpd(VisitorCases, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = Site(COMMON_INI)
        cls.addClassCleanup(site.close)
        cls.docroot = site.docroot
        fill_site(site.docroot)
        site.register()
        site.start()

    nul_reaches_program = False

    def fetch(self, path, headers=None):
        return self.site.request(path, headers)

    def test_nul_in_the_query_as_a_cgi_program_gets_it(self):
        folder = os.path.join(self.docroot, "on")

        def run(query):
            env = {"PATH": "/usr/bin:/bin", "SCRIPT_NAME": "/on/config.index",
                   "QUERY_STRING": query, "REMOTE_ADDR": "127.0.0.1"}
            return subprocess.run([self.site.program, os.path.join(folder, "config.index")],
                                  cwd=folder, env=env, capture_output=True, timeout=60).stdout

        plain = run("format=json")
        self.assertTrue(plain.startswith(b"Content-Type: application/json"), plain[:80])
        self.assertEqual(run("format=json&q=b%00"), plain)
        # The parameter with the NUL is left out; a later one is read.
        self.assertEqual(run("format=json&q=%00&q=b"), run("format=json&q=b"))
        self.assertNotEqual(run("format=json&q=b"), plain)


@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
class ShiftJisThroughLighttpd(unittest.TestCase):
    """A Shift_JIS site (the built-in charset): the filter compares the
    query's bytes as Shift_JIS, the JSON converts the names."""

    NAMES = {"日本語.txt": "日本語.txt".encode("cp932"),
             "ＡＢＣ.txt": "ＡＢＣ.txt".encode("cp932"),
             "ソ表.dat": "ソ表.dat".encode("cp932"),  # trail bytes 0x5C
             "ｶﾅ.txt": "ｶﾅ.txt".encode("cp932"),
             "x\ufffd.bin2": b"x\x81.bin2"}  # a lead byte without its trail

    @classmethod
    def setUpClass(cls):
        site = cls.site = Site("[index]\nvisitor=1\n")
        cls.addClassCleanup(site.close)
        folder = os.path.join(os.fsencode(site.docroot), b"s")
        write(os.path.join(folder, b"config.index"), "")
        for raw in cls.NAMES.values():
            write(os.path.join(folder, raw), raw)
        site.register()
        site.start()

    def names(self, query=""):
        r = self.site.request("/s/?format=json" + query)
        self.assertEqual(r.status, 200)
        return [(e["name"], e["href"]) for e in json.loads(r.body.decode("utf-8"))["entries"]]

    def test_json_names_are_converted_and_hrefs_keep_the_bytes(self):
        entries = self.names()
        self.assertEqual(sorted(n for n, _ in entries), sorted(self.NAMES))
        for name, href in entries:
            raw = self.NAMES[name]
            self.assertEqual(urllib.parse.unquote_to_bytes(href), raw)
            got = self.site.request("/s/" + href)
            self.assertEqual((got.status, got.body), (200, raw), name)

    def test_filter_compares_shift_jis_folding_full_width_case(self):
        quote = urllib.parse.quote_from_bytes
        self.assertEqual([n for n, _ in self.names("&q=" + quote("ａｂ".encode("cp932")))],
                         ["ＡＢＣ.txt"])
        self.assertEqual([n for n, _ in self.names("&q=" + quote("本".encode("cp932")))],
                         ["日本語.txt"])
        # "\\" alone is no character of ソ or 表: their trail bytes are not found.
        self.assertEqual(self.names("&q=%5C"), [])
        # The HTML page shows the form's text as Shift_JIS too.
        r = self.site.request("/s/?q=" + quote("ｶﾅ".encode("cp932")))
        self.assertIn("ｶﾅ.txt".encode("cp932"), r.body)
        self.assertNotIn("日本語".encode("cp932"), r.body)


if __name__ == "__main__":
    unittest.main()
