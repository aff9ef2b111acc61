"""Scale: a folder of 1 000 000 entries is listed within the default
time-out, and the peak memory stays near the size of the page itself."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

from dirvane_test.cgi_site import TZ, Site, response_body
from dirvane_test.records import figures

ENTRIES = 1_000_000
GNU_TIME = "/usr/bin/time"
NO_TIME = "GNU time is not installed (apt-get install time)"


def roomy_memory_folder():
    """A folder on tmpfs, where a million entries are made in seconds rather
    than minutes; the system's temporary folder when there is none."""
    shm = "/dev/shm"
    try:
        info = os.statvfs(shm)
        if os.access(shm, os.W_OK) and info.f_favail > ENTRIES + 1000:
            return tempfile.mkdtemp(prefix="dirvane-scale-", dir=shm)
    except OSError:
        pass
    return tempfile.mkdtemp(prefix="dirvane-scale-")


@unittest.skipUnless(os.access(GNU_TIME, os.X_OK), NO_TIME)
@unittest.skipIf(os.environ.get("DIRVANE_SANITIZED"),
                 "the sanitizers' memory and time overhead: the release build checks the scale")
class MillionEntries(unittest.TestCase):
    def setUp(self):
        self.site = Site()
        self.addCleanup(self.site.close)
        self.folder = roomy_memory_folder()
        # rm is far quicker than one unlink call from Python per entry.
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder], check=False)
        fd = os.open(self.folder, os.O_RDONLY)
        try:
            # Links of a few files: a directory entry each and hardly any
            # inodes (a new file every 50 000 links, below any file system's
            # link limit).
            source = None
            for i in range(ENTRIES):
                name = "entry%07d.txt" % i
                if i % 50_000 == 0:
                    os.close(os.open(name, os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=fd))
                    source = name
                else:
                    os.link(source, name, src_dir_fd=fd, dst_dir_fd=fd)
        finally:
            os.close(fd)

    def test_a_million_entries_within_the_default_time_out(self):
        log = os.path.join(self.site.root, "time.txt")
        env = {"TZ": TZ, "PATH": "/usr/bin:/bin", "SCRIPT_NAME": "/big/config.index"}
        done = subprocess.run(
            [GNU_TIME, "-v", "-o", log, self.site.exe, os.path.join(self.folder, "config.index")],
            cwd=self.folder, env=env, capture_output=True, timeout=120)
        # Code 2 would be the watchdog: the default time-out of 30 s ran out.
        self.assertEqual(done.returncode, 0)
        body = response_body(done.stdout)
        self.assertEqual(body.count(b'<a href="entry'), ENTRIES)
        self.assertTrue(body.endswith(b"</body>\n</html>\n\n"))
        with open(log) as f:
            report = f.read()
        peak_kib = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", report).group(1))
        elapsed = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)",
                            report).group(1)
        peak = peak_kib * 1024
        page = len(body)
        figures("a million entries", entries=ENTRIES, page_bytes=page, peak_memory_bytes=peak,
                peak_per_page_byte="%.2f" % (peak / page), elapsed=elapsed)
        # The page, the entry list behind it and the program itself.
        self.assertLess(peak, 3 * page + 64 * 1024 * 1024)


if __name__ == "__main__":
    unittest.main()
