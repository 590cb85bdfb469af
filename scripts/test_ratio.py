#!/usr/bin/env python3
"""Prints how large the tests are against the code they test, in lines that
are neither blank nor comments: code is src/, bench/ and tools/, tests are
tests/ (C++, Python, Lua and shell files; CMake files are not counted). Our
rule is roughly a quarter to a third.

Usage: test_ratio.py [REPO_ROOT]   (default: the folder above this script)
"""
import os
import re
import sys

# File ending -> (block comment pattern or None, line comment start)
KINDS = {
    ".cpp": (r"/\*.*?\*/", "//"), ".cc": (r"/\*.*?\*/", "//"),
    ".h": (r"/\*.*?\*/", "//"), ".hpp": (r"/\*.*?\*/", "//"),
    ".py": (r'""".*?"""', "#"),
    ".lua": (r"--\[\[.*?\]\]", "--"),
    ".sh": (None, "#"),
}


def counted_lines(path):
    block, line_comment = KINDS[os.path.splitext(path)[1]]
    with open(path, errors="replace") as source:
        text = source.read()
    if block:
        text = re.sub(block, "", text, flags=re.S)
    return sum(1 for line in text.splitlines()
               if line.strip() and not line.strip().startswith(line_comment))


def lines_below(folder):
    total = 0
    for here, _, names in os.walk(folder):
        total += sum(counted_lines(os.path.join(here, n)) for n in names
                     if os.path.splitext(n)[1] in KINDS)
    return total


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    code = sum(lines_below(os.path.join(root, top)) for top in ("src", "bench", "tools"))
    tests = lines_below(os.path.join(root, "tests"))
    print("tests/code %.2f (%d / %d lines)" % (tests / code if code else 0.0, tests, code))


main()
