"""dirvane-httpd's own work: the registry set-up of a fresh server, the
registration from the command line, reading the registry at each start,
the messages when it cannot serve, and a clean stop."""

import os
import shutil
import signal
import socket
import subprocess
import unittest

from dirvane_test.accounts import WWW_DATA
from dirvane_test.client import free_port
from dirvane_test.files import write
from dirvane_test.httpd_site import Site
from dirvane_test.programs import BIN, HTTPD
from dirvane_test.servers import LIGHTTPD, NO_LIGHTTPD

HEADER = b"Windows Registry Editor Version 5.00\r\n\r\n"
FRESH = (HEADER +
         b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Index]\r\n"
         b"\"Default\"=\"index.html,index.htm\"\r\n\r\n"
         b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs]\r\n"
         b"\"Count\"=dword:00000000\r\n\r\n"
         b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Attrs]\r\n\r\n"
         b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\AnHTTPd\\default\\Progs\\Names]\r\n\r\n")


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Registration(unittest.TestCase):
    """--register and --unregister: no web server needed."""

    def setUp(self):
        self.site = Site()
        self.addCleanup(self.site.close)

    def test_register_then_unregister(self):
        out = self.site.register()
        self.assertIn(" レジストリを変更しました。　", out)
        self.assertIn(b'"Default"="index.html,index.htm,config.index"', read(self.site.registry))
        self.assertIn(b'".index"=dword:00000003', read(self.site.registry))
        self.assertIn(b'".index"="' + os.fsencode(self.site.program) + b'"',
                      read(self.site.registry))
        self.assertIn(b'"Count"=dword:00000001', read(self.site.registry))

        code, out = self.site.httpd("--register", "--cgi", self.site.program)
        self.assertEqual(code, 0)
        self.assertIn("already registered", out)
        self.assertIn(b'"Count"=dword:00000001', read(self.site.registry))

        code, out = self.site.httpd("--unregister")
        self.assertEqual(code, 0, out)
        self.assertEqual(read(self.site.registry), FRESH)
        code, out = self.site.httpd("--unregister")
        self.assertEqual(code, 0)
        self.assertIn("not registered", out)

    def test_refusals(self):
        cases = [
            (("--register", "--cgi", "/nonexistent/Dirvane"), "no executable program at"),
            (("--register",), "--register needs --cgi"),
            (("--register", "--cgi", "PROGRAM", "--conf", "configindex"), "has no extension"),
            (("--register", "--unregister"), "exclude each other"),
            (("--bogus",), "unknown argument --bogus"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                args = tuple(self.site.program if a == "PROGRAM" else a for a in args)
                code, out = self.site.httpd(*args)
                self.assertNotEqual(code, 0)
                self.assertIn(message, out)

    def test_empty_index_list_refuses_like_the_disabled_button(self):
        write(self.site.registry, FRESH.replace(b"index.html,index.htm", b""))
        code, out = self.site.httpd("--register", "--cgi", self.site.program)
        self.assertEqual(code, 1)
        self.assertIn("is empty", out)

    def test_malformed_registry_is_reported_and_kept(self):
        write(self.site.registry, HEADER + b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\nbroken\r\n")
        before = read(self.site.registry)
        code, out = self.site.httpd("--register", "--cgi", self.site.program)
        self.assertEqual(code, 1)
        self.assertIn(self.site.registry + ":4: expected", out)
        self.assertEqual(read(self.site.registry), before)

    def test_registry_path_from_the_environment(self):
        home = os.path.join(self.site.root, "home")
        xdg = os.path.join(self.site.root, "xdg")
        cases = [({"DIRVANE_REGISTRY": "", "XDG_CONFIG_HOME": xdg, "HOME": home},
                  os.path.join(xdg, "dirvane", "registry.reg")),
                 ({"DIRVANE_REGISTRY": "", "XDG_CONFIG_HOME": "", "HOME": home},
                  os.path.join(home, ".config", "dirvane", "registry.reg"))]
        for env, path in cases:
            with self.subTest(path=path):
                code, out = self.site.httpd("--register", "--cgi", self.site.program, env=env)
                self.assertEqual(code, 0, out)
                self.assertIn(path, out)
                self.assertIn(b"config.index", read(path))


@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
class ServerStart(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.addCleanup(self.site.close)
        write(os.path.join(self.site.docroot, "config.index"), "")
        write(os.path.join(self.site.docroot, "file.txt"), "file")

    def test_fresh_server_creates_its_keys(self):
        self.assertFalse(os.path.exists(self.site.registry))
        write(os.path.join(self.site.docroot, "sub", "index.htm"), "an index.htm page")
        self.site.start()
        self.assertEqual(read(self.site.registry), FRESH)
        self.assertEqual(self.site.request("/sub/").body, b"an index.htm page")
        # Without a registration no program runs: the folder has no index document.
        self.assertIn(self.site.request("/").status, (403, 404))

    def test_registration_takes_effect_at_the_next_start(self):
        self.site.register()
        self.site.start()
        self.assertIn(b"<pre>", self.site.request("/").body)
        code, out = self.site.httpd("--unregister")
        self.assertEqual(code, 0, out)
        self.assertIn(b"<pre>", self.site.request("/").body, "read only at the start")
        self.assertEqual(self.site.stop(), 0)
        self.site.start()
        self.assertIn(self.site.request("/").status, (403, 404))

    def test_only_attribute_3_runs_a_program(self):
        self.site.register()
        text = read(self.site.registry).replace(b'".index"=dword:00000003',
                                                b'".index"=dword:00000001')
        write(self.site.registry, text)
        self.site.start()
        r = self.site.request("/")
        # No program runs, and config.index is not handed out as a file either.
        self.assertEqual(r.status, 403)
        self.assertNotIn(b"<pre>", r.body)

    def test_other_conf_name_and_extension(self):
        write(os.path.join(self.site.docroot, "list", "dir.list"), "")
        write(os.path.join(self.site.docroot, "list", "a.txt"), "")
        self.site.register(conf="dir.list")
        self.site.start()
        r = self.site.request("/list/")
        self.assertEqual(r.status, 200)
        self.assertIn(b'<a href="a.txt">', r.body)

    def test_stop_signals_end_server_and_lighttpd(self):
        self.site.register()
        for sig in (signal.SIGINT, signal.SIGTERM):
            with self.subTest(sig=sig):
                self.site.start()
                port = self.site.port
                self.assertEqual(self.site.stop(sig), 0)
                self.assertIn("Stopped.", "".join(self.site.output))
                with socket.socket() as s:
                    self.assertNotEqual(s.connect_ex(("127.0.0.1", port)), 0,
                                        "lighttpd still answers")


@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
class Exposure(unittest.TestCase):
    """What lighttpd hands out beside the listing: no path through a symbolic
    link unless --follow-symlinks, and 403 for settings, logs and the files
    the listing hides by default."""

    def setUp(self):
        self.site = Site(ini="[index]\nstyle=std\n")
        self.addCleanup(self.site.close)
        d = self.site.docroot
        write(os.path.join(d, "config.index"), "[index]\nlog=dirvane.log\n")
        os.symlink("/", os.path.join(d, "rootlink"))
        os.symlink(os.path.join(self.site.root, "config"), os.path.join(d, "conflink"))
        for name in ("Dirvane.ini", "site.ini", "old.bak", "notes.log", "dirvane.log",
                     "a.obj", "a.bin", "vv.path", "vv.nolog", "file.txt", "sub/vv.path",
                     "other.index", "NOTES.LOG", "Site.INI", "OLD.Bak", "sub/VV.PATH",
                     "Other.INDEX"):
            write(os.path.join(d, name), "content of " + name)

    def test_symbolic_links_only_with_the_flag(self):
        self.site.register()
        for flag, expected in (((), False), (("--follow-symlinks",), True)):
            with self.subTest(flag=flag):
                self.site.start(extra_args=flag)
                for path in ("/rootlink/etc/passwd", "/conflink/registry.reg"):
                    r = self.site.request(path)
                    self.assertEqual(r.status == 200, expected, (path, r.status_line))
                    self.assertEqual(b"root:" in r.body or b"AnHTTPd" in r.body, expected)
                self.assertIn(b'<a href="rootlink/">', self.site.request("/").body,
                              "the listing still shows the link")
                self.assertEqual(self.site.request("/file.txt").status, 200)
                self.assertEqual(self.site.stop(), 0)

    def test_hidden_files_and_settings_answer_403(self):
        self.site.register()
        self.site.start()
        for name in ("Dirvane.ini", "site.ini", "old.bak", "notes.log", "dirvane.log",
                     "a.obj", "a.bin", "vv.path", "vv.nolog", "sub/vv.path",
                     # The listing hides these endings in any letter case; a
                     # path-info after the name still names the file.
                     "NOTES.LOG", "Site.INI", "Site.%49NI", "OLD.Bak", "sub/VV.PATH",
                     "NOTES.LOG/", "NOTES.LOG/x", "notes.log/x", "Other.INDEX"):
            with self.subTest(name=name):
                r = self.site.request("/" + name)
                self.assertEqual(r.status, 403, r.status_line)
                self.assertNotIn(b"content of", r.body)
        self.assertEqual(self.site.request("/file.txt").body, b"content of file.txt")
        listing = self.site.request("/")
        self.assertEqual(listing.status, 200)
        self.assertIn(b'<a href="file.txt">', listing.body)
        # A settings file runs the program only as its folder's page: a
        # request that names one (the visitor's choice of settings) is refused.
        for path in ("/other.index", "/config.index", "/other.index/x"):
            other = self.site.request(path)
            self.assertEqual(other.status, 403, path)
            self.assertNotIn(b"content of", other.body)

    def test_index_files_are_not_served_without_a_program(self):
        self.site.start()
        for path in ("/config.index", "/other.index", "/Other.INDEX", "/other.index/x", "/"):
            with self.subTest(path=path):
                r = self.site.request(path)
                self.assertIn(r.status, (403, 404), r.status_line)
                self.assertNotIn(b"log=", r.body)
                self.assertNotIn(b"content of", r.body)


@unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
@unittest.skipUnless(WWW_DATA, "needs root and the user www-data")
class UserSwitch(unittest.TestCase):
    """Started as root, lighttpd and Dirvane run as www-data; what they must
    reach is made reachable or named at the start."""

    def setUp(self):
        self.site = Site()
        self.addCleanup(self.site.close)
        root = self.site.root
        # The build folder may be closed to www-data: the program is a copy
        # in the site, which www-data may enter.
        os.chmod(root, 0o755)
        os.remove(self.site.program)
        shutil.copy2(BIN, self.site.program)
        self.log = os.path.join(root, "logs", "access.log")
        write(os.path.join(self.site.cgi_dir, "Dirvane.ini"), "[index]\nlog=%s\n" % self.log)
        d = self.site.docroot
        for name in ("config.index", "file.txt", "secret/config.index", "secret/key.txt",
                     "page.list"):
            write(os.path.join(d, name), "")
        os.chmod(os.path.join(d, "secret"), 0o700)
        # A program in a folder only root may enter (as under /root).
        self.private = os.path.join(root, "private")
        os.makedirs(self.private, mode=0o700)
        shutil.copy2(BIN, os.path.join(self.private, "Dirvane"))

    def test_runs_as_www_data(self):
        self.site.register()
        code, out = self.site.httpd("--register", "--conf", "page.list", "--cgi",
                                    os.path.join(self.private, "Dirvane"))
        self.assertEqual(code, 0, out)
        self.site.start(user=None)
        output = "".join(self.site.output)
        self.assertIn("User:           www-data", output)
        self.assertIn("www-data cannot run the program %s/Dirvane: it may not enter %s"
                      % (self.private, self.private), output)
        self.assertIn("chmod o+x " + self.private, output)
        listing = self.site.request("/")
        self.assertEqual(listing.status, 200, listing.status_line)
        self.assertIn(b'<a href="file.txt">', listing.body)
        # Dirvane wrote its access log as www-data, into the folder made for it.
        self.assertEqual(os.stat(self.log).st_uid, WWW_DATA.pw_uid)
        self.assertEqual(os.stat(os.path.dirname(self.log)).st_uid, WWW_DATA.pw_uid)
        secret = self.site.request("/secret/")
        self.assertNotEqual(secret.status, 200, secret.status_line)
        self.assertNotIn(b"key.txt", secret.body)
        self.assertEqual(self.site.stop(), 0)


class Refusals(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.addCleanup(self.site.close)

    def test_no_document_root(self):
        # Never the working folder: without --root nothing is served.
        code, out = self.site.httpd("--state", self.site.state, "--port", str(free_port()))
        self.assertEqual(code, 1)
        self.assertIn("no document root: name the folder to serve with --root FOLDER", out)
        self.assertFalse(os.path.exists(os.path.join(self.site.state, "lighttpd.conf")))

    def test_document_root_missing(self):
        code, out = self.site.httpd("--root", os.path.join(self.site.root, "nope"),
                                    "--state", self.site.state)
        self.assertEqual(code, 1)
        self.assertIn("the document root %s does not exist" % os.path.join(self.site.root,
                                                                          "nope"), out)

    def test_document_root_not_given(self):
        # Started in a folder holding private files, without --root: it must not
        # serve that folder but refuse and say how to name one.
        private = os.path.join(self.site.root, "home")
        os.makedirs(private)
        done = subprocess.run([HTTPD, "--state", self.site.state, "--port", str(free_port())],
                              cwd=private, env=self.site.env(), capture_output=True, timeout=60)
        out = (done.stdout + done.stderr).decode("utf-8", "replace")
        self.assertEqual(done.returncode, 1, out)
        self.assertIn("--root FOLDER", out)
        self.assertFalse(os.path.exists(os.path.join(self.site.state, "lighttpd.conf")))

    def test_lighttpd_missing(self):
        code, out = self.site.httpd("--root", self.site.docroot, "--state", self.site.state,
                                    "--lighttpd", "/nonexistent/lighttpd")
        self.assertEqual(code, 1)
        self.assertIn("lighttpd is not installed", out)
        self.assertIn("apt-get install lighttpd", out)

    def test_bad_port(self):
        for port in ("0", "65536", "80a", ""):
            with self.subTest(port=port):
                code, out = self.site.httpd("--root", self.site.docroot, "--port", port,
                                            "--state", self.site.state)
                self.assertEqual(code, 1)
                self.assertIn("the port must be a number", out)

    @unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
    def test_port_in_use(self):
        with socket.socket() as busy:
            busy.bind(("127.0.0.1", 0))
            busy.listen()
            port = busy.getsockname()[1]
            code, out = self.site.httpd("--root", self.site.docroot, "--port", str(port),
                                        "--state", self.site.state)
        self.assertEqual(code, 1)
        self.assertIn("port %d on 127.0.0.1 is in use" % port, out)

    @unittest.skipUnless(LIGHTTPD, NO_LIGHTTPD)
    def test_names_lighttpd_cannot_hold(self):
        # A backslash at the end of a value: lighttpd's strings cannot end in one.
        root = os.path.join(self.site.root, "root\\")
        os.makedirs(root)
        code, out = self.site.httpd("--root", root, "--state", self.site.state,
                                    "--port", str(free_port()))
        self.assertEqual(code, 1)
        self.assertIn("cannot be written into lighttpd's configuration", out)


if __name__ == "__main__":
    unittest.main()
