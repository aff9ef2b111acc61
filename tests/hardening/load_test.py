"""Load through the real web server: wrk keeps 8 connections busy for 20
seconds on a folder of 1000 entries with the access log on. No response may
fail or come short, each request leaves exactly one whole access-log line,
and no process is left behind."""

import collections
import os
import re
import shutil
import subprocess
import time
import unittest

from dirvane_test.files import write
from dirvane_test.httpd_site import Site
from dirvane_test.programs import HTTPD
from dirvane_test.records import RECORD, figures
from dirvane_test.servers import LIGHTTPD, NO_LIGHTTPD

WRK = shutil.which("wrk")
CONNECTIONS = 8
SECONDS = 20
ENTRIES = 1000

# Every request carries its own user agent, so that each log line can be
# told from every other.
SCRIPT = """
local count = 0
local id = 0
function setup(thread)
    id = id + 1
    thread:set("tid", id)
end
function request()
    count = count + 1
    return wrk.format("GET", wrk.path, {["User-Agent"] = "wrk-" .. tid .. "-" .. count})
end
"""

AGENT = re.compile(rb"AGENT=(\S*), CODE=(\d{3})\r\n$")


def processes_under(root):
    """The ids of running processes whose command line names `root`."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if root.encode() in f.read():
                    found.append(int(pid))
        except OSError:
            pass
    return found


@unittest.skipUnless(LIGHTTPD and HTTPD, NO_LIGHTTPD)
@unittest.skipUnless(WRK, "wrk is not installed (apt-get install wrk)")
class LoadThroughTheServer(unittest.TestCase):
    def setUp(self):
        site = self.site = Site()
        self.addCleanup(site.close)
        self.log = os.path.join(site.root, "logs", "access.log")
        write(os.path.join(site.cgi_dir, "Dirvane.ini"), "[index]\nlog=%s\n" % self.log)
        folder = os.path.join(site.docroot, "big")
        write(os.path.join(folder, "config.index"), "")
        for i in range(ENTRIES):
            write(os.path.join(folder, "file%04d.txt" % i), "x" * i)
        self.script = write(os.path.join(site.root, "agents.lua"), SCRIPT)
        site.register()
        site.start()

    def lines(self):
        with open(self.log, "rb") as f:
            return f.read()

    def settled_log(self):
        """The log once no request is running any more."""
        last, still = None, 0
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            text = self.lines()
            still = still + 1 if text == last else 0
            if still >= 5:
                return text
            last = text
            time.sleep(0.2)
        return last

    def test_wrk_then_samples(self):
        site = self.site
        done = subprocess.run(
            [WRK, "-t2", "-c%d" % CONNECTIONS, "-d%ds" % SECONDS, "--timeout", "10s",
             "-s", self.script, site.url("/big/")],
            capture_output=True, timeout=SECONDS + 60)
        report = done.stdout.decode()
        self.assertEqual(done.returncode, 0, report + done.stderr.decode())
        served = int(re.search(r"(\d+) requests in", report).group(1))
        self.assertGreater(served, 0, report)
        self.assertNotIn("Non-2xx or 3xx responses", report)
        self.assertNotIn("Socket errors", report)

        text = self.settled_log()
        lines = text.splitlines(keepends=True)
        whole = [l for l in lines if RECORD.match(l)]
        lost = len(text) - sum(map(len, whole))
        self.assertEqual(lost, 0)
        agents = collections.Counter(AGENT.search(l).group(1) for l in whole)
        codes = {AGENT.search(l).group(2) for l in whole}
        self.assertEqual(codes, {b"200"})
        # One line per request: no agent twice, and the lines are the answered
        # requests plus at most one in flight per connection when wrk stopped.
        self.assertEqual(max(agents.values()), 1)
        self.assertGreaterEqual(len(whole), served)
        self.assertLessEqual(len(whole), served + CONNECTIONS)
        self.assertEqual(processes_under(site.cgi_dir), [])

        # Samples from a plain client: complete bodies, each request logged.
        sampled = 0
        for i in range(20):
            response = site.request("/big/", {"User-Agent": "sample-%d" % i})
            self.assertEqual(response.status, 200)
            self.assertEqual(int(response.headers["content-length"]), len(response.body))
            self.assertEqual(response.body.count(b'<a href="file'), ENTRIES)
            sampled += 1
        after = self.settled_log()[len(text):].splitlines(keepends=True)
        self.assertEqual([AGENT.search(l).group(1) for l in after],
                         [b"sample-%d" % i for i in range(sampled)])

        self.assertEqual(site.stop(), 0)
        self.assertEqual(processes_under(site.root), [])
        figures("load through lighttpd", connections=CONNECTIONS, seconds=SECONDS,
                requests_served=served, lines_logged=len(whole),
                in_flight_at_stop=len(whole) - served, samples_checked=sampled,
                bytes_lost=lost, stray_processes=len(processes_under(site.root)))


if __name__ == "__main__":
    unittest.main()
