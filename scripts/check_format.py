#!/usr/bin/env python3
"""Fails when a C++ file of src/, tests/ or bench/ is not formatted as the
repository's .clang-format says (clang-format --dry-run -Werror).

Usage: check_format.py [REPO_ROOT]   (default: the folder above this script)
"""
import os
import subprocess
import sys


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    files = []
    for top in ("src", "tests", "bench"):
        for folder, _, names in os.walk(os.path.join(root, top)):
            files += [os.path.join(folder, n) for n in sorted(names) if n.endswith((".h", ".cpp"))]
    result = subprocess.run(["clang-format", "--dry-run", "-Werror", *files],
                            cwd=root, capture_output=True, text=True)
    sys.stdout.write(result.stdout + result.stderr)
    if result.returncode != 0:
        print("format check: run clang-format -i on the files above")
        return 1
    print("format check: %d files as .clang-format says" % len(files))
    return 0


sys.exit(main())
