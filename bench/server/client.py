#!/usr/bin/env python3
"""client: per-request latency of folder pages from servers on loopback.

Usage: client.py --ours PORT --nginx PORT --dirlisting PORT --floor PATH
                 [--listing-floor PATH] SIZE=PATH:ROUNDS [SIZE=PATH:ROUNDS ...]

Each request opens a new connection to 127.0.0.1, sends one GET with
"Connection: close" and reads the response to its end; its time is from
before the connect to after the last byte. For every folder the servers are
asked round-robin (one request each, the first server rotating each round),
so that machine noise hits all of them alike, after one untimed warm-up
request each that checks the status. The CGI floor (our server running a
program that prints a fixed 2 KB page) is timed in the rounds of the first
folder, and so is the listing floor when given (the same page after reading
and stating every entry of a folder as large as the first one).

Prints the median and minimum per server and folder and the ratios against
the targets. Exits 1 when a server does not answer 200, else 0.
"""

import argparse
import socket
import statistics
import sys
import time

TARGET_FLOOR_SIZE = 100
TARGET_FLOOR = 1.3
TARGET_NGINX = 1.2  # at 10 000 and 100 000 entries
CGI_FLOOR = "CGI floor (fixed 2 KB)"
LISTING_FLOOR = "listing floor (+ stats)"


def fetch(port, path):
    """Returns (seconds, status, body bytes)."""
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=120) as s:
        s.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"
                  % path.encode())
        chunks = []
        while True:
            data = s.recv(1 << 20)
            if not data:
                break
            chunks.append(data)
    took = time.perf_counter() - start
    raw = b"".join(chunks)
    head, _, body = raw.partition(b"\r\n\r\n")
    status = int(head.split(b" ", 2)[1]) if head else 0
    return took, status, len(body)


class Target:
    def __init__(self, label, port, path):
        self.label, self.port, self.path = label, port, path
        self.times = []
        self.size = 0


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ours", type=int, required=True)
    ap.add_argument("--nginx", type=int, required=True)
    ap.add_argument("--dirlisting", type=int, required=True)
    ap.add_argument("--floor", required=True)
    ap.add_argument("--listing-floor")
    ap.add_argument("folders", nargs="+")
    args = ap.parse_args()

    results = {}
    first = True
    print("%-8s %-26s %10s %10s %11s" % ("entries", "server", "median ms", "min ms",
                                         "page bytes"))
    for entry in args.folders:
        size_text, _, rest = entry.partition("=")
        path, _, rounds = rest.rpartition(":")
        size, rounds = int(size_text), int(rounds)
        targets = [Target("Dirvane (dirvane-httpd)", args.ours, path),
                   Target("nginx autoindex", args.nginx, path),
                   Target("lighttpd mod_dirlisting", args.dirlisting, path)]
        if first:
            targets.append(Target("CGI floor (fixed 2 KB)", args.ours, args.floor))
            if args.listing_floor:
                targets.append(Target(LISTING_FLOOR, args.ours, args.listing_floor))
        first = False
        for t in targets:
            _, status, t.size = fetch(t.port, t.path)
            if status != 200:
                print("client: %s answered %d for %s" % (t.label, status, t.path),
                      file=sys.stderr)
                return 1
        for r in range(rounds):
            k = r % len(targets)
            for t in targets[k:] + targets[:k]:
                took, status, _ = fetch(t.port, t.path)
                if status != 200:
                    print("client: %s answered %d" % (t.label, status), file=sys.stderr)
                    return 1
                t.times.append(took)
        for t in targets:
            med = statistics.median(t.times) * 1000
            low = min(t.times) * 1000
            results[(size, t.label)] = (med, low)
            print("%-8d %-26s %10.2f %10.2f %11d" % (size, t.label, med, low, t.size))
        print()

    print("Ratios (medians; minimums in brackets):")
    ours = "Dirvane (dirvane-httpd)"
    for (size, label), (med, low) in sorted(results.items()):
        if label == ours:
            continue
        o_med, o_low = results[(size, ours)]
        line = "  %6d entries: Dirvane / %-24s %5.2fx  [%5.2fx]" % (
            size, label, o_med / med, o_low / low)
        if label.startswith("CGI floor") and size == TARGET_FLOOR_SIZE:
            line += "   target <= %.1fx: %s" % (TARGET_FLOOR, "met" if o_med / med <=
                                                  TARGET_FLOOR else "NOT met")
        if label == "nginx autoindex" and size >= 10000:
            line += "   target <= %.1fx: %s" % (TARGET_NGINX, "met" if o_med / med <=
                                                  TARGET_NGINX else "NOT met")
        print(line)
    # What the stats alone cost over the CGI floor: the part of the target's
    # margin that no listing program can save.
    if (TARGET_FLOOR_SIZE, LISTING_FLOOR) in results:
        l_med, l_low = results[(TARGET_FLOOR_SIZE, LISTING_FLOOR)]
        f_med, f_low = results[(TARGET_FLOOR_SIZE, CGI_FLOOR)]
        print("  %6d entries: %s / CGI floor %5.2fx  [%5.2fx]" % (
            TARGET_FLOOR_SIZE, LISTING_FLOOR, l_med / f_med, l_low / f_low))
    return 0


if __name__ == "__main__":
    sys.exit(main())
