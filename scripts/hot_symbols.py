#!/usr/bin/env python3
"""hot_symbols.py: the functions and data objects that traced runs touched.

Reads callgrind profiles (made with --demangle=no) and lackey memory traces
(--trace-mem=yes) of one program, maps the traced data addresses to the
program's data symbols with nm, and prints one symbol per line: the
functions first, then the data objects, each group sorted. lld takes the
list as --symbol-ordering-file and places the sections that hold them
together, so a short-lived process maps fewer pages of its program.

Usage: hot_symbols.py PROGRAM --callgrind FILE... --lackey FILE...
"""
import argparse
import bisect
import re
import subprocess
import sys

FUNCTION_LINE = re.compile(r"^c?fn=\(\d+\) (.+)$")


def functions(profile_paths):
    names = set()
    for path in profile_paths:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = FUNCTION_LINE.match(line.rstrip("\n"))
                if not m:
                    continue
                # callgrind marks recursion levels as name'2.
                name = re.sub(r"'\d+$", "", m.group(1))
                if name.startswith("0x") or name.startswith("(") or " " in name:
                    continue
                names.add(name)
    return names


def data_symbols(program):
    """(start, size, name) of every sized data, bss and read-only object."""
    out = subprocess.run(["nm", "-S", "--defined-only", program],
                         check=True, capture_output=True, text=True).stdout
    symbols = []
    for line in out.splitlines():
        fields = line.split()
        if len(fields) != 4 or fields[2] not in "dDbBrRvV":
            continue
        size = int(fields[1], 16)
        if size > 0:
            symbols.append((int(fields[0], 16), size, fields[3]))
    symbols.sort()
    return symbols


def touched_data(program, trace_paths):
    symbols = data_symbols(program)
    starts = [s[0] for s in symbols]
    names = set()
    for path in trace_paths:
        with open(path, encoding="ascii", errors="replace") as f:
            for line in f:
                # " L addr,size", " S addr,size", " M addr,size"; "I" lines
                # are instruction fetches.
                if len(line) < 4 or line[0] != " " or line[1] not in "LSM":
                    continue
                try:
                    address = int(line[3:].split(",", 1)[0], 16)
                except ValueError:
                    continue
                i = bisect.bisect_right(starts, address) - 1
                if i >= 0 and address < symbols[i][0] + symbols[i][1]:
                    names.add(symbols[i][2])
    return names


def text_symbols(program):
    out = subprocess.run(["nm", "--defined-only", program],
                         check=True, capture_output=True, text=True).stdout
    return {f[2] for f in (line.split() for line in out.splitlines())
            if len(f) == 3 and f[1] in "tTwW"}


# The C library picks its string functions for the processor at start;
# valgrind's processor gets the AVX2 ones. Their EVEX and AVX-512
# counterparts are listed as well, so that a machine with AVX-512 finds the
# ones it runs beside the rest of the request.
PROCESSOR_VARIANTS = (("_avx2", "_evex"), ("_avx2_", "_avx512_"), ("_avx_", "_evex_"),
                      ("_avx_", "_avx512_"))


def processor_variants(names, program):
    defined = text_symbols(program)
    variants = set()
    for name in names:
        if not name.startswith("__"):
            continue
        for seen, other in PROCESSOR_VARIANTS:
            if seen in name:
                variant = name.replace(seen, other, 1)
                if variant in defined:
                    variants.add(variant)
    return variants


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program")
    parser.add_argument("--callgrind", nargs="+", default=[])
    parser.add_argument("--lackey", nargs="+", default=[])
    args = parser.parse_args()
    code = functions(args.callgrind)
    code |= processor_variants(code, args.program)
    data = touched_data(args.program, args.lackey) - code
    if not code:
        sys.exit("hot_symbols.py: no function in the profiles")
    for name in sorted(code) + sorted(data):
        print(name)


if __name__ == "__main__":
    main()
