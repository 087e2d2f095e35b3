#!/usr/bin/env python3
"""Fails when a product file includes a header of a folder above its own.

The folders, lowest first, and what each may include besides itself:
  base        nothing of ours
  raster      nothing of ours
  imagefiles  raster, base
  view        imagefiles, raster, base
  auxwindows  imagefiles, raster, base
  app         view, auxwindows, imagefiles, raster, base
The resource ids header (resources/resource_ids.h) holds only numbers that
the resource script shares with the code: every folder may use it.

Usage: check-layering.py [ROOT]   (ROOT defaults to the project folder)
"""
import os
import re
import sys

ALLOWED = {
    "base": set(),
    "raster": set(),
    "imagefiles": {"raster", "base"},
    "view": {"imagefiles", "raster", "base"},
    "auxwindows": {"imagefiles", "raster", "base"},
    "app": {"view", "auxwindows", "imagefiles", "raster", "base"},
}
SHARED_HEADERS = {"resources/resource_ids.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def check(root):
    faults = []
    for folder, allowed in ALLOWED.items():
        top = os.path.join(root, folder)
        for directory, _, names in os.walk(top):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp", ".c", ".hpp")):
                    continue
                path = os.path.join(directory, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        header = match.group(1)
                        if header in SHARED_HEADERS or "/" not in header:
                            continue
                        target = header.split("/", 1)[0]
                        if target == folder or target in allowed:
                            continue
                        relative = os.path.relpath(path, root)
                        faults.append(f"{relative}:{number}: {folder}/ must not include {header}")
    return faults


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    faults = check(os.path.abspath(root))
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layering")
        return 1
    print("layering: every include points at the same folder or one below")
    return 0


if __name__ == "__main__":
    sys.exit(main())
