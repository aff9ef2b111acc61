"""Runs dirvane-httpd (and so the real lighttpd) for a test: a temporary
site with a registry file, a document root, a state folder and a program
folder holding Dirvane with its own Dirvane.ini, on a free loopback port."""

import os
import queue
import shutil
import signal
import subprocess
import tempfile
import threading
import time

from .accounts import ME
from .client import free_port, request
from .files import write
from .programs import BIN, HTTPD
from .servers import stop


class Site:
    """A temporary site. `ini` is the text of Dirvane.ini beside the program."""

    def __init__(self, ini=None):
        self.root = tempfile.mkdtemp(prefix="dirvane-server-")
        self.cgi_dir = os.path.join(self.root, "cgi")
        self.docroot = os.path.join(self.root, "pub")
        self.state = os.path.join(self.root, "state")
        self.registry = os.path.join(self.root, "config", "registry.reg")
        os.makedirs(self.cgi_dir)
        os.makedirs(self.docroot)
        # Dirvane reads the Dirvane.ini beside the path it is started by.
        self.program = os.path.join(self.cgi_dir, "Dirvane")
        os.symlink(os.path.abspath(BIN), self.program)
        if ini is not None:
            write(os.path.join(self.cgi_dir, "Dirvane.ini"), ini)
        self.port = None
        self.process = None
        self.output = []
        self._lines = queue.Queue()

    def env(self, extra=None):
        env = dict(os.environ)
        env["DIRVANE_REGISTRY"] = self.registry
        env.update(extra or {})
        return env

    def httpd(self, *args, env=None, user=ME):
        """Runs dirvane-httpd to its end; returns (exit code, output text)."""
        serving = not {"--register", "--unregister"} & set(args)
        args = list(args) + (["--user", user] if user and serving else [])
        done = subprocess.run([HTTPD] + args, env=self.env(env), capture_output=True,
                              timeout=60)
        return done.returncode, (done.stdout + done.stderr).decode("utf-8", "replace")

    def register(self, conf="config.index"):
        code, out = self.httpd("--register", "--cgi", self.program, "--conf", conf)
        assert code == 0, out
        return out

    def start(self, port=None, extra_args=(), user=ME):
        """Starts the server and waits until it names its URL; user=None
        leaves the account to dirvane-httpd."""
        self.port = port or free_port()
        self.output = []
        self.process = subprocess.Popen(
            [HTTPD, "--root", self.docroot, "--port", str(self.port), "--state", self.state]
            + list(extra_args) + (["--user", user] if user else []),
            env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self._lines = queue.Queue()
        threading.Thread(target=self._read, args=(self.process, self._lines),
                         daemon=True).start()
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            try:
                line = self._lines.get(timeout=0.2)
            except queue.Empty:
                if self.process.poll() is not None:
                    break
                continue
            if line is None:
                break
            if line.startswith("Serving "):
                return
        self.stop()
        raise AssertionError("dirvane-httpd did not start:\n" + "".join(self.output))

    def _read(self, process, lines):
        for raw in process.stdout:
            text = raw.decode("utf-8", "replace")
            self.output.append(text)
            lines.put(text)
        lines.put(None)

    def stop(self, sig=signal.SIGINT):
        """Stops the server as Ctrl-C does; returns its exit code."""
        if self.process is None:
            return None
        process, self.process = self.process, None
        stop(process, sig)
        process.stdout.close()
        return process.returncode

    def close(self):
        self.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def url(self, path="/"):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def request(self, path, headers=None):
        """Sends one GET for the raw bytes `path` and reads to the end."""
        return request(self.port, path, headers)

    def run_direct(self, folder, script_name, agent, program=None):
        """Runs Dirvane as lighttpd does (folder as working directory, the
        settings file as argument 1); returns its whole output."""
        env = {"PATH": "/usr/bin:/bin", "SCRIPT_NAME": script_name, "HTTP_USER_AGENT": agent,
               "REMOTE_ADDR": "127.0.0.1", "SERVER_NAME": "127.0.0.1"}
        done = subprocess.run([program or self.program, os.path.join(folder, "config.index")],
                              cwd=folder, env=env, capture_output=True, timeout=60)
        return done.stdout
