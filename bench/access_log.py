#!/usr/bin/env python3
"""access_log: what the access log costs a request.

Usage: access_log.py DIRVANE [RUNS]

Lists one small folder (100 entries) with two program folders side by side,
each holding a link to DIRVANE and its own Dirvane.ini: one with "log" set,
one without. The runs are interleaved (see timing.py). Prints the medians
and the ratio against the target: a request with the access log on takes no
more than 1.3 times as long as one without.
"""

import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import timing  # noqa: E402

TARGET = 1.3


def program_folder(root, name, dirvane, ini_text):
    folder = os.path.join(root, name)
    os.mkdir(folder)
    os.symlink(os.path.abspath(dirvane), os.path.join(folder, "Dirvane"))
    with open(os.path.join(folder, "Dirvane.ini"), "w") as f:
        f.write(ini_text)
    return os.path.join(folder, "Dirvane")


def main():
    dirvane = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    with tempfile.TemporaryDirectory(prefix="dirvane-accesslog-") as root:
        listed = os.path.join(root, "pub")
        subprocess.run([sys.executable, os.path.join(os.path.dirname(__file__), "gen_tree.py"),
                        listed, "100"], check=True, stdout=subprocess.DEVNULL)
        log = os.path.join(root, "access.log")
        with_log = program_folder(root, "with", dirvane, "[index]\nlog=%s\n" % log)
        without = program_folder(root, "without", dirvane, "[index]\n")
        env = dict(os.environ)
        env.update(timing.CGI_ENV)
        conf = os.path.join(listed, "config.index")
        cmds = [timing.Command("log on", [with_log, conf], env),
                timing.Command("log off", [without, conf], env)]
        timing.run_folder(listed, runs, cmds, root)
        on = statistics.median(cmds[0].wall)
        off = statistics.median(cmds[1].wall)
        with open(log, "rb") as f:
            records = f.read().count(b"\r\n")
        print("100 entries, %d rounds: log on %.3f ms, log off %.3f ms (median)" % (runs, on, off))
        print("access log records written: %d" % records)
        ratio = on / off
        print("ratio %.2fx   target <= %.1fx: %s" % (ratio, TARGET,
                                                    "meets" if ratio <= TARGET else "MISSES"))


if __name__ == "__main__":
    main()
