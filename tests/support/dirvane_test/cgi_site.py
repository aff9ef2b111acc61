"""Runs the built Dirvane as the web server does: in a folder, with a CGI
environment, and with a common settings file of the test's choosing."""

import calendar
import os
import shutil
import subprocess
import tempfile

from .programs import BIN, WINE, WINE_VARIABLES, host_name, windows_path

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
        if WINE:
            # Windows programs find their settings beside their own file.
            self.exe = os.path.join(self.cgi, "Dirvane.exe")
            shutil.copy(BIN, self.exe)
        else:
            self.exe = os.path.join(self.cgi, "Dirvane")
            os.symlink(os.path.abspath(BIN), self.exe)
        # The character set of the names the test gives as bytes.
        self.charset = "cp932"
        if ini_text is not None:
            self.write_ini(ini_text)

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def write_ini(self, text):
        raw = text.encode() if isinstance(text, str) else text
        if b"charset=utf-8" in raw.lower():
            self.charset = "utf-8"
        with open(os.path.join(self.cgi, "Dirvane.ini"), "wb") as f:
            f.write(text.encode() if isinstance(text, str) else text)

    def write_conf(self, text, folder=None):
        with open(os.path.join(folder or self.folder, "config.index"), "wb") as f:
            f.write(text.encode() if isinstance(text, str) else text)

    def add_file(self, name, size=0, mtime=EXAMPLE_TIME, folder=None):
        path = os.path.join(os.fsencode(folder or self.folder), host_name(name, self.charset))
        with open(path, "wb") as f:
            f.write(b"x" * size)
        os.utime(path, (mtime, mtime))
        return path

    def add_dir(self, name, mtime=EXAMPLE_TIME, folder=None):
        path = os.path.join(os.fsencode(folder or self.folder), host_name(name, self.charset))
        os.mkdir(path)
        os.utime(path, (mtime, mtime))
        return path

    def command(self, args=None, env=None, cwd=None):
        """The command line, working folder and environment of a run."""
        cwd = cwd or self.folder
        if args is None:
            args = [os.path.join(os.fsdecode(cwd), "config.index")]
        full_env = {"TZ": TZ, "PATH": "/usr/bin:/bin"}
        command = [self.exe] + list(args)
        if WINE:
            full_env.update({k: os.environ[k] for k in WINE_VARIABLES if k in os.environ})
            command = [WINE, self.exe] + [windows_path(a) if os.path.isabs(a) else a
                                          for a in args]
        full_env.update(env or {})
        return command, cwd, full_env

    def run(self, args=None, env=None, cwd=None):
        """Runs Dirvane; returns (exit code, stdout bytes)."""
        command, cwd, full_env = self.command(args, env, cwd)
        done = subprocess.run(command, cwd=cwd, env=full_env,
                              capture_output=True, timeout=60)
        return done.returncode, done.stdout

    def spawn(self, args=None, env=None, cwd=None):
        """Starts Dirvane without waiting; returns the Popen."""
        command, cwd, full_env = self.command(args, env, cwd)
        return subprocess.Popen(command, cwd=cwd, env=full_env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def split_response(out):
    """Splits a CGI response into (header lines, body)."""
    head, sep, body = out.partition(b"\r\n\r\n")
    assert sep, "no end of header in %r" % out[:200]
    return head.split(b"\r\n"), body


def response_body(out):
    """Checks the header's Content-Length against the body; returns the body."""
    head, body = split_response(out)
    lengths = [int(h.split(b":", 1)[1]) for h in head if h.lower().startswith(b"content-length:")]
    assert lengths == [len(body)], (head, len(body))
    return body
