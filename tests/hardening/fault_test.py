"""Faults around a request: a full disk under the access log and the program
log, log folders nobody may write to, a server that hangs up before the page
is read, and settings files that are folders, unreadable or garbage. The
request still ends with code 0 and no log is left with half a line."""

import os
import random
import resource
import subprocess
import unittest

from dirvane_test.cgi_site import TZ, Site, response_body
from dirvane_test.records import RECORD, figures

NOBODY = 65534


def file_size_limit(limit):
    def apply():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
    return apply


def half_line(text):
    """The bytes behind the last whole line."""
    return len(text) - (text.rfind(b"\r\n") + 2)


def as_nobody():
    # Root may write anywhere: the permission checks run as an ordinary user.
    if os.geteuid() == 0:
        os.setgid(NOBODY)
        os.setuid(NOBODY)


class Faults(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        os.chmod(self.site.root, 0o755)
        self.log = os.path.join(self.site.root, "logs", "access.log")
        os.makedirs(os.path.dirname(self.log))
        # vv.path moves the logs out of the listed folder, which only the
        # common settings may allow.
        self.site.write_ini("[index]\nfolderlogs=1\nlog=%s\n" % self.log)
        for i in range(2000):
            self.site.add_file("file%04d.txt" % i)

    def tearDown(self):
        self.site.close()

    def spawn(self, preexec=None, stdout=subprocess.PIPE):
        conf = os.path.join(self.site.folder, "config.index")
        env = {"TZ": TZ, "PATH": "/usr/bin:/bin", "SCRIPT_NAME": "/pub/config.index",
               "REMOTE_ADDR": "192.0.2.7"}
        return subprocess.Popen([self.site.exe, conf], cwd=self.site.folder, env=env,
                                stdout=stdout, stderr=subprocess.PIPE, preexec_fn=preexec)

    def run_whole(self, preexec=None):
        """Runs one request; checks code 0 and a whole page."""
        p = self.spawn(preexec)
        out, _ = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 0)
        body = response_body(out)
        self.assertIn(b'<a href="file1999.txt">', body)
        return body

    def log_lines(self):
        with open(self.log, "rb") as f:
            return f.read()

    def trace_on(self, folder):
        """Switches the program log on; vv.path moves the access log into
        the same folder."""
        with open(os.path.join(self.site.folder, "vv.path"), "wb") as f:
            f.write(folder.encode() + b"\r\n")
        self.log = os.path.join(folder, "access.log")

    def trace_files(self, folder):
        """The program log files under `folder`."""
        found = []
        for top, _, names in os.walk(folder):
            found += [os.path.join(top, n) for n in names if n.startswith("dv")]
        return found

    def test_full_disk_under_the_access_log(self):
        lost = 0
        old = b"x" * 1000 + b"\r\n"
        # The record fits only in part, then not at all.
        for room in (30, 0):
            with self.subTest(room=room):
                with open(self.log, "wb") as f:
                    f.write(old)
                self.run_whole(file_size_limit(len(old) + room))
                after = self.log_lines()
                lost += len(after) - len(old)
                self.assertEqual(after, old)
        self.run_whole()
        lines = self.log_lines().splitlines(keepends=True)
        self.assertEqual(len(lines), 2)
        self.assertRegex(lines[1], RECORD)
        figures("full disk, access log", requests=3, half_line_bytes=lost,
                lines_logged=len(lines) - 1)

    def test_full_disk_under_the_program_log(self):
        trace = os.path.join(self.site.root, "trace")
        self.trace_on(trace)
        self.run_whole(file_size_limit(5000))
        files = self.trace_files(trace)
        self.assertEqual(len(files), 1)
        with open(files[0], "rb") as f:
            text = f.read()
        self.assertLessEqual(len(text), 5000)
        self.assertEqual(half_line(text), 0, text[-100:])
        self.assertRegex(self.log_lines(), RECORD)
        figures("full disk, program log", trace_bytes=len(text),
                trace_lines=text.count(b"\r\n"), half_line_bytes=half_line(text))

    def test_log_folders_nobody_may_write_to(self):
        os.chmod(os.path.dirname(self.log), 0o555)
        trace = os.path.join(self.site.root, "trace")
        os.makedirs(trace)
        os.chmod(trace, 0o555)
        self.trace_on(trace)
        p = self.spawn(as_nobody)
        out, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 0)
        self.assertIn(b'<a href="file1999.txt">', response_body(out))
        self.assertFalse(os.path.exists(self.log))
        self.assertEqual(self.trace_files(trace), [])
        # Each log that cannot be opened is said once, with its file and
        # the reason, on standard error (the server's error log).
        said = err.splitlines()
        self.assertEqual(len(said), 2, err)
        self.assertEqual(len([l for l in said if b'"%s": ' % self.log.encode() in l]), 1, err)
        self.assertEqual(len([l for l in said if b"/dv" in l]), 1, err)
        self.assertTrue(all(l.endswith(b": Permission denied") for l in said), err)

    def test_server_hangs_up_before_reading_the_page(self):
        trace = os.path.join(self.site.root, "trace")
        self.trace_on(trace)
        read = 0
        for how in ("before the start", "after 1000 bytes"):
            with self.subTest(how):
                reader, writer = os.pipe()
                if how == "before the start":
                    os.close(reader)
                p = self.spawn(stdout=writer)
                os.close(writer)
                if how != "before the start":
                    # The page is larger than a pipe holds: the program is
                    # still writing when the reader goes away.
                    read += len(os.read(reader, 1000))
                    os.close(reader)
                p.communicate(timeout=60)
                self.assertEqual(p.returncode, 0)
        lines = self.log_lines().splitlines(keepends=True)
        self.assertEqual(len(lines), 2)
        for line in lines:
            self.assertRegex(line, RECORD)
        files = self.trace_files(trace)
        self.assertEqual(len(files), 2)
        half = 0
        for name in files:
            with open(name, "rb") as f:
                text = f.read()
            self.assertTrue(text.endswith(b" << Log Close >> " + b"=" * 24 + b"\r\n"))
            half += half_line(text)
        figures("server hangs up", requests=2, page_bytes_read=read, lines_logged=len(lines),
                half_line_bytes=half)

    def test_settings_files_that_are_folders_unreadable_or_garbage(self):
        garbage = random.Random(7).randbytes(10 * 1024 * 1024)
        ini = os.path.join(self.site.cgi, "Dirvane.ini")
        conf = os.path.join(self.site.folder, "config.index")
        cases = 0
        os.unlink(ini)
        for which, path in (("common", ini), ("folder", conf)):
            for kind in ("folder", "unreadable", "garbage"):
                with self.subTest(which=which, kind=kind):
                    if kind == "folder":
                        os.mkdir(path)
                    else:
                        with open(path, "wb") as f:
                            f.write(garbage if kind == "garbage" else b"[index]\nnolist=1\n")
                        if kind == "unreadable":
                            os.chmod(path, 0)
                    try:
                        self.run_whole(as_nobody if kind == "unreadable" else None)
                        cases += 1
                    finally:
                        if kind == "folder":
                            os.rmdir(path)
                        else:
                            os.unlink(path)
        figures("broken settings files", cases=cases, garbage_bytes=len(garbage))


if __name__ == "__main__":
    unittest.main()
