"""End-to-end: the two settings files, styles by user agent, ignore lists,
icons and the debug report."""

import os
import subprocess
import unittest

from dirvane_test.cgi_site import Site, split_response
from dirvane_test.programs import WINE

STYLED_INI = """; common settings
[index]
style=simple
title=Common %p

[ua]
1Mobile=i
2Bot=b

[simple]
title=Simple %p

[isimple]
title=Simple mobile
"""


class StyleSelection(unittest.TestCase):
    def setUp(self):
        self.site = Site(STYLED_INI)
        self.site.add_file("a.txt")

    def tearDown(self):
        self.site.close()

    def title(self, agent=None, conf=None):
        if conf is not None:
            self.site.write_conf(conf)
        env = {"SCRIPT_NAME": "/pub/config.index"}
        if agent is not None:
            env["HTTP_USER_AGENT"] = agent
        _, out = self.site.run(env=env)
        return out.split(b"<title>", 1)[1].split(b"</title>", 1)[0]

    def test_user_agent_picks_the_variant_of_the_style(self):
        cases = [
            ("Mobile/1.0", b"Simple mobile"),
            ("mobile/1.0", b"Simple /pub/"),   # fragments match case-sensitively
            ("GoodBot", b"Simple /pub/"),      # the variant section "bsimple" does not exist
            (None, b"Simple /pub/"),
        ]
        for agent, expected in cases:
            with self.subTest(agent=agent):
                self.assertEqual(self.title(agent), expected)

    def test_folder_settings_override_one_key_and_keep_the_rest(self):
        conf = "[isimple]\ntitle=Folder mobile\n"
        self.assertEqual(self.title("Mobile", conf), b"Folder mobile")
        self.assertEqual(self.title("Other", conf), b"Simple /pub/")
        # An empty value replaces the common one and reads as missing: no style.
        conf = "[index]\nstyle=\n"
        self.assertEqual(self.title("Mobile", conf), b"Common /pub/")


