#!/usr/bin/env python3
"""fastcgi_client: folder pages of Dirvane over FastCGI against the servers'
own listings, on loopback.

Usage: fastcgi_client.py PAIRS SIZES [--memory PID:PORT:PATH:COUNT]

PAIRS is "name=port,name=port;..." : each ";"-separated group is timed
together, round-robin (one request each, the first rotating each round),
after one untimed warm-up request each that checks the status. SIZES is
"size=path:rounds,...". Prints per server and size the median and the
minimum, and the ratio of the first server of each group against each of
the others (medians, minimums in brackets). With --memory, asks PORT for
PATH COUNT times in a row and prints the resident memory of process PID
(the FastCGI parent) before and after, and that of its child processes
(each one's, the largest and their sum).
"""

import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from client import fetch  # noqa: E402


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def children_kib(pid):
    """Resident KiB of each child process of `pid`."""
    sizes = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                ppid = int(f.read().rsplit(")", 1)[1].split()[1])
            if ppid == pid:
                sizes.append(rss_kib(int(entry)))
        except (OSError, ValueError, IndexError):
            pass
    return sorted(sizes)


def main():
    groups = [[(n, int(p)) for n, p in (x.split("=") for x in g.split(","))]
              for g in sys.argv[1].split(";")]
    sizes = []
    for item in sys.argv[2].split(","):
        size, rest = item.split("=")
        path, rounds = rest.rsplit(":", 1)
        sizes.append((size, path, int(rounds)))
    failed = False
    print("%-8s %-28s %10s %10s" % ("entries", "server", "median ms", "min ms"))
    ratios = []
    for group in groups:
        for size, path, rounds in sizes:
            times = {name: [] for name, _ in group}
            for name, port in group:
                _, status, _ = fetch(port, path)
                if status != 200:
                    print("%s answers %d for %s" % (name, status, path))
                    failed = True
            for r in range(rounds):
                for i in range(len(group)):
                    name, port = group[(r + i) % len(group)]
                    seconds, status, _ = fetch(port, path)
                    failed = failed or status != 200
                    times[name].append(seconds)
            medians = {name: statistics.median(t) * 1000 for name, t in times.items()}
            minimums = {name: min(t) * 1000 for name, t in times.items()}
            for name, _ in group:
                print("%-8s %-28s %10.3f %10.3f" % (size, name, medians[name], minimums[name]))
            first = group[0][0]
            for other, _ in group[1:]:
                ratios.append("%-8s %s / %s: %.2fx (%.2fx)" % (
                    size, first, other, medians[first] / medians[other],
                    minimums[first] / minimums[other]))
    print()
    for line in ratios:
        print(line)
    if len(sys.argv) > 3 and sys.argv[3] == "--memory":
        pid, port, path, count = sys.argv[4].split(":")
        pid, port, count = int(pid), int(port), int(count)
        fetch(port, path)
        before, children_before = rss_kib(pid), children_kib(pid)
        for _ in range(count):
            _, status, _ = fetch(port, path)
            failed = failed or status != 200
        after, children_after = rss_kib(pid), children_kib(pid)
        print("FastCGI parent: %d KiB resident before %d requests, %d KiB after" %
              (before, count, after))
        print("FastCGI children: %s KiB before, %s KiB after (largest %d, sum %d)" %
              (children_before, children_after, max(children_after, default=0),
               sum(children_after)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
