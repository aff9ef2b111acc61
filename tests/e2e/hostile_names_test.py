"""End-to-end: names that try to break the page, its links or its layout."""

import html
import os
import re
import unittest

from dirvane_test.cgi_site import Site, split_response
from dirvane_test.pages import href_target
from dirvane_test.programs import WINE

HOSTILE_FILES = [
    b"<script>alert(1)<.txt",
    b"a&b.txt",
    b'q"uote.txt',
    b"it's.txt",
    b"#hash",
    b"100%.txt",
    b"what?.txt",
    b"semi;colon",
    b"with space.txt",
    b"%d %s %n.txt",
    b"\x83\x5c.txt",          # Shift_JIS character whose trail byte is a backslash
    b"lone\x83",              # a lead byte at the end of the name
    b"\xb1\xb2.txt",          # single-byte katakana
    b"javascript:alert(1)",
    b"foo:bar",
    b"&lt;entity.txt",
    b"N" * 255,               # the longest name a Linux file system allows
]
HOSTILE_DIRS = [b"<b>dir", b"x:y"]

ROW = re.compile(rb'<a href="([^"]*)">(.*?)</a>')


def listed_links(body):
    """The (href, text) pairs of the rows between <pre> and </pre>."""
    rows = body.split(b"<pre>\n", 1)[1].split(b"</pre>", 1)[0]
    return [ROW.search(line).groups() for line in rows.splitlines()]


@unittest.skipIf(WINE, "a Windows file system holds no name that is not text of its code page")
class HostileNames(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        for name in HOSTILE_FILES:
            self.site.add_file(name)
        for name in HOSTILE_DIRS:
            self.site.add_dir(name)

    def tearDown(self):
        self.site.close()

    def test_every_entry_gets_a_well_formed_row(self):
        code, out = self.site.run(env={"SCRIPT_NAME": "/pub/config.index"})
        self.assertEqual(code, 0)
        _, body = split_response(out)
        links = listed_links(body)
        expected = {n: False for n in HOSTILE_FILES}
        expected.update({n + b"/": True for n in HOSTILE_DIRS})
        self.assertEqual(len(links), len(expected))
        seen = set()
        for href, text in links:
            # The href holds no byte that could end the attribute or start a
            # fragment or query, and only ASCII.
            self.assertNotRegex(href, rb'[\x00-\x20"<>#?\x7f-\xff\\]')
            target = href_target(href)
            self.assertIn(target, expected)
            seen.add(target)
            # A relative href never reads as a URL with a scheme.
            if not href.startswith(b"./"):
                self.assertNotIn(b":", href.split(b"/", 1)[0])
            # The link text is the name, escaped.
            self.assertNotRegex(text, rb"[<>]")
            self.assertEqual(html.unescape(text.decode("latin-1")).encode("latin-1"),
                             target.rstrip(b"/"))
        self.assertEqual(seen, set(expected))

    def test_trail_byte_backslash_and_single_byte_katakana_hrefs(self):
        _, out = self.site.run()
        self.assertIn(b'<a href="%83%5C.txt">\x83\x5c.txt</a>', out)
        self.assertIn(b'<a href="lone%83">lone\x83</a>', out)
        self.assertIn(b'<a href="%B1%B2.txt">', out)
        self.assertIn(b'<a href="./javascript:alert(1)">javascript:alert(1)</a>', out)
        self.assertIn(b'<a href="./x:y/">x:y</a>', out)

    def test_long_name_is_never_cut_or_filled(self):
        _, out = self.site.run()
        self.assertIn(b'<a href="' + b"N" * 255 + b'">' + b"N" * 255 + b"</a> : ", out)


class HostilePaths(unittest.TestCase):
    def setUp(self):
        self.site = Site()

    def tearDown(self):
        self.site.close()

    def test_script_name_is_escaped_in_title_and_heading(self):
        self.site.add_file("a.txt")
        env = {"SCRIPT_NAME": "/<script>x</script>/config.index"}
        _, out = self.site.run(env=env)
        _, body = split_response(out)
        self.assertNotIn(b"<script>", body)
        self.assertIn(b"<title>Index of /&lt;script&gt;x&lt;/script&gt;/</title>", body)
        self.assertIn(b'<a href="/%3Cscript%3Ex%3C/">&lt;script&gt;x&lt;/</a>', body)

    @unittest.skipIf(WINE, "a Windows working folder is at most 260 characters long")
    def test_entry_in_a_folder_whose_path_is_over_260_bytes(self):
        deep = self.site.folder
        for i in range(6):
            deep = os.path.join(deep, "d%d" % i + "x" * 60)
            os.mkdir(deep)
        self.assertGreater(len(deep), 300)
        self.site.add_file("deep.txt", 5, folder=deep)
        code, out = self.site.run(cwd=deep)
        self.assertEqual(code, 0)
        self.assertIn(b'<a href="deep.txt">deep.txt</a>', out)


if __name__ == "__main__":
    unittest.main()
