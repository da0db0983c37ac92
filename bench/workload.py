#!/usr/bin/env python3
"""Writes the reference workload into a folder: block.txt (120 bytes, three tags, one of them
twice in mixed case) and names.txt (one line per copy). Usage: workload.py FOLDER [COPIES]"""
import sys
from pathlib import Path

folder = Path(sys.argv[1])
copies = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
folder.mkdir(parents=True, exist_ok=True)
block = "INSERT INTO people (id, name, team) VALUES (<ID>, '<NAME>', '<Team>'); -- <name>"
block = block.ljust(119) + "\n"
assert len(block) == 120
(folder / "block.txt").write_text(block)
with open(folder / "names.txt", "w") as names:
    for i in range(copies):
        names.write(f"person{i:07d}\n")
