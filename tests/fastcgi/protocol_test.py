"""Dirvane's FastCGI server spoken to directly on its socket, as a visitor's
or a local user's client would: requests that stop half-way, a request that
leaves a thread behind, requests with their own TZ, a traced request, and
the program started as root."""

import os
import shutil
import signal
import socket
import stat
import struct
import subprocess
import tempfile
import time
import unittest

from dirvane_test.files import write
from dirvane_test.programs import BIN
from dirvane_test.servers import stop

BEGIN, END, PARAMS, STDIN, STDOUT = 1, 3, 4, 5, 6
AS_ROOT = os.geteuid() == 0


def record(kind, content=b"", request=1):
    return struct.pack(">BBHHBx", 1, kind, request, len(content), 0) + content


def length(n):
    return bytes([n]) if n < 128 else struct.pack(">I", n | 0x80000000)


def pairs(params):
    out = b""
    for name, value in params.items():
        name, value = name.encode(), value.encode()
        out += length(len(name)) + length(len(value)) + name + value
    return out


def begin():
    return record(BEGIN, struct.pack(">HB5x", 1, 0))


def children_of(pid):
    with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
        return [int(p) for p in f.read().split()]


def vm_size(pid):
    with open("/proc/%d/status" % pid) as f:
        return next(int(line.split()[1]) for line in f if line.startswith("VmSize:"))


class Site:
    """A program folder (Dirvane.ini with a relative access log) and a
    document root, readable by www-data, and Dirvane listening on a socket
    it was given as standard input."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="dirvane-fcgi-protocol-")
        os.chmod(self.root, 0o755)
        self.program = os.path.join(self.root, "cgi", "Dirvane")
        os.makedirs(os.path.dirname(self.program))
        os.symlink(os.path.abspath(BIN), self.program)
        self.docroot = os.path.join(self.root, "pub")
        for folder in ("zones", "piped", "traced"):
            path = os.path.join(self.docroot, folder)
            os.makedirs(path)
            # The server may run as www-data: it writes its logs here.
            os.chmod(path, 0o777)
            write(os.path.join(path, "config.index"), "")
        for name, when in (("winter.txt", 1700000000), ("summer.txt", 1720000000)):
            path = write(os.path.join(self.docroot, "zones", name), name)
            os.utime(path, (when, when))
        os.chmod(self.docroot, 0o755)
        # An access log whose open blocks: a named pipe without a reader.
        fifo = os.path.join(self.docroot, "piped", "access.log")
        os.mkfifo(fifo)
        os.chmod(fifo, 0o666)
        write(os.path.join(self.docroot, "traced", "vv.path"), "trace\n")
        self.write_ini("")
        self.socket = os.path.join(self.root, "fcgi.sock")
        self.server = None
        self.errors = None

    def write_ini(self, extra, timeout=5):
        write(self.program + ".ini", "[index]\ntimeout=%d\nlog=access.log\n%s" % (timeout, extra))

    def add_folder(self, name, files):
        """A folder of `files` empty files, for a page of about 120 bytes
        each."""
        folder = os.path.join(self.docroot, name)
        os.makedirs(folder)
        write(os.path.join(folder, "config.index"), "")
        for n in range(files):
            write(os.path.join(folder, "file%05d.txt" % n), "")

    def start(self, children=1, blocked=()):
        listening = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        listening.bind(self.socket)
        os.chmod(self.socket, 0o666)
        listening.listen(64)
        if self.errors is not None:
            self.errors.close()
        self.errors = tempfile.TemporaryFile()
        env = {"PATH": "/usr/bin:/bin", "DIRVANE_FASTCGI_CHILDREN": str(children)}
        self.server = subprocess.Popen([self.program], stdin=listening.fileno(), env=env,
                                       stdout=subprocess.DEVNULL, stderr=self.errors,
                                       preexec_fn=lambda: signal.pthread_sigmask(
                                           signal.SIG_BLOCK, blocked))
        listening.close()

    def stderr(self):
        self.errors.seek(0)
        return self.errors.read()

    def close(self):
        stop(self.server)
        if self.errors is not None:
            self.errors.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def params(self, folder, **extra):
        params = {"SCRIPT_FILENAME": os.path.join(self.docroot, folder, "config.index"),
                  "SCRIPT_NAME": "/%s/config.index" % folder, "REMOTE_ADDR": "127.0.0.1",
                  "HTTP_USER_AGENT": "TestAgent/1.0"}
        params.update(extra)
        return params

    def connect(self):
        s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        s.settimeout(60)
        s.connect(self.socket)
        return s

    def fastcgi(self, folder, **extra):
        """The CGI response of one request, None when the connection closed
        without the end of the request. The lengths of its STDOUT records
        are left in self.records."""
        with self.connect() as s:
            s.sendall(begin() + record(PARAMS, pairs(self.params(folder, **extra)))
                      + record(PARAMS) + record(STDIN))
            data = b""
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return None
                data += chunk
                out, at, self.records = b"", 0, []
                while len(data) - at >= 8:
                    _, kind, _, size, padding = struct.unpack(">BBHHB", data[at:at + 7])
                    if len(data) - at < 8 + size + padding:
                        break
                    if kind == STDOUT:
                        out += data[at + 8:at + 8 + size]
                        self.records.append(size)
                    if kind == END:
                        return out
                    at += 8 + size + padding

    def cgi(self, folder, **extra):
        """The CGI program's response for the same request, run at once."""
        env = dict(self.params(folder, **extra), PATH="/usr/bin:/bin")
        cwd = os.path.join(self.docroot, folder)
        return subprocess.run([self.program, env["SCRIPT_FILENAME"]], cwd=cwd, env=env,
                              capture_output=True, timeout=60).stdout


