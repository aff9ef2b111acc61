"""dist/fastcgi/dirvane.service as systemd rates it: confined (the file
system read-only but the access-log folder, no network, no privileges) and
bounded in memory and tasks."""

import os
import re
import subprocess
import sys
import unittest

from dirvane_test.programs import SOURCE, find_program

ANALYZE = find_program("systemd-analyze")
UNIT = os.path.join(SOURCE, "dist", "fastcgi", "dirvane.service")


@unittest.skipUnless(ANALYZE, "systemd-analyze is not installed")
class Unit(unittest.TestCase):
    def test_the_service_is_confined_and_bounded(self):
        done = subprocess.run([ANALYZE, "security", "--offline=true", "--no-pager", UNIT],
                              capture_output=True, text=True, timeout=120)
        rating = re.search(r"Overall exposure level for dirvane\.service: (\d+\.\d+) (\w+)",
                           done.stdout)
        self.assertIsNotNone(rating, done.stdout + done.stderr)
        print("\nsystemd-analyze security: %s %s" % rating.groups(), file=sys.stderr)
        self.assertLessEqual(float(rating.group(1)), 1.0)
        with open(UNIT) as f:
            settings = dict(re.findall(r"(?m)^(\w+)=(.*)$", f.read()))
        # Where the access log goes stays writable; memory and tasks have a
        # bound.
        self.assertIn("/var/log/dirvane", settings.get("ReadWritePaths", ""))
        self.assertRegex(settings.get("MemoryMax", ""), r"^\d+[KMG]$")
        self.assertRegex(settings.get("TasksMax", ""), r"^\d+$")


if __name__ == "__main__":
    unittest.main()
