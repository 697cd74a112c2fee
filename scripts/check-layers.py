#!/usr/bin/env python3
"""Checks every #include of the product's sources against layers.txt.

    check-layers.py            fails on an include of a folder that layers.txt does not allow, on
                               a source folder it does not name, and on a README.md or HACKING.md
                               whose layer table differs from it
    check-layers.py --write    writes the table into README.md and HACKING.md
Tests (tests/) and benchmarks (bench/) may include any layer and are not checked."""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)/[^/"]+"', re.M)
BEGIN, END = "<!-- layers: written by scripts/check-layers.py -->", "<!-- /layers -->"
UNCHECKED = ("tests/", "bench/", "res/")


def read_layers():
    layers = {}
    with open(os.path.join(ROOT, "layers.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                folder, _, allowed = line.partition(":")
                layers[folder.strip()] = allowed.split()
    return layers


def table(layers):
    rows = ["| folder | may include |", "|---|---|"]
    rows += [f"| `{d}/` | {', '.join(f'`{a}/`' for a in allowed) or '(nothing)'} |"
             for d, allowed in reversed(layers.items())]
    return "\n".join([BEGIN] + rows + [END])


def doc_problems(layers, write):
    problems = []
    for doc in ("README.md", "HACKING.md"):
        path = os.path.join(ROOT, doc)
        text = open(path, encoding="utf-8").read()
        block = re.compile(re.escape(BEGIN) + ".*?" + re.escape(END), re.S)
        if not block.search(text):
            problems.append(f"{doc}: no layer table")
        elif block.search(text).group(0) != table(layers):
            if write:
                open(path, "w", encoding="utf-8").write(block.sub(lambda _: table(layers), text))
            else:
                problems.append(f"{doc}: the layer table differs from layers.txt (--write)")
    return problems


def include_problems(layers):
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h", "*.c"], cwd=ROOT, check=True,
                           capture_output=True, text=True).stdout.split()
    problems = []
    for path in files:
        folder = os.path.dirname(path)
        if path.startswith(UNCHECKED) or not folder:
            continue
        if folder not in layers:
            problems.append(f"{path}: its folder {folder}/ is not in layers.txt")
            continue
        for target in INCLUDE.findall(open(os.path.join(ROOT, path), encoding="utf-8").read()):
            if target != folder and target not in layers[folder]:
                problems.append(f"layer: {path} includes {target}/")
    return problems


def main(args):
    layers = read_layers()
    problems = include_problems(layers) + doc_problems(layers, "--write" in args)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
