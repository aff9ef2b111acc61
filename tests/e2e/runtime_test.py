"""End-to-end: the access log, the request time-out and the program log."""

import glob
import os
import re
import shutil
import stat
import subprocess
import time
import unittest

from dirvane_test.cgi_site import Site, split_response
from dirvane_test.programs import WINE, windows_path

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


    @unittest.skipIf(WINE, "a hundred Wine processes do not start together")
    def test_processes_making_the_log_folders_together_lose_no_record(self):
        # The folders of a folder's log are made by whichever process comes
        # first; one made a moment earlier by another is no failure.
        self.site.write_conf("[index]\nlog=a/b/c/d/e/f/acc.log\n")
        # Each process waits at a named pipe until all have started, so that
        # they make the folders at the same moment.
        gate = os.path.join(self.site.root, "gate")
        os.mkfifo(gate)
        held = os.open(gate, os.O_RDWR)
        command, cwd, env = self.site.command(env=self.env)
        procs = [subprocess.Popen(["sh", "-c", 'read _ < "$0"; exec "$@"', gate] + command,
                                  cwd=cwd, env=env, stdout=subprocess.PIPE)
                 for _ in range(100)]
        for p in procs:
            while not any(os.path.realpath(os.path.join("/proc/%d/fd" % p.pid, fd)) == gate
                          for fd in os.listdir("/proc/%d/fd" % p.pid)):
                time.sleep(0.01)
        os.close(held)
        for p in procs:
            p.communicate(timeout=120)
            self.assertEqual(p.returncode, 0)
        with open(os.path.join(self.site.folder, "a/b/c/d/e/f/acc.log"), "rb") as f:
            self.assertEqual(len(f.read().splitlines()), len(procs))

    @unittest.skipIf(WINE, "Windows files have no mode bits")
    def test_log_files_are_made_as_any_program_makes_files(self):
        # The umask and the folder decide who else may append (the web
        # server's account after the administrator's first run).
        command, cwd, env = self.site.command(env=self.env)
        for conf in ("[index]\nlog=inside.log\n", None):
            if conf:
                self.site.write_conf(conf)
            else:
                os.remove(os.path.join(self.site.folder, "config.index"))
            subprocess.run(command, cwd=cwd, env=env, capture_output=True, timeout=60,
                           preexec_fn=lambda: os.umask(0o002), check=True)
        for path in (self.log, os.path.join(self.site.folder, "inside.log")):
            self.assertEqual(stat.S_IMODE(os.stat(path).st_mode), 0o664, path)

    def test_a_log_file_that_cannot_be_opened_is_said_once_on_standard_error(self):
        blocker = os.path.join(self.site.root, "blocker")
        with open(blocker, "wb"):
            pass
        log = os.path.join(blocker, "access.log")
        self.site.write_ini("[index]\nlog=%s\n" % log)
        p = spawn(self.site, self.env)
        out, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 0)
        head, body = split_response(out)
        self.assertIn(b'<a href="a.txt">a.txt</a>', body)
        self.assertNotIn(b"access.log", out)
        said = [line for line in err.splitlines() if b"access.log" in line]
        self.assertEqual(len(said), 1, err)
        shown = windows_path(log) if WINE else log
        self.assertIn(b'"%s": ' % shown.encode(), said[0])


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

    def test_zero_timeout_still_opens_the_output_file(self):
        # The display test of Vanecfg waits for the output file.
        out = os.path.join(self.site.root, "page.html")
        for existed in (True, False):
            with self.subTest(existed=existed):
                if existed:
                    with open(out, "wb") as f:
                        f.write(b"the page of an earlier test")
                elif os.path.exists(out):
                    os.remove(out)
                self.site.write_ini("[index]\ntimeout=0\n")
                code, page = self.site.run(args=[os.path.join(self.site.folder, "config.index"),
                                                 out])
                self.assertEqual((code, page), (2, b""))
                with open(out, "rb") as f:
                    self.assertEqual(f.read(), b"")

    @unittest.skipIf(WINE or not shutil.which("strace"), "needs strace on the host")
    def test_watchdog_is_stopped_once_the_response_is_written(self):
        calls = os.path.join(self.site.root, "calls.txt")
        # A sanitized build's leak check does not work under strace.
        command, cwd, env = self.site.command(env={"ASAN_OPTIONS": "detect_leaks=0"})
        done = subprocess.run(["strace", "-f", "-o", calls, "-e", "trace=setitimer,write,writev"]
                              + command, cwd=cwd, env=env, capture_output=True, timeout=60)
        self.assertEqual(done.returncode, 0)
        self.assertIn(b"a.txt", done.stdout)
        with open(calls) as f:
            trace = f.read()
        page = re.search(r"writev?\(1, ", trace).start()
        self.assertRegex(trace[page:], r"setitimer\(ITIMER_REAL, \{it_interval=\{tv_sec=0, "
                                       r"tv_usec=0\}, it_value=\{tv_sec=0, tv_usec=0\}\}")

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
                # The common settings' relative "log" lands in the folder:
                # the folder owner's link there is not followed either.
                ("common log linked", 0, None, None, (("acc.log", self.target),), None, None),
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
        # A name that would start a forged line, and a value whose dump is
        # longer than a line may be.
        if not WINE:
            self.site.add_file(b"x\r\n01-01-01 00:00:00.000 [00000000] forged")
        self.site.write_conf("[index]\nnote=%s\n" % ("n" * 9000))
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
        for line in lines[1:-2]:
            self.assertRegex(line, rb"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{8}\] ")
        body = [l.split(b"] ", 1)[1] for l in lines[1:-2]]
        # The long dump is cut and marked, and the trace goes on.
        cut = [l for l in body if l.startswith(b".Corvane::Corvane: m_conf = ")]
        self.assertEqual(len(cut), 1)
        self.assertTrue(cut[0].endswith(b"n...[cut]"))
        self.assertLessEqual(len(cut[0]), 8000)
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

    def trace_lines(self, folder):
        """The lines of every trace file under `folder`/trace, in order."""
        lines = []
        for name in sorted(n for n in os.listdir(os.path.join(folder, "trace"))
                           if n.startswith("dv")):
            with open(os.path.join(folder, "trace", name), "rb") as f:
                lines += f.read().split(b"\r\n")[:-1]
        return lines

    @unittest.skipIf(WINE, "a traced 50 000-entry folder runs too long under Wine")
    def test_a_long_trace_keeps_every_line_up_to_its_end(self):
        # Lines come faster than the writer writes them; the queue is
        # bounded, and every line of it is written before the close banner,
        # also when the time-out ends the request.
        # 50 000 traced rows take two seconds or more even when each line is
        # written on the request's own thread, so the 1-second run ends in
        # its time-out on a quiet machine too.
        entries = 50000
        for i in range(entries):
            self.site.add_file("f%05d.txt" % i)
        with open(os.path.join(self.site.folder, "vv.path"), "wb") as f:
            f.write(b"trace\r\n")
        log = os.path.join(self.site.root, "access.log")
        row = re.compile(rb'^\S+ \S+ \[[0-9a-f]{8}\] \.\.Corvane::put_normal: name = '
                         rb'"f(\d{5})\.txt"$')
        close = b"=" * 24 + b" << Log Close >> " + b"=" * 24
        for timeout in (60, 1):
            with self.subTest(timeout=timeout):
                shutil.rmtree(os.path.join(self.site.folder, "trace"), ignore_errors=True)
                self.site.write_ini("[index]\ntimeout=%d\nlog=%s\n" % (timeout, log))
                code, out = self.site.run()
                lines = self.trace_lines(self.site.folder)
                rows = [int(m.group(1)) for m in map(row.match, lines) if m]
                self.assertEqual(lines[-1], close)
                if timeout == 60:
                    self.assertEqual(code, 0)
                    self.assertEqual(rows, list(range(entries)))
                    self.assertTrue(lines[-2].endswith(b"] main: <<< Exit."))
                    continue
                # A traced request of 50 000 rows takes longer than a second:
                # nothing goes out, no record is written, and the trace holds
                # an unbroken run of rows and ends in the time-out.
                self.assertEqual((code, out), (2, b""))
                self.assertFalse(os.path.exists(log))
                self.assertEqual(rows, list(range(len(rows))))
                self.assertTrue(lines[-2].endswith(b"] itCallback#1: Session timeout."))

    @unittest.skipIf(WINE, "Windows has no named pipes in the file system")
    def test_a_named_pipe_as_vv_path_holds_nothing_up(self):
        os.mkfifo(os.path.join(self.site.folder, "vv.path"))
        log = os.path.join(self.site.root, "access.log")
        self.site.write_ini("[index]\ntimeout=3\nlog=%s\n" % log)
        code, out = self.site.run()
        self.assertEqual(code, 0)
        self.assertIn(b'<a href="a.txt">a.txt</a>', out)
        with open(log, "rb") as f:
            self.assertEqual(len(f.read().splitlines()), 1)

    def test_folderlogs_opens_the_trace_before_the_request_goes_on(self):
        # Line 1 of vv.path leads out of the folder: the trace opens once the
        # common settings allow it, and holds the request from there on.
        out = os.path.join(self.site.root, "traces")
        with open(os.path.join(self.site.folder, "vv.path"), "wb") as f:
            f.write((windows_path(out) if WINE else out).encode() + b"\r\n")
        self.site.write_ini("[index]\nfolderlogs=1\n")
        for _ in range(10):
            shutil.rmtree(out, ignore_errors=True)
            code, _ = self.site.run()
            self.assertEqual(code, 0)
            names = os.listdir(out)
            self.assertEqual(len(names), 1)
            with open(os.path.join(out, names[0]), "rb") as f:
                text = f.read()
            self.assertIn(b"] .Corvane::Corvane: m_conf = ", text)
            self.assertIn(b'] ..Corvane::put_normal: name = "a.txt"', text)
            self.assertIn(b"] main: <<< Exit.\r\n", text)

    @unittest.skipIf(WINE, "Windows paths end at 260 characters")
    def test_deep_folders_have_their_logs_and_say_when_a_path_is_too_long(self):
        # 600 bytes deep: past the 260 of Windows, well within the system's.
        # vv.path puts the trace and the access log into "t".
        deep = self.site.folder
        for _ in range(3):
            deep = os.path.join(deep, "d" * 199)
        os.makedirs(deep)
        with open(os.path.join(deep, "vv.path"), "wb") as f:
            f.write(b"t\r\n")
        name = "access-log-with-a-long-name.log"
        self.site.write_ini("[index]\nlog=%s\n" % name)
        code, _ = self.site.run(cwd=deep)
        self.assertEqual(code, 0)
        with open(os.path.join(deep, "t", name), "rb") as f:
            self.assertEqual(len(f.read().splitlines()), 1)
        (trace,) = [n for n in os.listdir(os.path.join(deep, "t")) if n.startswith("dv")]
        with open(os.path.join(deep, "t", trace), "rb") as f:
            self.assertIn(b"] main: <<< Exit.\r\n", f.read())

        # Just short of the system's limit: the trace's name still fits, the
        # access log's does not, and the trace says so.
        limit = os.pathconf("/", "PC_PATH_MAX") - 1
        deeper = deep
        while len(deeper) + 1 + 200 < limit - 25:
            deeper = os.path.join(deeper, "e" * 200)
        deeper = os.path.join(deeper, "f" * (limit - 25 - len(deeper) - 1))
        parts = os.path.relpath(deeper, self.site.root).split(os.sep)
        made = self.site.root
        for part in parts:  # each step relative: the whole path is too long for mkdir
            made = os.path.join(made, part)
            os.makedirs(made, exist_ok=True)
        with open(os.path.join(deeper, "vv.path"), "wb") as f:
            f.write(b"t\r\n")
        command, _, env = self.site.command(args=["config.index"])

        def enter():
            os.chdir(self.site.root)
            for part in parts:
                os.chdir(part)

        done = subprocess.run(command, env=env, preexec_fn=enter, capture_output=True,
                              timeout=60)
        self.assertEqual(done.returncode, 0)
        (trace,) = os.listdir(os.path.join(deeper, "t"))
        with open(os.path.join(deeper, "t", trace), "rb") as f:
            text = f.read()
        self.assertIn(b"] main: <<< Exit.\r\n", text)
        self.assertIn(b'vvLog: "t/%s": the path is longer than the system allows: no log file'
                      % name.encode(), text)

    def test_without_vv_path_no_log_is_created(self):
        before = set(os.listdir(self.site.root))
        code, _ = self.site.run()
        self.assertEqual(code, 0)
        self.assertEqual(set(os.listdir(self.site.root)), before)


if __name__ == "__main__":
    unittest.main()
