#!/usr/bin/env python3
"""visitor_options: what the visitor's options cost a request.

Usage: visitor_options.py DIRVANE [RUNS]

Lists one folder of 10 000 files (half named "even-*", half "odd-*", sizes
and times spread) with the switch "visitor" on, side by side in one run
(interleaved, see timing.py): the plain page (no query), sorted by size
descending (C=S&O=D), filtered to half the entries (q=even) and the JSON
form (format=json); and the page with the switch off. Prints the medians
and each one's ratio against the plain page; the target is at most 1.1x.
Not a test: timings are only compared with each other.
"""

import os
import random
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import timing  # noqa: E402

TARGET = 1.1
ENTRIES = 10_000


def fill(folder):
    os.makedirs(folder)
    rng = random.Random(30)
    open(os.path.join(folder, "config.index"), "w").close()
    for i in range(ENTRIES):
        name = ("even-%05d.txt" if i % 2 == 0 else "odd-%05d.dat") % i
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.truncate(int(10 ** rng.uniform(0, 9)))
        t = 1_100_000_000 + rng.randrange(300_000_000)
        os.utime(path, (t, t))


def main():
    dirvane = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    with tempfile.TemporaryDirectory(prefix="dirvane-visitor-") as root:
        listed = os.path.join(root, "pub")
        fill(listed)
        programs = {}
        for name, ini in (("on", "[index]\ncharset=UTF-8\nvisitor=1\n"),
                          ("off", "[index]\ncharset=UTF-8\n")):
            folder = os.path.join(root, name)
            os.mkdir(folder)
            programs[name] = os.path.join(folder, "Dirvane")
            os.symlink(os.path.abspath(dirvane), programs[name])
            with open(programs[name] + ".ini", "w") as f:
                f.write(ini)
        conf = os.path.join(listed, "config.index")

        def command(label, program, query):
            env = dict(os.environ)
            env.update(timing.CGI_ENV)
            env["QUERY_STRING"] = query
            return timing.Command(label, [programs[program], conf], env)

        cmds = [command("plain page", "on", ""),
                command("size, descending", "on", "C=S&O=D"),
                command("filtered to half", "on", "q=even"),
                command("JSON", "on", "format=json"),
                command("switch off", "off", "C=S&O=D&q=even&format=json")]
        timing.run_folder(listed, runs, cmds, root)
        plain = statistics.median(cmds[0].wall)
        print("%d entries, %d rounds (median wall time, output bytes)" % (ENTRIES, runs))
        for cmd in cmds:
            median = statistics.median(cmd.wall)
            ratio = median / plain
            verdict = "" if cmd is cmds[0] else "   target <= %.1fx: %s" % (
                TARGET, "meets" if ratio <= TARGET else "MISSES")
            print("  %-18s %8.2f ms %9d B  %.2fx%s" % (cmd.label, median, cmd.out_bytes, ratio,
                                                     verdict))


if __name__ == "__main__":
    main()
