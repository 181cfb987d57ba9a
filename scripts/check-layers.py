#!/usr/bin/env python3
"""Checks that no include in src/ runs from a lower layer to a higher one.

Layers, lowest first (folders of one layer may include each other's headers only where the
list says so): core; text; board, joystick; associations, persistence; session; ui; app.
Prints each include that runs upward and exits 1 when there is one."""
import os
import re
import sys

LAYERS = [["core"], ["text"], ["board", "joystick"], ["associations", "persistence"], ["session"], ["ui"],
          ["app"]]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
# Folders of one layer that must not include each other at all.
SIBLINGS_APART = [("board", "joystick")]

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
include = re.compile(r'^\s*#\s*include\s+"([a-z]+)/[^"]+"')
bad = []
for folder in sorted(os.listdir(root)):
    path = os.path.join(root, folder)
    if not os.path.isdir(path):
        continue
    if folder not in RANK:
        bad.append(f"src/{folder}: a folder the layer list does not name")
        continue
    for name in sorted(os.listdir(path)):
        if not name.endswith((".h", ".cpp")):
            continue
        for number, line in enumerate(open(os.path.join(path, name), encoding="utf-8"), 1):
            match = include.match(line)
            if not match or match.group(1) not in RANK:
                continue
            target = match.group(1)
            upward = RANK[target] > RANK[folder]
            apart = (folder, target) in SIBLINGS_APART or (target, folder) in SIBLINGS_APART
            if upward or apart:
                bad.append(f"src/{folder}/{name}:{number}: includes {target}/ ({line.strip()})")
for line in bad:
    print(line)
print(f"layers: {len(bad)} include(s) running upward")
sys.exit(1 if bad else 0)
