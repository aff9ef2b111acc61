"""Hostile requests: huge user agents and referers full of control bytes and
markup, script names with markup, "//", "%00" and control bytes, no "/" or
none at all, and no CGI variables at all. Nothing reaches the page unescaped,
each request logs exactly one line, and every request ends with code 0."""

import os
import re
import unittest

from dirvane_test.cgi_site import Site, response_body
from dirvane_test.pages import NO_HTML5LIB, html5lib, strict_parse
from dirvane_test.records import RECORD, figures

# Linux refuses an environment string over 128 KiB (MAX_ARG_STRLEN), so no
# server can hand a CGI program a longer header value than this.
LONGEST = 128 * 1024 - 1

NASTY = "\r\nDIR=/forged/\x1b[2J\"<script>alert(1)</script><img src=x onerror=alert(1)>'"


def huge(name):
    room = LONGEST - len(name) - 1
    return (NASTY * (room // len(NASTY) + 1))[:room]


SCRIPT_NAMES = {
    "markup": "/<script>alert(1)</script>/\"'<b>/config.index",
    "double slashes": "//pub//x///config.index",
    "percent nul": "/%00/%2500/\x01\x1b\x7f/config.index",
    "no slash": "config.index<script>",
    "markup folder": "/<img src=x onerror=alert(1)>/",
    "missing": None,
}

# Markup that must never appear in the page as markup.
FORBIDDEN = re.compile(rb"<script|<img|<b>|[\x00-\x09\x0b-\x1f\x7f]")


@unittest.skipUnless(html5lib, NO_HTML5LIB)
class HostileRequests(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.log = os.path.join(self.site.root, "logs", "access.log")
        # The debug report echoes every request value into the page too.
        self.site.write_ini("[index]\nlog=%s\ndebug=1\nstyle=std\n" % self.log)
        self.site.add_file("a.txt")

    def tearDown(self):
        self.site.close()

    def requests(self):
        base = {"REMOTE_ADDR": "192.0.2.7", "SERVER_NAME": "example.test",
                "HTTP_USER_AGENT": huge("HTTP_USER_AGENT"), "HTTP_REFERER": huge("HTTP_REFERER"),
                "REMOTE_HOST": huge("REMOTE_HOST")[:4000]}
        for label, script in SCRIPT_NAMES.items():
            env = dict(base)
            if script is not None:
                env["SCRIPT_NAME"] = script
            yield label, env
        yield "no CGI variables", {}

    def test_nothing_unescaped_reaches_the_page_and_one_line_per_request(self):
        served = 0
        for label, env in self.requests():
            with self.subTest(label):
                code, out = self.site.run(env=env)
                served += 1
                self.assertEqual(code, 0)
                body = response_body(out)
                strict_parse(body)
                bad = FORBIDDEN.search(body)
                self.assertIsNone(bad, bad and body[max(0, bad.start() - 80):bad.end() + 80])
                self.assertIn(b'<a href="a.txt">a.txt</a>', body)
        with open(self.log, "rb") as f:
            lines = f.read().splitlines(keepends=True)
        self.assertEqual(len(lines), served)
        for line in lines:
            self.assertRegex(line, RECORD)
            # Control bytes of the request cannot start or forge a record.
            self.assertNotRegex(line[:-2], rb"[\x00-\x1f\x7f]")
        self.assertTrue(all(b"DIR=/forged/" not in l.split(b"] ", 1)[1][:12] for l in lines))
        figures("hostile requests", requests_served=served, lines_logged=len(lines),
                longest_value_bytes=LONGEST - len("HTTP_REFERER") - 1,
                log_bytes=sum(map(len, lines)))


if __name__ == "__main__":
    unittest.main()
