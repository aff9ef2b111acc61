"""The access log: its records and its file; the figures a check prints."""

import re
import sys
import time

# An access log record: time, process id, the record text.
RECORD = re.compile(rb"^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3} \[[0-9a-f]{8}\] DIR=.*CODE=\d{3}\r\n$",
                    re.S)


def figures(check, **values):
    """Prints one line of a check's figures."""
    text = ", ".join("%s=%s" % (k.replace("_", " "), v) for k, v in values.items())
    print("\n[figures] %s: %s" % (check, text), file=sys.stderr, flush=True)


def log_lines(path):
    """The records of an access log file, each without its CRLF; none when
    the file is missing."""
    try:
        with open(path, "rb") as f:
            return f.read().split(b"\r\n")[:-1]
    except FileNotFoundError:
        return []


def settled_log_lines(path, quiet=0.05, limit=5.0):
    """log_lines once the file has stopped growing for `quiet` seconds (at
    most `limit`): a FastCGI child writes a request's record just after its
    response."""
    lines = log_lines(path)
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        time.sleep(quiet)
        again = log_lines(path)
        if again == lines:
            break
        lines = again
    return lines