@unittest.skipUnless(BIN, "DIRVANE_BIN is not set")
class Protocol(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.addCleanup(self.site.close)

    def test_half_requests_cost_only_their_own_connections(self):
        # One child: every client below is accepted by it. Each stops
        # half-way (one byte; BEGIN alone; PARAMS without their empty record;
        # a pair that declares a value of 1 GB), and each stays open.
        self.site.start(children=1)
        params = record(PARAMS, pairs(self.site.params("zones")))
        huge = length(4) + length(1 << 30) + b"NAME" + b"x" * 1000
        halves = (b"\x01", begin(), begin() + params,
                  begin() + record(PARAMS, huge) + record(PARAMS) + record(STDIN))
        stalled = []
        for half in halves:
            s = self.site.connect()
            s.sendall(half)
            stalled.append(s)
        self.addCleanup(lambda: [s.close() for s in stalled])
        # The next request is answered as the CGI program answers it, while
        # they all still wait.
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        self.assertIsNone(self.site.server.poll())
        # The oversized head is refused without reserving its size: the
        # child is no larger than its parent, give or take a page's work.
        parent = vm_size(self.site.server.pid)
        for child in children_of(self.site.server.pid):
            self.assertLess(vm_size(child) - parent, 256 * 1024, "kB")

    def test_a_request_leaves_no_thread_in_its_child(self):
        # The access log of "piped" is a named pipe: its writer thread
        # blocks in the open and outlives the request.
        self.site.start(children=1)
        fifo = os.path.join(self.site.docroot, "piped", "access.log")
        try:
            self.assertIsNotNone(self.site.fastcgi("piped"))
            for _ in range(3):
                self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
            children = children_of(self.site.server.pid)
            self.assertTrue(children)
            for child in children:
                self.assertEqual(os.listdir("/proc/%d/task" % child), [str(child)])
            # The administrator's absolute log in the same pipe, still
            # without a reader: the record fails at once, nothing waits for
            # a reader, and the child goes on.
            self.site.write_ini("log=%s\n" % fifo)
            for _ in range(2):
                self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
            self.assertEqual(children_of(self.site.server.pid), children)
        finally:
            # Let a blocked open go on, so nothing waits on the pipe.
            os.close(os.open(fifo, os.O_RDONLY | os.O_NONBLOCK))

    def test_each_request_has_its_own_zone(self):
        # One child answers them all; each page shows the times in the
        # request's own TZ (none: the system's), as the CGI program does.
        self.site.start(children=1)
        zones = ("Asia/Tokyo", "America/New_York", None, "Asia/Tokyo", "UTC", None,
                 "America/New_York")
        pages = set()
        for zone in zones:
            with self.subTest(zone=zone):
                extra = {"TZ": zone} if zone else {}
                page = self.site.fastcgi("zones", **extra)
                self.assertEqual(page, self.site.cgi("zones", **extra))
                pages.add(page)
        self.assertGreaterEqual(len(pages), 3)
        self.assertEqual(len(children_of(self.site.server.pid)), 1)

    def test_vv_path_traces_the_request(self):
        self.site.start(children=1)
        trace = os.path.join(self.site.docroot, "traced", "trace")
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        page = self.site.fastcgi("traced")
        self.assertIsNotNone(page)
        files = [name for name in os.listdir(trace) if name.startswith("dv")]
        self.assertEqual(len(files), 1, files)
        with open(os.path.join(trace, files[0]), "rb") as f:
            fastcgi = f.read()
        shutil.rmtree(trace)
        self.assertEqual(page, self.site.cgi("traced"))
        cgi_files = [name for name in os.listdir(trace) if name.startswith("dv")]
        self.assertEqual(len(cgi_files), 1, cgi_files)
        with open(os.path.join(trace, cgi_files[0]), "rb") as f:
            cgi = f.read()

        def scopes(text):
            return {line.split(b"] ", 1)[1].lstrip(b".") for line in text.split(b"\r\n")
                    if line.endswith(b">>> Enter.") and b"] " in line}
        self.assertIn(b"Corvane::put: >>> Enter.", scopes(fastcgi))
        self.assertLessEqual(scopes(cgi) - scopes(fastcgi), {b"main: >>> Enter."})
        # The traced request ended its child; the next one is answered.
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))

    def test_a_response_goes_out_in_records_as_large_as_they_can_be(self):
        # A page as a few records of 65535 bytes (the web server wakes once
        # per write), the last one shorter, then the empty record; the bytes
        # are the CGI program's, in a small page and in one larger than
        # what the server holds before it writes.
        self.site.add_folder("large", 2500)
        self.site.start(children=1)
        for folder, least in (("zones", 100), ("large", 4 * 65535)):
            with self.subTest(folder=folder):
                page = self.site.fastcgi(folder)
                self.assertEqual(page, self.site.cgi(folder))
                self.assertGreater(len(page), least)
                full, last = divmod(len(page), 65535)
                self.assertEqual(self.site.records, [65535] * full + [last, 0])

    def test_the_time_out_holds_until_the_response_is_out_and_no_longer(self):
        # Started with SIGALRM blocked, as a web server may start its
        # programs, and with a time-out of one second.
        self.site.add_folder("large", 10000)
        self.site.write_ini("", timeout=1)
        self.site.start(children=1, blocked=(signal.SIGALRM,))
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        child = children_of(self.site.server.pid)
        # Waiting for the next request is not part of the time-out.
        time.sleep(2)
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        self.assertEqual(children_of(self.site.server.pid), child)
        # A client that reads none of a large page holds the child in its
        # writes until the time-out ends it; the next request is answered.
        with self.site.connect() as s:
            s.sendall(begin() + record(PARAMS, pairs(self.site.params("large")))
                      + record(PARAMS) + record(STDIN))
            for _ in range(300):
                if children_of(self.site.server.pid) != child:
                    break
                time.sleep(0.1)
            self.assertNotEqual(children_of(self.site.server.pid), child)
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))

    def test_a_settings_change_holds_from_the_next_request(self):
        # The child keeps the common settings file's text between requests;
        # a change of the same size in the same file still counts at once.
        self.site.start(children=1)
        self.site.write_ini("result=000\n")
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        child = children_of(self.site.server.pid)
        self.site.write_ini("result=404\n")
        page = self.site.fastcgi("zones")
        self.assertEqual(page, self.site.cgi("zones"))
        self.assertTrue(page.startswith(b"Status: 404"), page[:40])
        self.assertEqual(children_of(self.site.server.pid), child)

    def test_a_folder_change_shows_at_the_next_request(self):
        # The child keeps what it read of a folder between requests; a file
        # that grows and one that is added show on the next page.
        self.site.start(children=1)
        for _ in range(2):
            self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        child = children_of(self.site.server.pid)
        zones = os.path.join(self.site.docroot, "zones")
        with open(os.path.join(zones, "winter.txt"), "a") as f:
            f.write("x" * 5000)
        write(os.path.join(zones, "added.txt"), "new")
        page = self.site.fastcgi("zones")
        self.assertEqual(page, self.site.cgi("zones"))
        self.assertIn(b"added.txt", page)
        self.assertIn(b"4 KB", page)
        self.assertEqual(children_of(self.site.server.pid), child)

    @unittest.skipUnless(AS_ROOT, "needs root")
    def test_started_as_root_runs_as_www_data_or_as_told(self):
        self.site.start(children=1)
        self.assertEqual(self.site.fastcgi("zones"), self.site.cgi("zones"))
        www = subprocess.run(["id", "-u", "www-data"], capture_output=True, text=True)
        for pid in [self.site.server.pid] + children_of(self.site.server.pid):
            with open("/proc/%d/status" % pid) as f:
                uids = next(line.split()[1:] for line in f if line.startswith("Uid:"))
            self.assertEqual(set(uids), {www.stdout.strip()})
        self.assertIn(b"runs as www-data", self.site.stderr())
        stop(self.site.server)
        os.unlink(self.site.socket)
        # An administrator's choice: root stays; an account that does not
        # exist leaves the server refusing.
        self.site.write_ini("[process]\nuser=root\n")
        self.site.start(children=1)
        self.assertIsNotNone(self.site.fastcgi("zones"))
        self.assertEqual(os.stat("/proc/%d" % self.site.server.pid).st_uid, 0)
        self.assertIn(b"runs as root", self.site.stderr())
        stop(self.site.server)
        os.unlink(self.site.socket)
        self.site.write_ini("[process]\nuser=no-such-user-here\n")
        self.site.start(children=1)
        self.assertEqual(self.site.server.wait(timeout=30), 3)
        self.assertIn(b"will not run as root", self.site.stderr())


if __name__ == "__main__":
    unittest.main()
