#!/usr/bin/env python3
"""timing: interleaved wall-clock timing of Dirvane against its floors.

Usage: timing.py --dirvane BIN --stat BIN --start BIN --ls BIN
                 SIZE=FOLDER:RUNS [SIZE=FOLDER:RUNS ...]

For every folder the commands run round-robin (one run of each, then the
next round, the starting command rotating each round), so that machine
noise hits all of them alike. Each command runs once untimed first, to warm
the page cache and to check its output. Processes are started with
posix_spawn from a parent whose working directory is the folder; the time
of a run is from just before the spawn to just after the wait.

Prints a table (median and min wall time, median CPU time) and the ratios
against the targets. Exits 1 when a command fails, else 0.
"""

import argparse
import os
import statistics
import sys
import tempfile
import time

TARGET_STAT_SIZE = 100_000
TARGET_STAT = 1.8
TARGET_START_SIZE = 100
TARGET_START = 2.0

CGI_ENV = {
    "SERVER_NAME": "bench.example",
    "SCRIPT_NAME": "/pub/config.index",
    "HTTP_USER_AGENT": "Mozilla/5.0 (X11; Linux x86_64) bench/1.0",
    "REMOTE_ADDR": "192.0.2.7",
}


class Command:
    def __init__(self, label, argv, env):
        self.label = label
        self.argv = argv
        self.env = env
        self.wall = []
        self.cpu = []
        self.out_bytes = 0


def spawn(cmd, out_path, err_path):
    """Runs cmd once; returns (wall ns, cpu s, exit code)."""
    actions = [
        (os.POSIX_SPAWN_OPEN, 0, "/dev/null", os.O_RDONLY, 0),
        (os.POSIX_SPAWN_OPEN, 1, out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
        (os.POSIX_SPAWN_OPEN, 2, err_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
    ]
    t0 = time.perf_counter_ns()
    pid = os.posix_spawn(cmd.argv[0], cmd.argv, cmd.env, file_actions=actions)
    _, status, usage = os.wait4(pid, 0)
    t1 = time.perf_counter_ns()
    return t1 - t0, usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status)


def fail(cmd, folder, code, err_path):
    with open(err_path, "rb") as f:
        err = f.read()[-2000:].decode("latin-1")
    sys.stderr.write(
        "error: {} failed in {} with exit code {}\n  argv: {}\n{}".format(
            cmd.label, folder, code, " ".join(cmd.argv), err
        )
    )
    sys.exit(1)


def run_folder(folder, runs, cmds, scratch):
    out_path = os.path.join(scratch, "out")
    err_path = os.path.join(scratch, "err")
    os.chdir(folder)
    # Warm-up: one untimed run of each, keeping its output for a check.
    for cmd in cmds:
        _, _, code = spawn(cmd, out_path, err_path)
        if code != 0:
            fail(cmd, folder, code, err_path)
        cmd.out_bytes = os.path.getsize(out_path)
        if cmd.label == "readdir+stat":
            with open(out_path) as f:
                cmd.count = int(f.read().strip() or 0)
    # Timed runs: round-robin, the first command rotating each round.
    for rep in range(runs):
        k = rep % len(cmds)
        for cmd in cmds[k:] + cmds[:k]:
            wall, cpu, code = spawn(cmd, "/dev/null", err_path)
            if code != 0:
                fail(cmd, folder, code, err_path)
            cmd.wall.append(wall / 1e6)
            cmd.cpu.append(cpu * 1e3)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dirvane", required=True)
    ap.add_argument("--stat", required=True)
    ap.add_argument("--start", required=True)
    ap.add_argument("--ls", required=True)
    ap.add_argument("folders", nargs="+", metavar="SIZE=FOLDER:RUNS")
    args = ap.parse_args()

    env = dict(os.environ)
    env["LC_ALL"] = "C"
    dv_env = dict(env)
    dv_env.update(CGI_ENV)

    results = []  # (size, runs, [Command])
    with tempfile.TemporaryDirectory(prefix="dirvane-timing-") as scratch:
        for entry in args.folders:
            size_text, rest = entry.split("=", 1)
            folder, runs_text = rest.rsplit(":", 1)
            size, runs = int(size_text), int(runs_text)
            folder = os.path.abspath(folder)
            cmds = [
                Command("Dirvane", [args.dirvane, os.path.join(folder, "config.index")], dv_env),
                Command("readdir+stat", [args.stat], env),
                Command("ls -l", [args.ls, "-l"], env),
            ]
            if size == TARGET_START_SIZE:
                cmds.append(Command("start floor", [args.start], env))
            print("timing {:>7} entries: {} rounds of {} commands".format(
                size, runs, len(cmds)), flush=True)
            run_folder(folder, runs, cmds, scratch)
            results.append((size, runs, cmds))

    print()
    print("{:>8}  {:>5}  {:<13} {:>10} {:>10} {:>10} {:>11}".format(
        "entries", "runs", "command", "median ms", "min ms", "cpu ms", "out bytes"))
    print("-" * 75)
    for size, runs, cmds in results:
        for cmd in cmds:
            print("{:>8}  {:>5}  {:<13} {:>10.3f} {:>10.3f} {:>10.3f} {:>11}".format(
                size, runs, cmd.label, statistics.median(cmd.wall), min(cmd.wall),
                statistics.median(cmd.cpu), cmd.out_bytes))
        stat = next(c for c in cmds if c.label == "readdir+stat")
        if stat.count != size + 2:
            print("{:>8}  note: readdir+stat counted {} entries (expected {} with . and ..)".format(
                "", stat.count, size + 2))
        print()

    print("Ratios (median / median, min / min in brackets):")
    for size, _, cmds in results:
        by = {c.label: c for c in cmds}
        dv = by["Dirvane"]
        pairs = [("readdir+stat", TARGET_STAT_SIZE, TARGET_STAT),
                 ("start floor", TARGET_START_SIZE, TARGET_START),
                 ("ls -l", None, None)]
        for label, tsize, target in pairs:
            if label not in by:
                continue
            ref = by[label]
            med = statistics.median(dv.wall) / statistics.median(ref.wall)
            mn = min(dv.wall) / min(ref.wall)
            line = "  {:>7} entries: Dirvane / {:<13} {:6.2f}x  ({:.2f}x)".format(
                size, label, med, mn)
            if size == tsize:
                verdict = "meets" if med <= target else "MISSES"
                line += "   target <= {:.1f}x: {}".format(target, verdict)
            print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
