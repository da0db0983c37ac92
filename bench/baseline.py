#!/usr/bin/env python3
"""The baseline to beat: the reference workload done the straightforward way, with re and
IGNORECASE. Usage: baseline.py FOLDER COPIES OUTPUT"""
import re
import sys
from pathlib import Path

folder, copies, output = Path(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
block = (folder / "block.txt").read_text()
names = (folder / "names.txt").read_text().split("\n")
variables = [
    (re.compile(re.escape("<NAME>"), re.IGNORECASE), lambda i: names[i]),
    (re.compile(re.escape("<ID>"), re.IGNORECASE), lambda i: "%06d" % (1 + i)),
    (re.compile(re.escape("<TEAM>"), re.IGNORECASE), lambda i: "blue"),
]
with open(output, "w", buffering=1 << 20) as out:
    for i in range(copies):
        copy = block
        for pattern, value in variables:
            text = value(i)
            copy = pattern.sub(lambda _: text, copy)
        out.write(copy)
