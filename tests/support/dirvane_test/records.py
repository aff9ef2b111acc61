"""The access log: its records and its file; the figures a check prints."""

import re
import sys

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
