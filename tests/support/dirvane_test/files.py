"""Writing and reading a test's files."""

import os


def write(path, data):
    """Writes `data` (text or bytes) to `path`, making its folders; returns
    the path as bytes."""
    path = os.fsencode(path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)
    return path


def read_text(path):
    with open(path) as f:
        return f.read()
