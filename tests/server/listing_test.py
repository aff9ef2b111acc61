"""Folder pages through the real web server: lighttpd started by dirvane-httpd
runs Dirvane for each folder that holds config.index."""

import os
import re
import shutil
import unittest
import urllib.parse

from dirvane_test.files import write
from dirvane_test.httpd_site import Site
from dirvane_test.byte_names import check_every_link_is_served, fill_bytes_folder
from dirvane_test.pages import hrefs
from dirvane_test.programs import SOURCE
from dirvane_test.records import log_lines
from dirvane_test.servers import LIGHTTPD, NO_LIGHTTPD

UA_DESKTOP = "TestAgent/1.0 (X11; a, b)"
UA_MOBILE = "Phone/2.0 (Mobile)"


@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
class ListingThroughServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = Site()
        cls.addClassCleanup(site.close)
        cls.log = os.path.join(site.root, "logs", "access.log")
        os.makedirs(os.path.dirname(cls.log))
        common = ("[index]\nstyle=std\n\n[ua]\n1Mobile=i\n\n[std]\ntitle=Std %p\n\n"
                  "[istd]\nimode=1\nititle=Mobile %p\n")
        write(os.path.join(site.cgi_dir, "Dirvane.ini"), common + "\n[index]\nlog=%s\n" % cls.log)
        # The same settings without the access log, for runs outside the server.
        cls.direct = os.path.join(site.root, "direct", "Dirvane")
        os.makedirs(os.path.dirname(cls.direct))
        os.symlink(os.path.realpath(site.program), cls.direct)
        write(cls.direct + ".ini", common)

        d = site.docroot
        write(os.path.join(d, "config.index"), "[ignore]\n.tmp=1\n")
        for name in ("readme.txt", "old.bak", "Thumbs.db", "scratch.tmp", "keep.tmp.txt"):
            write(os.path.join(d, name), name)
        write(os.path.join(d, "a", "b", "config.index"), "")
        write(os.path.join(d, "a", "b", "deep.txt"), "deep")
        write(os.path.join(d, "a", "b", "c", "config.index"), "")
        write(os.path.join(d, "shown", "config.index"), "[ignore]\n.bak=0\n")
        write(os.path.join(d, "shown", "old.bak"), "bak")
        write(os.path.join(d, "nolist", "file.txt"), "not listed")
        write(os.path.join(d, "gone", "config.index"),
              "[index]\nnolist=1\nresult=404\nhtml=<body>gone away</body>\n")
        fill_bytes_folder(os.path.join(d, "bytes"))
        write(os.path.join(site.root, "secret.txt"), "SECRET outside the root")
        site.register()
        site.start()

    def log_lines(self):
        return log_lines(self.log)

    def test_listing_status_headers_and_exact_length(self):
        r = self.site.request("/", {"User-Agent": UA_DESKTOP})
        self.assertEqual(r.status_line, "HTTP/1.1 200 OK")
        self.assertEqual(r.headers["content-type"], "text/html")
        self.assertEqual(int(r.headers["content-length"]), len(r.body))
        self.assertIn(b"<title>Std /</title>", r.body)

    def test_nested_folder_is_the_page_dirvane_writes(self):
        r = self.site.request("/a/b/", {"User-Agent": UA_DESKTOP})
        self.assertEqual(r.status, 200)
        self.assertIn(b'<h2>Std <a href="/">/</a><a href="/a/">a/</a><a href="/a/b/">b/</a></h2>',
                      r.body)
        self.assertEqual(hrefs(r.body)[3:], ["c/", "deep.txt"])
        # lighttpd starts Dirvane in the folder with SCRIPT_NAME /a/b/config.index.
        folder = os.path.join(self.site.docroot, "a", "b")
        direct = self.site.run_direct(folder, "/a/b/config.index", UA_DESKTOP, self.direct)
        self.assertEqual(r.body, direct.partition(b"\r\n\r\n")[2])
        # A folder without its trailing slash is redirected to it.
        r = self.site.request("/a/b")
        self.assertEqual(r.status, 301)
        self.assertTrue(r.headers["location"].endswith("/a/b/"), r.headers)

    def test_user_agent_selects_the_style_variant(self):
        cases = [(UA_DESKTOP, b"<title>Std /a/</title>"),
                 (UA_MOBILE, b"<title>Mobile /a/</title>"),
                 ("", b"<title>Std /a/</title>")]
        write(os.path.join(self.site.docroot, "a", "config.index"), "")
        for agent, title in cases:
            with self.subTest(agent=agent):
                r = self.site.request("/a/", {"User-Agent": agent} if agent else {})
                self.assertEqual(r.status, 200)
                self.assertIn(title, r.body)

    def test_result_404_sends_the_html_text(self):
        before = len(self.log_lines())
        r = self.site.request("/gone/", {"User-Agent": UA_DESKTOP})
        self.assertEqual(r.status_line, "HTTP/1.1 404 Not Found")
        self.assertIn(b"<body>gone away</body>", r.body)
        self.assertNotIn(b"<pre>", r.body)
        self.assertEqual(int(r.headers["content-length"]), len(r.body))
        lines = self.log_lines()[before:]
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].endswith(b", CODE=404"), lines[0])

    def test_access_log_record(self):
        before = len(self.log_lines())
        self.site.request("/a/b/", {"User-Agent": UA_MOBILE, "Referer": "http://ref.test/x"})
        lines = self.log_lines()
        self.assertEqual(len(lines), before + 1, lines[before:])
        # The configured style, not the mobile variant the agent selected.
        self.assertRegex(
            lines[-1].decode("latin-1"),
            r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{8}\] DIR=/a/b/, STYLE=std, "
            r"FROM=127\.0\.0\.1\(\), REFERER=http://ref\.test/x, AGENT=Phone/2\.0 \(Mobile\), "
            r"CODE=200$")
        pid = int(re.search(rb"\[([0-9a-f]{8})\]", lines[-1]).group(1), 16)
        self.assertNotEqual(pid, self.site.process.pid, "the record names Dirvane's process")

    def test_ignore_lists(self):
        top = hrefs(self.site.request("/").body)
        self.assertIn("readme.txt", top)
        self.assertIn("keep.tmp.txt", top)
        for hidden in ("old.bak", "Thumbs.db", "scratch.tmp", "config.index"):
            self.assertNotIn(hidden, top)
        self.assertIn("old.bak", hrefs(self.site.request("/shown/").body))

    def test_folder_without_config_index_is_not_listed(self):
        before = len(self.log_lines())
        r = self.site.request("/nolist/")
        self.assertIn(r.status, (403, 404))
        self.assertNotIn(b"file.txt", r.body)
        self.assertEqual(len(self.log_lines()), before, "Dirvane must not have run")
        self.assertEqual(self.site.request("/nolist/file.txt").body, b"not listed")

    def test_every_listed_name_is_served(self):
        check_every_link_is_served(self, self.site.request)

    def test_bytes_never_valid_in_utf8_are_served(self):
        for name in (b"\x93\xfa\x96\x7b.txt", b"n%02x" % 0xfa + b"\xfaz", b"n%02x" % 0xc0 +
                     b"\xc0z", b"n%02x" % 0xff + b"\xffz"):
            with self.subTest(name=name):
                r = self.site.request(b"/bytes/" + urllib.parse.quote_from_bytes(name).encode())
                self.assertEqual(r.status, 200)
                self.assertEqual(r.body, b"content of " + name)

    def test_traversal_stays_inside_the_root(self):
        for path in ["/../secret.txt", "/%2e%2e/secret.txt", "/..%2fsecret.txt",
                     "/%2E%2E%2Fsecret.txt", "/a/..%2f..%2fsecret.txt",
                     "/a/b/../../../secret.txt", "/a/%2e%2e/%2e%2e/secret.txt",
                     "/a/.%2e/.%2e/secret.txt", "/bytes/..%5c..%5csecret.txt",
                     "/%fa/../../secret.txt", "/a/b/%2e%2e%2f%2e%2e%2f%2e%2e%2fsecret.txt"]:
            with self.subTest(path=path):
                r = self.site.request(path)
                self.assertGreaterEqual(r.status, 400)
                self.assertLess(r.status, 500)
                self.assertNotIn(b"SECRET", r.body)
        # Dot segments that stay inside still resolve.
        self.assertEqual(self.site.request("/a/%2e%2e/readme.txt").body, b"readme.txt")


