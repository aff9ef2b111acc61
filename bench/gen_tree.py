#!/usr/bin/env python3
"""gen_tree: fill a folder with N entries shaped like a real download folder.

Usage: gen_tree.py FOLDER COUNT [SEED]

Mostly files with everyday names (file12345.txt, IMG_0042.jpg, ...), about
3 % empty subfolders, a few names in Shift_JIS written as raw bytes (some
with 0x5C as trail byte), a couple of names the default ignore rules hide.
Sizes follow a rough log-uniform spread from 0 B to about 4 GB; files are
sparse (ftruncate), so generating 100 000 of them takes about a second.
Modification times are spread over ten years.

With DIRVANE_BENCH_CHARSET=UTF-8 in the environment every name is UTF-8
instead (kanji, kana, accented Latin, an emoji in the stems) and no Shift_JIS
name is written: the folder for a Dirvane with charset=UTF-8.
"""

import os
import random
import sys

# Shift_JIS names as raw bytes: "ソ" (83 5C) and "表" (95 5C) end in a
# backslash byte; "日本語" and "写真" are plain double-byte text.
SJIS_STEMS = [
    b"\x83\x5c",  # ソ
    b"\x95\x5c",  # 表
    b"\x93\xfa\x96\x7b\x8c\xea",  # 日本語
    b"\x8e\xca\x90\x5e",  # 写真
    b"\x8e\x91\x97\xbf",  # 資料
]
SJIS_EXTS = [b".txt", b".jpg", b".pdf", b""]

PATTERNS = [
    ("file{:05d}.txt", 30),
    ("IMG_{:04d}.jpg", 20),
    ("DSC{:05d}.JPG", 8),
    ("report_{:05d}.pdf", 8),
    ("notes {:d}.md", 5),
    ("backup-{:d}.tar.gz", 5),
    ("a&b_{:d}.html", 3),
    ("data{:d}.csv", 8),
    ("setup_v{:d}.exe", 3),
    ("track{:03d}.mp3", 7),
    ("Archive{:d}.zip", 3),
]
# The UTF-8 variant: every pattern holds non-ASCII text.
UTF8_PATTERNS = [
    ("ファイル{:05d}.txt", 30),
    ("写真_{:04d}.jpg", 20),
    ("Résumé {:05d}.JPG", 8),
    ("報告書_{:05d}.pdf", 8),
    ("メモ {:d}.md", 5),
    ("バックアップ-{:d}.tar.gz", 5),
    ("café&bar_{:d}.html", 3),
    ("データ{:d}.csv", 8),
    ("セットアップ_v{:d}.exe", 3),
    ("\U0001F3B5曲{:03d}.mp3", 7),
    ("Ärchiv{:d}.zip", 3),
]
DIR_SHARE = 0.03
SJIS_SHARE = 0.005


def pick_size(rng):
    r = rng.random()
    if r < 0.03:
        return 0
    # log-uniform from 1 B to 2^32 B
    return int(2 ** (rng.random() * 32))


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: gen_tree.py FOLDER COUNT [SEED]")
    folder = os.fsencode(sys.argv[1])
    count = int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 932)
    os.makedirs(folder, exist_ok=True)

    utf8 = os.environ.get("DIRVANE_BENCH_CHARSET", "").lower() == "utf-8"
    patterns = UTF8_PATTERNS if utf8 else PATTERNS
    weights = [w for _, w in patterns]
    names = set()
    # A few fixed entries: hidden by the default ignore rules, and one name
    # without extension.
    fixed = [b"Thumbs.db", b"old.bak", b"README"]
    entries = [(n, False) for n in fixed[: max(0, min(len(fixed), count // 50))]]
    names.update(n for n, _ in entries)
    serial = 0
    while len(entries) < count:
        serial += 1
        r = rng.random()
        if r < DIR_SHARE:
            name = ("フォルダ{:05d}" if utf8 else "folder{:05d}").format(serial).encode()
            is_dir = True
        elif not utf8 and (r < DIR_SHARE + SJIS_SHARE or (count <= 100 and serial <= 3)):
            stem = rng.choice(SJIS_STEMS)
            name = stem + str(serial).encode() + rng.choice(SJIS_EXTS)
            is_dir = False
        else:
            fmt = rng.choices(patterns, weights)[0][0]
            name = fmt.format(rng.randrange(100000)).encode()
            is_dir = False
        if name in names:
            continue
        names.add(name)
        entries.append((name, is_dir))

    now = 1_700_000_000
    for name, is_dir in entries:
        path = os.path.join(folder, name)
        mtime = now - rng.randrange(10 * 365 * 86400)
        if is_dir:
            os.mkdir(path)
            os.utime(path, (mtime, mtime))
            continue
        fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
        try:
            size = pick_size(rng)
            if size:
                os.ftruncate(fd, size)
            os.utime(fd, (mtime, mtime))
        finally:
            os.close(fd)


if __name__ == "__main__":
    main()
