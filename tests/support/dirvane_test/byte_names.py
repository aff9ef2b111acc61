"""A folder of names that hold every byte a name may hold besides letters
and digits: the names, the folder, and the check that every link of its
page serves its file."""

import os
import urllib.parse

from .files import write
from .pages import hrefs

# Every byte that may stand in a file name and is not plain ASCII letters,
# digits or "/" : the punctuation that URLs treat specially, and 0x80-0xFF
# (Shift_JIS lead and trail bytes, 0xFA among them).
SPECIAL_NAMES = [b"sp ace", b"hash#x", b"pct%41", b"q?x", b"plus+x", b"amp&x", b"semi;x",
                 b"eq=x", b"tick'x", b'quote"x', b"lt<x", b"gt>x", b"back\\x", b"tilde~x",
                 b"bang!x", b"..dots", b"\x83\x5c.txt", b"\x93\xfa\x96\x7b.txt"]
BYTE_NAMES = [b"n%02x" % b + bytes([b]) + b"z" for b in range(0x80, 0x100)]


def fill_bytes_folder(folder):
    """The folder with an empty config.index and a file of every name, which
    holds "content of " and the name."""
    folder = os.fsencode(folder)
    write(os.path.join(folder, b"config.index"), "")
    for name in SPECIAL_NAMES + BYTE_NAMES:
        write(os.path.join(folder, name), b"content of " + name)


def check_every_link_is_served(test, fetch):
    """The page of /bytes/ lists every name, and each link serves its file;
    `fetch(path)` sends a request."""
    page = fetch("/bytes/")
    test.assertEqual(page.status, 200)
    links = hrefs(page.body)[2:]  # after the heading's "/" and "/bytes/"
    test.assertEqual(len(links), len(SPECIAL_NAMES) + len(BYTE_NAMES))
    for href in links:
        with test.subTest(href=href):
            r = fetch(urllib.parse.urljoin("/bytes/", href))
            name = urllib.parse.unquote_to_bytes(href)
            # A name starting with "." is listed but never served.
            test.assertEqual(r.status, 403 if name.startswith(b".") else 200)
            if r.status == 200:
                test.assertEqual(r.body, b"content of " + name)
