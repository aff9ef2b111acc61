"""End-to-end: the access log, the request time-out and the program log."""

import glob
import os
import re
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from dirvane_run import WINE, Site, split_response, windows_path  # noqa: E402

RECORD = re.compile(rb"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[([0-9a-f]{8})\] (.*)\r\n$", re.S)


def spawn(site, env=None, args=None, cwd=None):
    """Starts Dirvane without waiting; returns the Popen."""
    return site.spawn(args=args, env=env, cwd=cwd)


class AccessLog(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.log = os.path.join(self.site.root, "logs", "access.log")
        self.site.write_ini("[index]\nlog=%s\nstyle=std\n" % self.log)
        self.site.add_file("a.txt")
        self.env = {"SCRIPT_NAME": "/pub/config.index", "REMOTE_ADDR": "192.0.2.7",
                    "HTTP_USER_AGENT": "TestAgent/1.0"}

    def tearDown(self):
        self.site.close()

    def records(self):
        with open(self.log, "rb") as f:
            return f.read().splitlines(keepends=True)

    def run_one(self, env):
        p = spawn(self.site, env)
        out, _ = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 0)
        return p.pid, out

    def test_one_record_per_response_with_the_process_id(self):
        pid, _ = self.run_one(self.env)
        pid2, _ = self.run_one(dict(self.env, HTTP_USER_AGENT="a, b (c)", REMOTE_HOST="h"))
        lines = self.records()
        self.assertEqual(len(lines), 2)
        m = RECORD.match(lines[0])
        self.assertIsNotNone(m, lines[0])
        if not WINE:  # Wine's process ids are not the host's
            self.assertEqual(int(m.group(1), 16), pid)
        self.assertEqual(m.group(2), b"DIR=/pub/, STYLE=std, FROM=192.0.2.7(), REFERER=, "
                                     b"AGENT=TestAgent/1.0, CODE=200")
        m = RECORD.match(lines[1])
        if not WINE:
            self.assertEqual(int(m.group(1), 16), pid2)
        self.assertEqual(m.group(2), b"DIR=/pub/, STYLE=std, FROM=192.0.2.7(h), REFERER=, "
                                     b"AGENT=a, b (c), CODE=200")

    def test_message_page_logs_its_status(self):
        for result, code in (("404", b"CODE=404"), ("5", b"CODE=005")):
            self.site.write_conf("[index]\nresult=%s\n" % result)
            self.run_one(self.env)
            self.assertTrue(self.records()[-1].endswith(code + b"\r\n"))

    def test_request_values_cannot_forge_or_lose_a_record(self):
        forged = "x\r\n01/01/01 00:00:00.000 [00000000] DIR=/forged/"
        # A blank-backslash-n in the style reads as a line feed.
        self.site.write_conf("[index]\nstyle=std \\nx\n")
        self.run_one(dict(self.env, HTTP_USER_AGENT=forged, HTTP_REFERER="r" * 9000))
        lines = self.records()
        self.assertEqual(len(lines), 1)
        m = RECORD.match(lines[0])
        self.assertIsNotNone(m)
        self.assertIn(b"AGENT=x__01/01/01 00:00:00.000 [00000000] DIR=/forged/, CODE=200",
                      m.group(2))
        self.assertIn(b"REFERER=" + b"r" * 1024 + b"..., AGENT=", m.group(2))
        self.assertIn(b"STYLE=std_x, FROM=", m.group(2))

    def test_no_record_without_log_or_with_vv_nolog(self):
        self.site.write_ini("[index]\n")
        self.run_one(self.env)
        self.assertFalse(os.path.exists(os.path.dirname(self.log)))
        self.site.write_ini("[index]\nlog=%s\n" % self.log)
        self.site.add_file("vv.nolog")
        self.run_one(self.env)
        self.assertFalse(os.path.exists(self.log))

    def test_twenty_processes_at_once_leave_twenty_whole_lines(self):
        procs = [spawn(self.site, self.env) for _ in range(20)]
        for p in procs:
            p.communicate(timeout=60)
            self.assertEqual(p.returncode, 0)
        lines = self.records()
        self.assertEqual(len(lines), 20)
        pids = set()
        for line in lines:
            m = RECORD.match(line)
            self.assertIsNotNone(m, line)
            self.assertTrue(m.group(2).endswith(b"CODE=200"))
            pids.add(int(m.group(1), 16))
        if WINE:  # Wine's process ids are not the host's: twenty distinct ones
            self.assertEqual(len(pids), len(procs))
        else:
            self.assertEqual(pids, {p.pid for p in procs})


