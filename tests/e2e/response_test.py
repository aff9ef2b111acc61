"""End-to-end: the command line, the header block and the example pages."""

import os
import resource
import subprocess
import unittest

from dirvane_test.cgi_site import Site, split_response
from dirvane_test.programs import BIN, WINE

META = b'<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">'
DATE = b"2004/11/05 09:07"

PLAIN_PAGE = b"\n".join([
    b"<html>", b"<head>", META, b"<title>Index of /pub/</title>", b"</head>", b"",
    b"<body>", b'<h2>Index of <a href="/">/</a><a href="/pub/">pub/</a></h2><hr>', b"",
    b"<pre>",
    b'<a href="docs/">docs</a>' + b" " * 61 + b": &lt;DIR&gt; : " + DATE,
    b'<a href="a.txt">a.txt</a>' + b" " * 60 + b":" + b" " * 6 + b"1 KB : " + DATE,
    b"</pre>", b"", b"</body>", b"</html>", b"", b"",
])

TABLE_ROWS = b"\n".join([
    b"<center>",
    b"<table border=0 cellspacing=2 cellpadding=2>",
    b"",
    b'<tr><td><a href="docs/">docs</a></td><td align=right width="10%"> &lt;DIR&gt; </td>'
    b'<td align=right width="15%">' + DATE + b"</td></tr>",
    b'<tr><td><a href="a.txt">a.txt</a></td><td align=right width="10%">1 KB</td>'
    b'<td align=right width="15%">' + DATE + b"</td></tr>",
    b"",
    b"</table>",
    b"</center>",
    b"",
])


