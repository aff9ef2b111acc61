"""Where the programs under test and the source tree are, and the Wine
loader a Windows build runs under."""

import os
import shutil

BIN = os.environ.get("DIRVANE_BIN", "")
HTTPD = os.environ.get("DIRVANE_HTTPD", "")
# The source tree: the one this package is part of unless named.
SOURCE = os.environ.get("DIRVANE_SOURCE",
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))
ARTIFACTS = os.environ.get("DIRVANE_ARTIFACTS", "")

# A Windows build runs under Wine: the loader's path and the variables of the
# test's Wine prefix come from the environment.
WINE = os.environ.get("DIRVANE_WINE", "")
WINE_VARIABLES = ("WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "LC_ALL", "HOME")


def windows_path(path):
    """The name Wine gives a Unix path: drive Z: is the root folder."""
    path = os.fsdecode(path)
    if os.path.isabs(path):
        return "Z:" + path.replace("/", "\\")
    return path.replace("/", "\\")


def host_name(name, charset="cp932"):
    """The bytes a file name has on disk. Under Wine the program sees Unix
    names as UTF-8, so a name meant as Shift_JIS (the program's code page)
    is stored as its UTF-8 form."""
    if not WINE:
        return os.fsencode(name)
    if isinstance(name, str):
        return name.encode()
    return name.decode(charset).encode()


def find_program(name):
    """A program on PATH or in the system's sbin folders, None if missing."""
    path = shutil.which(name)
    if path:
        return path
    for folder in ("/usr/sbin", "/sbin", "/usr/local/sbin"):
        if os.access(os.path.join(folder, name), os.X_OK):
            return os.path.join(folder, name)
    return None


def sample(name, folder="fastcgi"):
    """The text of a shipped sample of dist/."""
    with open(os.path.join(SOURCE, "dist", folder, name)) as f:
        return f.read()