class Timeout(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.log = os.path.join(self.site.root, "access.log")
        self.site.add_file("a.txt")

    def tearDown(self):
        self.site.close()

    def test_zero_timeout_ends_at_the_first_tick_without_output(self):
        for value in ("0", "abc"):
            with self.subTest(timeout=value):
                self.site.write_ini("[index]\ntimeout=%s\nlog=%s\n" % (value, self.log))
                start = time.monotonic()
                code, out = self.site.run()
                self.assertEqual((code, out), (2, b""))
                self.assertLess(time.monotonic() - start, 30)
                self.assertFalse(os.path.exists(self.log))

    def test_huge_timeout_does_not_wrap_to_zero(self):
        # 536870912 s is 2^32 * 125 ms: in 32-bit milliseconds it would wrap
        # to 0, a request that could never be answered.
        self.site.write_ini("[index]\ntimeout=536870912\n")
        code, out = self.site.run()
        self.assertEqual(code, 0)
        self.assertIn(b'<a href="a.txt">a.txt</a>', out)

    @unittest.skipIf(WINE, "Windows has no named pipes in the file system")
    def test_request_that_runs_too_long_ends_with_code_2(self):
        # Opening a named pipe for writing blocks until a reader comes: the
        # request hangs until the watchdog ends it.
        fifo = os.path.join(self.site.root, "out.fifo")
        os.mkfifo(fifo)
        self.site.write_ini("[index]\ntimeout=1\n")
        code, out = self.site.run(args=[os.path.join(self.site.folder, "config.index"), fifo])
        self.assertEqual((code, out), (2, b""))

    @unittest.skipIf(WINE, "Windows has no named pipes in the file system")
    def test_access_log_that_blocks_leaves_the_page_unharmed(self):
        # A named pipe without a reader as the access log: its open never
        # returns. The log gives up on its writer after its bounded waits and
        # the page goes out, well before the request's time-out.
        fifo = os.path.join(self.site.root, "access.fifo")
        os.mkfifo(fifo)
        self.site.write_ini("[index]\ntimeout=20\nlog=%s\n" % fifo)
        code, out = self.site.run()
        self.assertEqual(code, 0)
        self.assertIn(b'<a href="a.txt">a.txt</a>', out)

    def test_request_stuck_on_a_full_pipe_ends_with_code_2(self):
        # A page larger than the pipe holds, and nobody reading: the write
        # blocks until the watchdog ends the process.
        for i in range(3000):
            self.site.add_file("file-with-a-long-name-%05d.txt" % i)
        self.site.write_ini("[index]\ntimeout=1\n")
        p = spawn(self.site)
        try:
            code = p.wait(timeout=60)
        finally:
            if p.poll() is None:
                p.kill()
            out, _ = p.communicate()
        self.assertEqual(code, 2)
        self.assertLess(len(out), 3000 * 80)  # the page never went out whole

    def test_request_in_time_is_not_held_up_by_its_threads(self):
        self.site.write_ini("[index]\nlog=%s\n" % self.log)
        start = time.monotonic()
        code, _ = self.site.run()
        self.assertEqual(code, 0)
        # Threads that polled would hold every request for 100 ms or more.
        self.assertLess(time.monotonic() - start, 5)


def tree(top, skip):
    """Every file below `top` but those in `skip`, with size and time, and
    every folder (by its name alone)."""
    found = {}
    for folder, dirs, files in os.walk(top):
        dirs[:] = [d for d in dirs if os.path.join(folder, d) != skip]
        for name in dirs:
            found[os.path.join(folder, name)] = None
        for name in files:
            st = os.lstat(os.path.join(folder, name))
            found[os.path.join(folder, name)] = (st.st_size, st.st_mtime_ns)
    return found


class FolderLogLocations(unittest.TestCase):
    """A log location from the listed folder (its settings file's "log", line
    1 of its vv.path) is honoured only inside that folder, reached without
    following a link; folderlogs=1 in the common settings lifts the limit."""

    def setUp(self):
        self.site = Site()
        self.site.add_file("a.txt")
        self.out = os.path.join(self.site.root, "out")
        os.mkdir(self.out)
        self.target = os.path.join(self.out, "target.log")
        with open(self.target, "wb") as f:
            f.write(b"kept\n")
        self.env = {"SCRIPT_NAME": "/pub/config.index", "REMOTE_ADDR": "192.0.2.7"}

    def tearDown(self):
        self.site.close()

    def test_locations_from_the_folder_stay_inside_it(self):
        out = self.out
        absolute = windows_path(out) if WINE else out
        links = not WINE  # Wine follows the host's links; Windows sees no reparse point
        cases = [
            # (name, folderlogs, folder "log", vv.path line 1, links to make,
            #  file expected in the folder, files expected outside)
            ("absolute", 0, os.path.join(absolute, "abs.log"), None, (), None, None),
            ("dot-dot", 0, "..\\out\\up.log", None, (), None, None),
            ("dot-dot slash", 0, "logs/../../out/up.log", None, (), None, None),
            ("drive", 0, "D:\\logs\\d.log", None, (), None, None),
            ("good relative", 0, "logs\\%Y\\good.log", None, (), "logs/*/good.log", None),
            ("vv.path outside", 0, None, absolute, (), None, None),
            ("vv.path relative", 0, None, "inside", (), "inside/acc.log", None),
            ("folderlogs=1", 1, os.path.join(absolute, "abs.log"), None, (), None, ("abs.log",)),
            # The trace, refused before the common settings are read, opens
            # once they allow it.
            ("vv.path folderlogs=1", 1, None, absolute, (), None, ("acc.log", "dv*_0000.log")),
        ]
        if links:
            cases += [
                ("linked folder", 0, "linked\\l.log", None, (("linked", out),), None, None),
                ("linked file", 0, "sym.log", None, (("sym.log", self.target),), None, None),
                ("linked deeper", 0, "logs\\linked\\l.log", None,
                 (("logs/linked", out),), None, None),
            ]
        written_outside = 0
        for name, folderlogs, log, line1, made, inside, outside in cases:
            with self.subTest(name):
                folder = os.path.join(self.site.root, "pub-" + name.replace(" ", "-"))
                os.mkdir(folder)
                with open(os.path.join(folder, "a.txt"), "wb"):
                    pass
                self.site.write_ini("[index]\nlog=acc.log\nfolderlogs=%d\n" % folderlogs)
                if log is not None:
                    self.site.write_conf("[index]\nlog=%s\n" % log, folder=folder)
                if line1 is not None:
                    with open(os.path.join(folder, "vv.path"), "wb") as f:
                        f.write(line1.encode() + b"\r\n")
                for link, to in made:
                    os.makedirs(os.path.dirname(os.path.join(folder, link)), exist_ok=True)
                    os.symlink(to, os.path.join(folder, link))
                before = tree(self.site.root, folder)
                code, page = self.site.run(env=self.env, cwd=folder)
                self.assertEqual(code, 0)
                self.assertIn(b'<a href="a.txt">a.txt</a>', page)
                after = tree(self.site.root, folder)
                changed = {p for p in after if before.get(p) != after[p]}
                expected = set()
                for pattern in outside or ():
                    found = glob.glob(os.path.join(out, pattern))
                    self.assertEqual(len(found), 1, pattern)
                    expected.add(found[0])
                self.assertEqual(changed, expected)
                written_outside += len(changed - expected)
                with open(self.target, "rb") as f:
                    self.assertEqual(f.read(), b"kept\n")
                if inside:
                    found = glob.glob(os.path.join(folder, inside))
                    self.assertEqual(len(found), 1, inside)
                    with open(found[0], "rb") as f:
                        self.assertIn(b"DIR=/pub/, STYLE=", f.read())
                for path in expected:
                    os.remove(path)
        self.assertEqual(written_outside, 0)

    @unittest.skipIf(WINE, "Wine follows the host's links")
    def test_the_trace_says_why_a_location_has_no_file(self):
        # vv.path's line 1 puts the trace and the access log into "trace";
        # the log's name there is a link to a file outside.
        os.mkdir(os.path.join(self.site.folder, "trace"))
        os.symlink(self.target, os.path.join(self.site.folder, "trace", "sym.log"))
        with open(os.path.join(self.site.folder, "vv.path"), "wb") as f:
            f.write(b"trace\r\n")
        self.site.write_conf("[index]\nlog=sym.log\n")
        code, _ = self.site.run(env=self.env)
        self.assertEqual(code, 0)
        with open(self.target, "rb") as f:
            self.assertEqual(f.read(), b"kept\n")
        names = [n for n in os.listdir(os.path.join(self.site.folder, "trace")) if n != "sym.log"]
        with open(os.path.join(self.site.folder, "trace", names[0]), "rb") as f:
            self.assertIn(b'vvLog: "trace/sym.log" passes a link or a file that is no plain '
                          b'file: no log file', f.read())


class ProgramLog(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.logdir = os.path.join(self.site.root, "trace")
        self.site.add_file("a.txt")
        self.site.add_file("skip.bak")

    def tearDown(self):
        self.site.close()

    def test_vv_path_writes_the_trace(self):
        # A relative line 1 keeps the trace inside the listed folder.
        self.logdir = os.path.join(self.site.folder, "trace")
        with open(os.path.join(self.site.folder, "vv.path"), "wb") as f:
            f.write(b"trace\r\n")
        p = spawn(self.site, {"SCRIPT_NAME": "/pub/config.index"})
        out, _ = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 0)
        pid = p.pid
        if WINE:  # the Windows process id names the file
            names = os.listdir(self.logdir)
            self.assertEqual(len(names), 1, names)
            pid = int(re.fullmatch(r"dv(\d+)_0000\.log", names[0]).group(1))
        name = os.path.join(self.logdir, "dv%04d_0000.log" % pid)
        with open(name, "rb") as f:
            text = f.read()
        lines = text.split(b"\r\n")
        self.assertEqual(lines[0], b"=" * 24 + b" << Log  Open >> " + b"=" * 24)
        self.assertEqual(lines[-2], b"=" * 24 + b" << Log Close >> " + b"=" * 24)
        self.assertEqual(lines[-1], b"")
        body = [l.split(b"] ", 1)[1] for l in lines[1:-2]]
        self.assertEqual(body[0], b"vvLog: Windows [C++] (Nov04)")
        # The log names its file as the system spells it: backslashes and
        # drive Z: under Wine.
        shown = windows_path(name) if WINE else name
        self.assertEqual(body[1], b"vvLog: " + shown.encode())
        self.assertRegex(body[2], rb"^vvLog: ProcID = %d \(0x%08x\) @\d{17}$" % (pid, pid))
        self.assertEqual(body[3], b"main: >>> Enter.")
        self.assertEqual(body[4], b"main: Arg: argc = 2")
        self.assertIn(b".Corvane::Corvane: >>> Enter.", body)
        self.assertIn(b"..Corvane::put_normal: skip.bak ignored.", body)
        self.assertIn(b".Corvane::Corvane: m_ignExt = (.bak,.bin,.index,.log,.obj)", body)
        self.assertEqual(body[-1], b"main: <<< Exit.")
        # A scope dumps its arguments first; a row traces its name before
        # the look-ups that build its cells.
        enter = body.index(b"..Corvane::put_normal: >>> Enter.")
        self.assertEqual(body[enter + 1:enter + 3], [b'..Corvane::put_normal: Arg: title = ""',
                                                     b"..Corvane::put_normal: Arg: imode = false"])
        row = body.index(b'..Corvane::put_normal: name = "a.txt"')
        self.assertEqual(body[row + 1], b"...Corvane::get_icon: >>> Enter.")
        # Entry and exit lines pair up.
        enters = [l[:-len(b">>> Enter.")] for l in body if l.endswith(b">>> Enter.")]
        exits = [l[:-len(b"<<< Exit.")] for l in body if l.endswith(b"<<< Exit.")]
        self.assertEqual(sorted(enters), sorted(exits))

    def test_without_vv_path_no_log_is_created(self):
        before = set(os.listdir(self.site.root))
        code, _ = self.site.run()
        self.assertEqual(code, 0)
        self.assertEqual(set(os.listdir(self.site.root)), before)


if __name__ == "__main__":
    unittest.main()