@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
@unittest.skipUnless(SOURCE, "DIRVANE_SOURCE names no source tree")
class ShippedExamples(unittest.TestCase):
    def test_every_listed_folder_shows_its_names_whole(self):
        # Each sample is served as scripts/serve serves it: its own
        # Dirvane.ini is the common settings file.
        for sample in ("example", "example-sjis"):
            with self.subTest(sample=sample):
                source = os.path.join(os.fsencode(SOURCE), sample.encode())
                with open(os.path.join(source, b"Dirvane.ini"), "rb") as f:
                    site = Site(f.read())
                self.addCleanup(site.close)
                docroot = os.fsencode(site.docroot)
                os.rmdir(docroot)
                shutil.copytree(source, docroot)
                site.register()
                site.start()
                # Every folder a page shows lists in turn: no first click of
                # a newcomer ends at 403.
                listed = [folder for folder, _, _ in os.walk(docroot)]
                self.assertGreaterEqual(len(listed), 2)
                for folder in listed:
                    path = os.path.relpath(folder, docroot)
                    url = b"/" if path == b"." else b"/" + urllib.parse.quote_from_bytes(path).encode() + b"/"
                    r = site.request(url)
                    self.assertEqual(r.status, 200, url)
                    charset = re.search(rb"charset=([\w-]+)", r.body).group(1).decode()
                    page = r.body.decode(charset, "replace")
                    self.assertNotIn("\ufffd", page, url)
                    for name in os.listdir(folder):
                        if not name.endswith((b".index", b".ini")):
                            self.assertIn(">%s<" % name.decode(charset), page, url)


if __name__ == "__main__":
    unittest.main()
