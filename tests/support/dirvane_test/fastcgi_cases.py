"""The cases every FastCGI server test runs: what every server must show
(FastCgiCases), and a visitor's and a folder owner's attacks (AttackCases,
WholeTreeCases). Mixins: a server's TestCase combines them with its
setUpClass, which gives `site` and `port`."""

import re
import socket
import struct
import sys
import threading

from .client import get
from .fastcgi_site import HIDDEN_NAMES
from .byte_names import check_every_link_is_served

class FastCgiCases:
    """What every server must show; `site` and `port` come from the
    server's setUpClass."""

    site = None
    port = None

    def get(self, path, **headers):
        return get(self.port, path, **headers)

    def log_pid(self, line):
        return line.split(b"] ", 1)[0].rsplit(b"[", 1)[1]

    def test_page_is_the_cgi_page_and_every_link_is_served(self):
        for folder, script in (("", "/config.index"), ("bytes", "/bytes/config.index")):
            with self.subTest(folder=folder):
                r = self.get("/" + folder + ("/" if folder else ""))
                self.assertEqual(r.status, 200, r.body[:300])
                head, _, body = self.site.cgi_page(folder, script).partition(b"\r\n\r\n")
                self.assertEqual(r.body, body)
                self.assertEqual(r.headers["content-type"], "text/html")
                self.assertIn(b"Content-Length: %d" % len(r.body), head)
        check_every_link_is_served(self, self.get)

    def test_settings_chosen_status_and_access_log_record(self):
        before = len(self.site.log_lines())
        r = self.get("/gone/")
        self.assertEqual(r.status, 404)
        self.assertIn(b"<body>gone away</body>", r.body)
        # A server that sends the page in chunks leaves the length out.
        self.assertEqual(int(r.headers.get("content-length", len(r.body))), len(r.body))
        self.get("/bytes/")
        # Two children may write their records in either order.
        lines = sorted(self.site.log_lines()[before:], key=lambda line: b"DIR=/gone/" not in line)
        self.assertEqual(len(lines), 2, lines)
        self.assertRegex(
            lines[0].decode("latin-1"),
            r"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{8}\] DIR=/gone/, STYLE=, "
            r"FROM=127\.0\.0\.1\((127\.0\.0\.1)?\), REFERER=http://ref\.test/x, AGENT=TestAgent/1\.0 "
            r"\(X11; a, b\), CODE=404$")
        self.assertIn(b" DIR=/bytes/, ", lines[1])
        self.assertTrue(lines[1].endswith(b", CODE=200"), lines[1])

    def test_hidden_files_are_denied_in_any_letter_case(self):
        for name in HIDDEN_NAMES:
            with self.subTest(name=name):
                path = "/hidden/" + name.decode()
                self.assertEqual(self.get(path).status, 403)
                # A path after the name does not reach the file either.
                self.assertNotEqual(self.get(path + "/x").status, 200)

    # Whether the server takes a named pipe for a folder's config.index.
    pipe_as_index = True

    def test_request_past_its_timeout_fails_alone(self):
        # The common settings file is read for every request: with a time-out
        # of 0 a request is ended without output, the next one is answered.
        self.assertEqual(self.get("/bytes/").status, 200)
        before = len(self.site.log_lines())
        self.site.write_ini(0)
        try:
            self.assertIn(self.get("/bytes/").status, (500, 502, 503, 504))
        finally:
            self.site.write_ini(2)
        self.assertEqual(len(self.site.log_lines()), before)
        self.assertEqual(self.get("/bytes/").status, 200)
        lines = self.site.log_lines()
        self.assertEqual(len(lines), before + 1)
        if self.site.children == 1:
            # The time-out ended the child that answered before it; a new
            # one answered after it.
            self.assertNotEqual(self.log_pid(lines[-2]), self.log_pid(lines[-1]))
        if not self.pipe_as_index:
            return
        # A named pipe as settings file is never waited on: that folder is
        # listed at once, and the requests after it are answered.
        slow = self.get("/slow/")
        self.assertEqual(slow.status, 200)
        for _ in range(3):
            self.assertEqual(self.get("/").status, 200)
        self.assertIn(b"DIR=/slow/", b"".join(self.site.log_lines()))
        # The responder is still the same one: no child's end ended it.
        if self.site.responder is not None:
            self.assertIsNone(self.site.responder.poll())

    def test_requests_in_a_row_leave_nothing_behind(self):
        # A child answers request after request: each one's page, its
        # access log record and its character set are its own, whatever
        # the one before it was.
        cgi = {folder: self.site.cgi_page(folder, script).partition(b"\r\n\r\n")[2]
               for folder, script in (("", "/config.index"), ("bytes", "/bytes/config.index"))}
        # (folder, Referer, common settings added, a text of the page when
        # those settings make it differ from the CGI page)
        cases = (("bytes", "http://ref.test/a", "", None), ("", "", "", None),
                 ("bytes", "", "", None),
                 ("bytes", "http://ref.test/b", "charset=UTF-8\n", b"charset=UTF-8"),
                 ("bytes", "", "", None), ("", "", "debug=1\n", b"[env]"), ("", "", "", None),
                 ("", "http://ref.test/c", "", None))
        before = len(self.site.log_lines())
        try:
            for folder, referer, settings, differs in cases:
                with self.subTest(folder=folder, referer=referer, settings=settings):
                    self.site.write_ini(2, settings)
                    r = self.get("/" + folder + ("/" if folder else ""), referer=referer)
                    self.assertEqual(r.status, 200)
                    if differs:
                        self.assertIn(differs, r.body)
                    else:
                        self.assertEqual(r.body, cgi[folder])
        finally:
            self.site.write_ini(2)
        lines = self.site.log_lines()[before:]
        field = re.compile(rb" DIR=(.*?), STYLE=.*, REFERER=(.*?), AGENT=")
        recorded = [field.search(line).groups() for line in lines]
        asked = [(b"/" + folder.encode() + (b"/" if folder else b""), referer.encode())
                 for folder, referer, _, _ in cases]
        # A child writes a record after its response: with several children
        # two records may change places, never their values.
        self.assertEqual(sorted(recorded), sorted(asked), lines)
        if self.site.children == 1:
            self.assertEqual(recorded, asked)
        if self.site.children == 1:
            # One child answered them all, with no process start between.
            self.assertEqual(len({self.log_pid(line) for line in lines}), 1, lines)

    def test_requests_at_once_wait_for_a_child(self):
        # More requests at once than children: the rest wait, all are
        # answered, each with its own folder's page.
        cgi = self.site.cgi_page("bytes", "/bytes/config.index").partition(b"\r\n\r\n")[2]
        results = []

        def fetch():
            results.append(self.get("/bytes/"))
        threads = [threading.Thread(target=fetch) for _ in range(8)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual([r.status for r in results], [200] * 8)
        self.assertTrue(all(r.body == cgi for r in results))

    def test_a_client_that_hangs_up_mid_page_costs_only_its_request(self):
        # Clients that read the start of a large page and go, closing in
        # order or resetting the connection: the requests after them are
        # answered whole.
        cgi = self.site.cgi_page("big", "/big/config.index").partition(b"\r\n\r\n")[2]
        self.assertGreater(len(cgi), 2 << 20)
        for reset in (False, True, False, True):
            with socket.create_connection(("127.0.0.1", self.port), timeout=60) as s:
                s.sendall(b"GET /big/ HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")
                self.assertTrue(s.recv(1000).startswith(b"HTTP/1."))
                if reset:
                    s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        for _ in range(2):
            r = self.get("/big/")
            self.assertEqual(r.status, 200)
            self.assertEqual(r.body, cgi)
        self.assertEqual(self.get("/bytes/").status, 200)
        if self.site.responder is not None:
            self.assertIsNone(self.site.responder.poll())


# What must never come back, in any answer: a settings file's text, the
# access log's, what a link out of the root reaches, a dot-file, what a
# folder with a hidden ending holds, what the root's [ignore] or a closed
# folder keeps from its listing.
LEAK_MARKS = (b"settings-of-the-site", b"AGENT=", b"sublog-content", b"private-name",
              b"private-content", b"root:x:0:", b"dot-content", b"dot-folder-name",
              b"ending-folder-name", b"ending-content", b"root-hidden-name",
              b"closed-folder-name")
# (path, whether any answer but a refusal is a leak); the others may list
# a folder, which must then be the one the cleaned path names.
ATTACKS = (
    ("/owner/settings.txt", True), ("/owner/adminlog.txt", True),
    ("/owner/sublog.txt", True), ("/owner/outside/", True),
    ("/owner/outside/private-name.txt", True), ("/owner/rootlink/etc/passwd", True),
    ("/owner/rootlink/", True), ("/owner/.env", True), ("/owner/.git/config", True),
    ("/owner/.hidden/", True), ("/owner/.hidden/dot-folder-name.txt", True),
    ("/bak.bak/", True), ("/bak.bak/ending-folder-name.txt", True), ("/logs.log/", True),
    ("/logs.log/ending-folder-name.txt", True), ("/hidden.index/", True),
    ("/hidden.index/ending-folder-name.txt", True), ("/sub/dirvane.log", True),
    ("/closed/", True), ("/closed/zzz.index/../", True), ("/closed/open.index", True),
    ("/closed/open.index/", True), ("/closed/Open.INDEX.d/../", True),
    ("/closed/config.index", True), ("/config.index", True),
    ("/no-such-folder/", True), ("/zzz.index/../", False), ("/closed/open.index.d/", False),
)
# The paths that only a link reaches (Caddy follows links).
LINK_PATHS = {"/owner/settings.txt", "/owner/adminlog.txt", "/owner/sublog.txt",
              "/owner/outside/", "/owner/outside/private-name.txt",
              "/owner/rootlink/etc/passwd", "/owner/rootlink/"}


def spellings(path):
    """The ways a client may write `path`: as it is, with encoded dots,
    with every character encoded, with doubled slashes, with "." and ".."
    segments, with a trailing slash or an encoded one."""
    head, _, last = path.rstrip("/").rpartition("/")
    out = [path, path.replace(".", "%2e"), path.replace(".", "%2E"),
           "".join(c if c == "/" else "%%%02X" % ord(c) for c in path),
           path.replace("/", "//"), "/." + path, "/sub/.." + path]
    if head:
        out.append(head + "%2f" + last + ("/" if path.endswith("/") else ""))
    if not path.endswith("/"):
        out += [path + "/", path + "/x"]
    return list(dict.fromkeys(out))


class AttackCases:
    """A visitor's and a folder owner's attacks (FastCgiSite.plant_attacks);
    `site` and `port` come from the server's setUpClass."""

    site = None
    port = None
    # Caddy follows every symbolic link (a documented limit).
    follows_links = False

    def test_nothing_hidden_is_handed_out_whatever_the_spelling(self):
        tried, leaks = 0, []
        for path, refused in ATTACKS:
            if self.follows_links and path in LINK_PATHS:
                continue
            for spelling in spellings(path):
                r = get(self.port, spelling)
                tried += 1
                marks = [m for m in LEAK_MARKS if m in r.body]
                if marks or (refused and r.status == 200):
                    leaks.append((spelling, r.status, marks))
        print("\n%s: %d requests, %d leaks" % (type(self).__name__, tried, len(leaks)),
              file=sys.stderr)
        self.assertEqual(leaks, [])

    def test_what_may_be_served_still_is(self):
        r = get(self.port, "/.well-known/probe.txt")
        self.assertEqual((r.status, r.body), (200, b"well-known-content"))
        page = get(self.port, "/owner/")
        self.assertEqual(page.status, 200)
        self.assertIn(b'href="plain.txt"', page.body)
        self.assertEqual(get(self.port, "/owner/plain.txt").body, b"plain-content")
        # A folder whose name only holds ".index" lists itself.
        inner = get(self.port, "/closed/open.index.d/")
        self.assertEqual(inner.status, 200)
        self.assertIn(b"d-inner-name.txt", inner.body)


class WholeTreeCases(AttackCases):
    """The attacks on a server in whole-tree mode for the whole site, and
    the mode itself: every folder is listed, with its own config.index
    where it has one."""

    def test_every_folder_is_listed_with_its_own_settings_where_it_has_them(self):
        # No config.index: the common settings, which hide *.log.
        r = get(self.port, "/sub/")
        self.assertEqual(r.status, 200)
        self.assertIn(b"/sub/", r.body)
        self.assertNotIn(b"dirvane.log", r.body)
        # Its own config.index (result=404) where it has one.
        self.assertEqual(get(self.port, "/gone/").status, 404)
        self.assertEqual(get(self.port, "/no-such-folder/").status, 404)