class ExampleFolder(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.site.add_dir("docs")
        self.site.add_file("a.txt", 1234)
        self.env = {"SCRIPT_NAME": "/pub/config.index"}

    def tearDown(self):
        self.site.close()

    def test_plain_listing_byte_for_byte(self):
        code, out = self.site.run(env=self.env)
        self.assertEqual(code, 0)
        head, body = split_response(out)
        self.assertEqual(head, [b"Content-Type: text/html",
                                b"Content-Length: %d" % len(body)])
        self.assertEqual(body, PLAIN_PAGE)

    def test_table_listing_byte_for_byte(self):
        self.site.write_conf("[index]\nusetable=1\n")
        code, out = self.site.run(env=self.env)
        self.assertEqual(code, 0)
        _, body = split_response(out)
        frame_end = b"<hr>\n\n"
        start = body.index(frame_end) + len(frame_end)
        end = body.index(b"\n</body>")
        self.assertEqual(body[start:end], TABLE_ROWS)
        self.assertTrue(body.endswith(b"</body>\n</html>\n\n"))

    def test_output_file_gets_page_without_header(self):
        outf = os.path.join(self.site.root, "out.html")
        conf = os.path.join(self.site.folder, "config.index")
        code, out = self.site.run(args=[conf, outf], env=self.env)
        self.assertEqual((code, out), (0, b""))
        with open(outf, "rb") as f:
            self.assertEqual(f.read(), PLAIN_PAGE)

    def test_unopenable_output_file_sends_page_to_stdout_without_header(self):
        outf = os.path.join(self.site.root, "missing", "out.html")
        conf = os.path.join(self.site.folder, "config.index")
        code, out = self.site.run(args=[conf, outf, "ignored", "also"], env=self.env)
        self.assertEqual((code, out), (0, PLAIN_PAGE))


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.site = Site()

    def tearDown(self):
        self.site.close()

    def test_missing_or_empty_settings_argument_writes_nothing(self):
        for args in ([], [""], ["", "out.html"]):
            with self.subTest(args=args):
                self.assertEqual(self.site.run(args=args), (1, b""))

    def test_missing_folder_settings_file_still_lists(self):
        self.site.add_file("only.txt")
        code, out = self.site.run(args=["/nonexistent/config.index"])
        self.assertEqual(code, 0)
        self.assertIn(b'<a href="only.txt">only.txt</a>', out)


class ResponseChoice(unittest.TestCase):
    """nolist, result, html/ihtml and imode choose the message page."""

    def setUp(self):
        self.site = Site()
        self.site.add_file("a.txt")

    def tearDown(self):
        self.site.close()

    def response(self, conf):
        self.site.write_conf(conf)
        code, out = self.site.run()
        self.assertEqual(code, 0)
        return split_response(out)

    def test_message_pages(self):
        empty_head = (b"<html>\n<head>\n" + META + b"\n<title>Index of .</title>\n</head>\n")
        cases = [
            # settings, status line or None, page text
            ("nolist=1", None, empty_head + b"\n\n</html>\n"),
            ("result=404\nhtml=<p>gone</p>", b"Status: 404 Not Found",
             empty_head + b"\n<p>gone</p>\n</html>\n"),
            ("result=0x193\nhtml=x", b"Status: 403 Forbidden", empty_head + b"\nx\n</html>\n"),
            ("result=-1\nhtml=x", None, empty_head + b"\nx\n</html>\n"),
            ("result=1000\nhtml=x", None, empty_head + b"\nx\n</html>\n"),
            ("result=306", b"Status: 306", empty_head + b"\n\n</html>\n"),
            ("nolist=1\nimode=1\nhtml=normal\nihtml=imode", None,
             empty_head + b"\nimode\n</html>\n"),
            ("nolist=yes\nresult=abc", None, None),  # words read as 0: the listing
        ]
        for conf, status, page in cases:
            with self.subTest(conf=conf):
                head, body = self.response("[index]\n" + conf + "\n")
                expected_head = [b"Content-Type: text/html", b"Content-Length: %d" % len(body)]
                if status:
                    expected_head.insert(0, status)
                self.assertEqual(head, expected_head)
                if page is None:
                    self.assertIn(b'<a href="a.txt">a.txt</a>', body)
                else:
                    self.assertEqual(body, page)



def sanitized(program):
    """Whether the program was built with AddressSanitizer, which maps more
    address space than any memory limit a test could set."""
    with open(program, "rb") as f:
        return b"__asan_init" in f.read()


@unittest.skipIf(WINE or sanitized(BIN), "needs a native program without sanitizers")
class PageBeyondMemory(unittest.TestCase):
    """No folder setting makes the program abort under a memory limit: the
    compact page, which fills no name column, reserves no room for a fill,
    and a filled page too large for the memory is answered with status 500."""

    ENTRIES = 30000
    LIMIT = 100 * 1024 * 1024  # the filled page alone would take 30000 * 4 KB

    @classmethod
    def setUpClass(cls):
        cls.site = Site()
        for i in range(cls.ENTRIES):
            open(os.path.join(cls.site.folder, "f%05d" % i), "wb").close()

    @classmethod
    def tearDownClass(cls):
        cls.site.close()

    def run_limited(self, conf):
        self.site.write_conf(conf)
        command, cwd, env = self.site.command()
        limit = self.LIMIT
        done = subprocess.run(
            command, cwd=cwd, env=env, capture_output=True, timeout=120,
            preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
        return done.returncode, split_response(done.stdout)

    def test_compact_page_with_the_widest_name_column(self):
        code, (head, body) = self.run_limited("[index]\nimode=1\nfnlen=4096\n")
        self.assertEqual(code, 0)
        self.assertEqual(head[0], b"Content-Type: text/html")
        self.assertEqual(body.count(b'<a href="f'), self.ENTRIES)

    def test_filled_page_beyond_the_memory(self):
        code, (head, body) = self.run_limited("[index]\nfnlen=4096\n")
        self.assertEqual(code, 0)
        self.assertEqual(head[0], b"Status: 500 Internal Server Error")
        self.assertNotIn(b'<a href="f', body)


if __name__ == "__main__":
    unittest.main()