class IgnoreLists(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        for name in ["a.txt", "B.TXT", "THUMBS.DB", "notes.BAK", "index.html", "archive.",
                     "keep.md", "Dirvane.ini", "Dirvane.exe", "config.index"]:
            self.site.add_file(name)
        self.site.add_dir("old.bak")

    def tearDown(self):
        self.site.close()

    def names(self, conf):
        self.site.write_conf(conf)
        _, out = self.site.run()
        return sorted(n.decode() for n in
                      __import__("re").findall(rb'<a href="[^"]*">([^<]*)</a>', out))

    def test_defaults_and_section_ignore(self):
        # Windows drops the dot that ends a file name: "archive." is stored
        # as "archive" there.
        archive = "archive" if WINE else "archive."
        self.assertEqual(self.names(""), ["B.TXT", "a.txt", archive, "keep.md"])
        conf = "[ignore]\n.txt=1\nindex.html=0\nThumbs.db=abc\n.=1\n=1\n"
        self.assertEqual(self.names(conf), ["THUMBS.DB", archive, "index.html", "keep.md"])


class TimeOrder(unittest.TestCase):
    def test_times_within_one_millisecond_tie_and_fall_to_the_name(self):
        site = Site()
        try:
            # b.txt is 0.8 ms newer than a.txt, inside the same millisecond.
            second = 1100000000 * 10**9
            for name, ns in [("b.txt", second + 900_000), ("a.txt", second + 100_000)]:
                path = site.add_file(name)
                os.utime(path, ns=(ns, ns))
            for key in ["time", "rtime"]:
                site.write_conf("[index]\nsort=%s\n" % key)
                _, out = site.run()
                self.assertEqual(__import__("re").findall(rb'<a href="([^"]*)">', out)[-2:],
                                 [b"a.txt", b"b.txt"], key)
        finally:
            site.close()


class Icons(unittest.TestCase):
    def test_icon_lookup_and_path(self):
        site = Site("[icon]\npath=/icons\n.txt=text.gif\ndir=folder gif.png\n")
        try:
            site.add_file("a.TXT")
            site.add_file("b.zip")
            site.add_dir("d")
            _, out = site.run()
            self.assertIn(b'<img src="/icons/folder%20gif.png"><a href="d/">d</a>', out)
            self.assertIn(b'<img src="/icons/text.gif"><a href="a.TXT">a.TXT</a>', out)
            self.assertIn(b'\n<a href="b.zip">b.zip</a>', out)
            site.write_conf("[icon]\nheight=0x10\ndefault=any.gif\n[index]\nnoicon=0\n")
            _, out = site.run()
            self.assertIn(b'<img height=16 src="/icons/any.gif"><a href="b.zip">', out)
            site.write_conf("[index]\nnoicon=1\n")
            _, out = site.run()
            self.assertNotIn(b"<img", out)
        finally:
            site.close()


class DebugReport(unittest.TestCase):
    def setUp(self):
        self.site = Site("[index]\ndebug=1\nlabel=<b>\tx\n")
        self.site.add_file("<i>\t\x01.txt", 3)
        self.env = {
            "SERVER_NAME": "example",
            "HTTP_USER_AGENT": "<script>\tagent\x0c\x01</script>",
            "REMOTE_ADDR": "127.0.0.1",
            "SCRIPT_NAME": "/pub/config.index",
        }

    def tearDown(self):
        self.site.close()

    def report(self):
        _, out = self.site.run(env=self.env)
        _, body = split_response(out)
        return body.split(b"<hr><pre>", 1)[1].split(b"</pre>\n", 1)[0]

    def test_report_sections_with_every_value_escaped(self):
        lines = self.report().split(b"\n")
        self.assertRegex(lines[0], rb"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d$")
        self.assertEqual(lines[1:11], [
            b"", b"", b"[env]",
            b"  SERVER_NAME = example",
            b"  HTTP_USER_AGENT = &lt;script&gt;\tagent\x0c?&lt;/script&gt;",
            b"  REMOTE_ADDR = 127.0.0.1",
            b"  SCRIPT_NAME = /pub/config.index",
            b"", b"[ini+config(index)]", b"  debug=1",
        ])
        self.assertEqual(lines[11], b"  label=&lt;b&gt;\tx")
        self.assertIn(b"[files]", lines)
        files = lines[lines.index(b"[files]") + 1]
        self.assertRegex(files, rb"^  &lt;i&gt;\t\?\.txt : 3 B  : 2004/11/05 09:07:00\.000000$")
        self.assertIn(b"  Thumbs.db", lines)
        self.assertIn(b"  .bak", lines)

    def test_debug_switch_only_from_the_common_file(self):
        self.site.write_ini("[index]\n")
        self.site.write_conf("[index]\ndebug=1\n")
        _, out = self.site.run(env=self.env)
        self.assertNotIn(b"<hr><pre>", out)


class SettingsFileLimits(unittest.TestCase):
    """A settings file is read only when it is a regular file of at most
    1 MiB; anything else counts as a file that cannot be read."""

    def setUp(self):
        self.site = Site()
        self.site.add_file("a.txt")

    def tearDown(self):
        self.site.close()

    def answer(self, wait=40):
        """Runs one request; (exit code, page) or a failure when it hangs."""
        p = self.site.spawn()
        try:
            out, _ = p.communicate(timeout=wait)
        except subprocess.TimeoutExpired:
            p.kill()
            p.communicate()
            self.fail("the request hung on a settings file")
        return p.returncode, out

    @unittest.skipIf(WINE, "Windows has no named pipes in the file system")
    def test_named_pipe_as_settings_file_is_not_waited_for(self):
        # Opening a named pipe for reading waits for a writer, which never
        # comes. As the common file the request hung past any time-out; as
        # the folder file it ended at the time-out without a page.
        common = os.path.join(self.site.cgi, "Dirvane.ini")
        folder = os.path.join(self.site.folder, "config.index")
        cases = [
            ("common", common, None),
            ("folder", folder, "[index]\ntimeout=2\ntitle=Common\n"),
        ]
        for name, fifo, ini in cases:
            with self.subTest(file=name):
                for path in (common, folder):
                    if os.path.lexists(path):
                        os.unlink(path)
                if ini is not None:
                    self.site.write_ini(ini)
                os.mkfifo(fifo)
                code, out = self.answer()
                self.assertEqual(code, 0)
                self.assertIn(b'<a href="a.txt">a.txt</a>', out)

    def test_folder_file_over_1_mib_is_not_read(self):
        self.site.write_ini("[index]\ntitle=Common\n")
        conf = os.path.join(self.site.folder, "config.index")
        head = b"[index]\r\ntitle=Folder\r\n"
        # Just at the limit the file is read; one byte more, or a 1 GiB file,
        # is not, and takes no memory either. The rest of each file is a
        # hole of NUL bytes (a line without "="), so it takes no disk.
        cases = [(len(head), b"Folder"), (1 << 20, b"Folder"), ((1 << 20) + 1, b"Common"),
                 (2 << 20, b"Common"), (1 << 30, b"Common")]
        baseline = None
        for size, title in cases:
            with self.subTest(size=size):
                with open(conf, "wb") as f:
                    f.write(head)
                    f.truncate(size)
                p = self.site.spawn()
                out = p.stdout.read()
                _, status, usage = os.wait4(p.pid, 0)
                p.returncode = os.waitstatus_to_exitcode(status)
                p.stdout.close()
                p.stderr.close()
                self.assertEqual(p.returncode, 0)
                self.assertIn(b"<title>" + title + b"</title>", out)
                # The program's peak memory (ru_maxrss, in KiB), against that
                # of the smallest file: a started child's figure also holds
                # what it shared with this test process before it ran the
                # program, which grows with the tests run before.
                if baseline is None:
                    baseline = usage.ru_maxrss
                elif not WINE:
                    self.assertLess(usage.ru_maxrss - baseline, 64 << 10,
                                    "peak memory %d KiB, %d KiB for a small file"
                                    % (usage.ru_maxrss, baseline))

if __name__ == "__main__":
    unittest.main()
