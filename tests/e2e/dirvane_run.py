"""Runs the built Dirvane as the web server does: in a folder, with a CGI
environment, and with a common settings file of the test's choosing."""

import calendar
import os
import shutil
import subprocess
import tempfile

BIN = os.environ.get("DIRVANE_BIN", "")

# 2004/11/05 09:07 in the time zone the tests run in (JST, UTC+9).
TZ = "JST-9"
EXAMPLE_TIME = calendar.timegm((2004, 11, 5, 0, 7, 0))


class Site:
    """A temporary site: a program folder holding Dirvane (as a link, so that
    its common settings file is the one beside the link) and a folder to list."""

    def __init__(self, ini_text=None):
        self.root = tempfile.mkdtemp(prefix="dirvane-e2e-")
        self.cgi = os.path.join(self.root, "cgi")
        self.folder = os.path.join(self.root, "pub")
        os.mkdir(self.cgi)
        os.mkdir(self.folder)
        self.exe = os.path.join(self.cgi, "Dirvane")
        os.symlink(os.path.abspath(BIN), self.exe)
        if ini_text is not None:
            self.write_ini(ini_text)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def write_ini(self, text):
        with open(os.path.join(self.cgi, "Dirvane.ini"), "wb") as f:
            f.write(text.encode() if isinstance(text, str) else text)

    def write_conf(self, text, folder=None):
        with open(os.path.join(folder or self.folder, "config.index"), "wb") as f:
            f.write(text.encode() if isinstance(text, str) else text)

    def add_file(self, name, size=0, mtime=EXAMPLE_TIME, folder=None):
        path = os.path.join(os.fsencode(folder or self.folder), os.fsencode(name))
        with open(path, "wb") as f:
            f.write(b"x" * size)
        os.utime(path, (mtime, mtime))
        return path

    def add_dir(self, name, mtime=EXAMPLE_TIME, folder=None):
        path = os.path.join(os.fsencode(folder or self.folder), os.fsencode(name))
        os.mkdir(path)
        os.utime(path, (mtime, mtime))
        return path

    def run(self, args=None, env=None, cwd=None):
        """Runs Dirvane; returns (exit code, stdout bytes)."""
        cwd = cwd or self.folder
        if args is None:
            args = [os.path.join(os.fsdecode(cwd), "config.index")]
        full_env = {"TZ": TZ, "PATH": "/usr/bin:/bin"}
        full_env.update(env or {})
        done = subprocess.run([self.exe] + list(args), cwd=cwd, env=full_env,
                              capture_output=True, timeout=60)
        return done.returncode, done.stdout


def split_response(out):
    """Splits a CGI response into (header lines, body)."""
    head, sep, body = out.partition(b"\r\n\r\n")
    assert sep, "no end of header in %r" % out[:200]
    return head.split(b"\r\n"), body
