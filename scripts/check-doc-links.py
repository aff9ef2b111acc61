#!/usr/bin/env python3
"""Checks the relative links of Markdown files: every `](path)` names a
file or folder that exists beside the file that links it, and every
`#anchor` a heading of the file it points into.

    scripts/check-doc-links.py FILE.md...

Prints each broken link as FILE:LINE: TARGET and exits 1 when there is one.
Links with a scheme (https:, mailto:) are not checked.
"""

import os
import re
import sys

LINK = re.compile(r"\]\(([^()\s]+)\)")
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")


def prose_lines(text):
    """(line number, line) outside fenced code blocks, inline code removed."""
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if line.lstrip().startswith("```"):
            fenced = not fenced
            continue
        if not fenced:
            yield number, re.sub(r"`[^`]*`", "", line)


def anchors(path):
    """The anchors a Markdown viewer gives the headings of a file: lower
    case, punctuation dropped, spaces as hyphens, repeats numbered."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    seen = {}
    found = set()
    for _, line in prose_lines(text):
        heading = re.match(r"^#{1,6}\s+(.*?)\s*#*\s*$", line)
        if not heading:
            continue
        slug = re.sub(r"[^\w\- ]", "", heading.group(1).lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        found.add(slug if count == 0 else "%s-%d" % (slug, count))
    return found


def broken_links(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for number, line in prose_lines(text):
        for target in LINK.findall(line):
            if SCHEME.match(target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) \
                if file_part else path
            if not os.path.exists(linked):
                yield number, target
            elif anchor and linked.endswith(".md") and anchor not in anchors(linked):
                yield number, target


def main(paths):
    broken = 0
    for path in paths:
        if not os.path.isfile(path):
            print("%s: no such file" % path)
            broken += 1
            continue
        for number, target in broken_links(path):
            print("%s:%d: broken link %s" % (path, number, target))
            broken += 1
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
