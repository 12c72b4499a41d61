#!/usr/bin/env python3
"""Makes a tree of COUNT small files (100 to 8,000 bytes of text, 100 to a folder, folders two levels deep) for the
benchmarks that measure the cost of each file: time and memory per file. The same count always gives the same
tree. Usage: small_tree.py ROOT COUNT"""
import os
import random
import sys

root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(11)
text = (" ".join(f"racun {i} stavka {i * 7 % 1000} iznos {i * 13 % 10000},00" for i in range(400)) + "\n").encode()
per_folder = 100
for index in range(count):
    if index % per_folder == 0:
        folder = os.path.join(root, f"odjel_{index // (per_folder * 100):03d}", f"racuni_{index // per_folder % 100:02d}")
        os.makedirs(folder, exist_ok=True)
    size = rng.randint(100, 8000)
    start = rng.randint(0, len(text) - size)
    with open(os.path.join(folder, f"dokument_{index % per_folder:03d}.txt"), "wb") as f:
        f.write(text[start:start + size])
