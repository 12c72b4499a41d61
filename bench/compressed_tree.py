#!/usr/bin/env python3
"""Generates the tree that the compressed-mode benchmark archives: a shop's folder of many small files in
nested folders (documents, price lists, invoices, a few photos that do not compress) and a few 100 MB files
(a database, a log, a media file). The same seed always gives the same tree."""
import os
import random
import sys

SMALL_FILES = 20000
BIG_FILE_MB = 100


_SYLLABLES = ["ka", "po", "ra", "ni", "ze", "lo", "mi", "to", "sa", "vu", "de", "je", "br", "st", "ko", "na"]
_VOCABULARY = []


def words(rng, count):
    if not _VOCABULARY:
        _VOCABULARY.extend("".join(rng.choice(_SYLLABLES) for _ in range(rng.randint(1, 4))) for _ in range(3000))
    return rng.choices(_VOCABULARY, k=count)


def document(rng, size):
    text = []
    length = 0
    while length < size:
        line = " ".join(words(rng, rng.randint(4, 14))) + "\n"
        text.append(line)
        length += len(line)
    return "".join(text).encode()[:size]


def price_list(rng, size):
    rows = []
    length = 0
    article = rng.randint(1000, 9000)
    while length < size:
        article += rng.randint(1, 7)
        row = f"{article};{' '.join(words(rng, 2))};{rng.randint(1, 500)},{rng.randint(0, 99):02d};KM;{rng.randint(0, 300)}\r\n"
        rows.append(row)
        length += len(row)
    return "".join(rows).encode()[:size]


def make_small(root, rng):
    made = 0
    folder_index = 0
    while made < SMALL_FILES:
        depth = rng.randint(1, 4)
        folder = os.path.join(root, *[f"odjel_{folder_index % 23}", f"godina_{2015 + folder_index % 11}",
                                      f"mjesec_{folder_index % 12 + 1:02d}", f"dio_{folder_index}"][:depth])
        os.makedirs(folder, exist_ok=True)
        for _ in range(rng.randint(10, 60)):
            if made >= SMALL_FILES:
                break
            kind = rng.random()
            size = int(rng.lognormvariate(8.5, 1.0))  # a few KB typically, some tens of KB
            if kind < 0.45:
                data, ext = document(rng, size), "txt"
            elif kind < 0.85:
                data, ext = price_list(rng, size), "csv"
            else:
                data, ext = rng.randbytes(size), "jpg"
            with open(os.path.join(folder, f"datoteka_{made}.{ext}"), "wb") as out:
                out.write(data)
            made += 1
        folder_index += 1


def make_big(root, rng):
    big = os.path.join(root, "veliko")
    os.makedirs(big, exist_ok=True)
    target = BIG_FILE_MB * 1024 * 1024
    # Database-like: fixed records of text and numbers.
    with open(os.path.join(big, "baza.mdb"), "wb") as out:
        written = 0
        block = price_list(rng, 4 * 1024 * 1024)
        while written < target:
            piece = bytearray(block)
            for _ in range(2000):  # every block differs a little, as pages of a real database do
                at = rng.randrange(len(piece) - 8)
                piece[at:at + 8] = rng.randbytes(8)
            out.write(piece[: target - written])
            written += len(piece)
    with open(os.path.join(big, "dnevnik.log"), "wb") as out:
        written = 0
        while written < target:
            piece = document(rng, 2 * 1024 * 1024)
            out.write(piece[: target - written])
            written += len(piece)
    with open(os.path.join(big, "snimak.mp4"), "wb") as out:
        for _ in range(BIG_FILE_MB):
            out.write(rng.randbytes(1024 * 1024))


def main():
    root = sys.argv[1]
    rng = random.Random(20261205)
    make_small(root, rng)
    make_big(root, rng)


if __name__ == "__main__":
    main()
