#!/usr/bin/env python3
"""Counts the C and C++ lines of the tree, blank and comment lines not counted, and the share
of them under tests/ and fuzz/ (fakes and support included): the measure the team keeps at
a quarter to a third.
  python3 scripts/test-share.py [-v]     (-v: the count of each folder as well)"""
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
EXTENSIONS = (".c", ".cc", ".cpp", ".h", ".hpp")


def code_lines(path):
    count, in_comment = 0, False
    for line in open(path, encoding="utf-8", errors="replace"):
        text = line.strip()
        if in_comment:
            if "*/" not in text:
                continue
            in_comment = False
            text = text.split("*/", 1)[1].strip()
        if not text or text.startswith("//"):
            continue
        if text.startswith("/*"):
            in_comment = "*/" not in text
            continue
        count += 1
    return count


def main():
    total = tests = 0
    folders = {}
    for folder, subfolders, files in os.walk(ROOT):
        subfolders[:] = [d for d in subfolders if d not in ("build", ".git")]
        for name in files:
            if not name.endswith(EXTENSIONS):
                continue
            relative = os.path.relpath(os.path.join(folder, name), ROOT)
            lines = code_lines(os.path.join(folder, name))
            parts = relative.split(os.sep)
            key = os.sep.join(parts[:2]) if len(parts) > 2 else parts[0]
            folders[key] = folders.get(key, 0) + lines
            total += lines
            tests += lines if parts[0] in ("tests", "fuzz") else 0
    if "-v" in sys.argv:
        for key in sorted(folders):
            print(f"{folders[key]:6d}  {key}")
    print(f"tests {tests} of {total} lines: {100.0 * tests / total:.1f} %")


if __name__ == "__main__":
    main()
