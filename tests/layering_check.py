#!/usr/bin/env python3
"""Fails when a source file includes a header from a layer above its own.

Layers, lowest first; a folder may include its own layer and every layer below it:
  base -> platform -> model -> services -> app -> ui
Usage: layering_check.py [SRC_DIR] [--table]   (--table prints the folder-to-folder includes)
"""
import os
import re
import sys

LAYERS = [
    ("base", {"base"}),
    ("platform", {"platform"}),
    ("model", {"model"}),
    ("services",
     {"store", "approvals", "integrations", "jump", "usage", "updates", "sounds", "pets"}),
    ("app", {"app"}),
    ("ui", {"ui"}),
]
RANK = {folder: rank for rank, (_, folders) in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*(?:include|import)\s+"([^"]+)"')


def main(argv):
    source = next((a for a in argv[1:] if not a.startswith("--")),
                  os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src"))
    problems, table = [], {}
    for directory, _, files in os.walk(source):
        for name in sorted(files):
            if not name.endswith((".cpp", ".hpp", ".h", ".mm")):
                continue
            path = os.path.join(directory, name)
            relative = os.path.relpath(path, source)
            folder = relative.split(os.sep)[0]
            if folder not in RANK:
                problems.append(f"{relative}: folder '{folder}' belongs to no layer")
                continue
            with open(path, encoding="utf-8") as handle:
                for number, line in enumerate(handle, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    target = match.group(1).split("/")[0]
                    if target not in RANK:
                        continue  # a generated or third-party header
                    if target != folder:
                        table.setdefault(folder, set()).add(target)
                    if RANK[target] > RANK[folder]:
                        problems.append(
                            f"{relative}:{number}: includes {match.group(1)} "
                            f"({LAYERS[RANK[target]][0]}) from the {LAYERS[RANK[folder]][0]} layer")
    if "--table" in argv:
        for folder in sorted(table, key=lambda f: (RANK[f], f)):
            print(f"{folder:13} -> {' '.join(sorted(table[folder], key=lambda f: (RANK[f], f)))}")
    for problem in problems:
        print(problem)
    print(f"layering: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
