"""Hostile folders: every byte value in names, markup, URL punctuation, links
that go nowhere or in circles, folders that cannot be read, entries that
vanish while the folder is listed, huge sizes and extreme times. Every page
must be whole, parse strictly, and link each row to its entry."""

import os
import threading
import unittest

from dirvane_test.cgi_site import Site, response_body
from dirvane_test.pages import (NO_HTML5LIB, href_target, html5lib, rows, shown, strict_parse,
                                unescaped)
from dirvane_test.records import figures

# The second (and first) bytes the pairs are made of: control bytes, the
# punctuation URLs and markup treat specially, and the Shift_JIS lead and
# trail byte boundaries.
EDGE_BYTES = [0x01, 0x09, 0x0A, 0x0D, 0x1B, 0x20, 0x22, 0x23, 0x25, 0x26, 0x27, 0x3A, 0x3C,
              0x3F, 0x5C, 0x7F, 0x80, 0x81, 0x9F, 0xA0, 0xE0, 0xFC, 0xFF]
ALL_BYTES = [b for b in range(1, 256) if b != 0x2F]

NAMED = [
    b"<img src=x onerror=alert(1)>", b"' onmouseover='x", b"\"'<>&", b"?foo=bar#baz", b"a;b",
    b"a+b", b"100%", b"a%2fb", b"foo:bar", b"javascript:alert(1)", b"...", b"....", b" ",
    b"   ", b" . ", b"a ", b"&amp;", b"%00", b"%2e%2e",
    # Invalid Shift_JIS: lead bytes without a trail, trail bytes out of range,
    # bytes that start no character at all.
    b"\x81", b"\x81\x20x", b"\x82\x7f", b"\xfd\xfe", b"\x82\xa0\x81", b"\xe0<", b"\xff\xff",
    b"\x9f\x5c\x5c", b"x\x81",
    b"\x82\xa0" * 127 + b"x",  # 255 bytes, double-byte characters
    b"L" * 255,
]


def hostile_names():
    names = set(bytes([b]) for b in ALL_BYTES if b != 0x2E)
    for x in ALL_BYTES:
        for e in EDGE_BYTES:
            names.add(bytes([x, e]))
            names.add(bytes([e, x]))
    names.discard(b"..")
    names.update(NAMED)
    return sorted(names)


@unittest.skipUnless(html5lib, NO_HTML5LIB)
class HostileFolder(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        site = cls.site = Site()
        cls.addClassCleanup(site.close)
        folder = os.fsencode(site.folder)
        cls.files, refused = {}, 0
        for name in hostile_names():
            try:
                site.add_file(name)
                cls.files[name] = False
            except OSError:
                refused += 1
        cls.refused = refused
        for name in (b"<b>dir", b"x:y", b"sub", b"d?#"):
            site.add_dir(name)
            cls.files[name] = True
        links = {b"to-file": b"a;b", b"to-dir": b"sub", b"dangling": b"nowhere",
                 b"loop": b"loop", b"loop-a": b"loop-b", b"loop-b": b"loop-a"}
        for name, target in links.items():
            os.symlink(target, os.path.join(folder, name))
            cls.files[name] = name == b"to-dir"
        # A folder and a file nobody may read.
        locked = site.add_dir(b"locked")
        os.chmod(locked, 0)
        cls.addClassCleanup(os.chmod, locked, 0o755)
        cls.files[b"locked"] = True
        os.chmod(site.add_file(b"unreadable"), 0)
        cls.files[b"unreadable"] = False
        # Sizes above 4 GiB (sparse) and times at both ends of 32 bits.
        for name, size in ((b"big-4g1", (4 << 30) + 1), (b"big-5t", 5 << 40)):
            with open(os.path.join(folder, name), "wb") as f:
                f.truncate(size)
            cls.files[name] = False
        for name, when in ((b"t-0", 0), (b"t-2038", 2 ** 31), (b"t-2106", 2 ** 32 + 5),
                           (b"t-2242", 2 ** 33)):
            site.add_file(name, mtime=when)
            cls.files[name] = False

    def check_page(self, form, conf):
        site = self.site
        site.write_conf(conf)
        code, out = site.run(env={"SCRIPT_NAME": "/pub/config.index"})
        self.assertEqual(code, 0)
        body = response_body(out)
        self.assertTrue(body.endswith(b"</body>\n</html>\n\n"))
        strict_parse(body)
        found = rows(body)
        folder = os.fsencode(site.folder)
        seen = set()
        for href, text in found:
            # Only URL-safe ASCII in the href: nothing ends the attribute,
            # starts a query or fragment, or reads as a scheme.
            self.assertNotRegex(href, rb'[\x00-\x20"<>#?\\\x7f-\xff]')
            if not href.startswith(b"./"):
                self.assertNotIn(b":", href.split(b"/", 1)[0])
            target = href_target(href)
            is_dir = target.endswith(b"/")
            name = target.rstrip(b"/") if is_dir else target
            self.assertIn(name, self.files, href)
            self.assertEqual(is_dir, self.files[name], href)
            self.assertTrue(os.path.lexists(os.path.join(folder, name)), href)
            self.assertEqual(unescaped(text), shown(name), href)
            seen.add(name)
        self.assertEqual(len(found), len(self.files))
        self.assertEqual(seen, set(self.files))
        figures("hostile folder, %s form" % form, names_tried=len(self.files) + self.refused,
                names_refused_by_the_file_system=self.refused, links_verified=len(found),
                page_bytes=len(body))
        return body

    def test_plain_form(self):
        body = self.check_page("plain", "")
        self.assertIn(b" 4096 MB : ", body)
        self.assertIn(b" 5120 GB : ", body)

    def test_table_form(self):
        self.check_page("table", "[index]\nusetable=1\n")


class VanishingEntries(unittest.TestCase):
    """Entries deleted between the listing of the folder and their stat: a
    thread deletes and creates files while the folder is listed again and
    again; every page stays whole."""

    def test_pages_stay_whole_while_entries_come_and_go(self):
        site = Site()
        self.addCleanup(site.close)
        folder = site.folder
        steady = ["s%05d" % i for i in range(3000)]
        volatile = ["v%05d.txt" % i for i in range(3000)]
        for name in steady + volatile:
            site.add_file(name)
        stop = threading.Event()
        churn = [0]

        def delete_and_create():
            while not stop.is_set():
                for name in volatile:
                    path = os.path.join(folder, name)
                    try:
                        os.unlink(path)
                    except FileNotFoundError:
                        open(path, "wb").close()
                    churn[0] += 1
                    if stop.is_set():
                        return

        worker = threading.Thread(target=delete_and_create)
        worker.start()
        counts = []
        try:
            for _ in range(25):
                code, out = site.run()
                self.assertEqual(code, 0)
                body = response_body(out)
                self.assertTrue(body.endswith(b"</body>\n</html>\n\n"))
                names = [href_target(h) for h, _ in rows(body)]
                self.assertEqual(len(names), len(set(names)))
                self.assertTrue(set(os.fsencode(n) for n in steady) <= set(names))
                self.assertTrue(set(names) <= set(os.fsencode(n) for n in steady + volatile))
                counts.append(len(names))
        finally:
            stop.set()
            worker.join()
        figures("vanishing entries", pages=len(counts), rows_min=min(counts),
                rows_max=max(counts), deletions_and_creations=churn[0])


if __name__ == "__main__":
    unittest.main()
