#!/usr/bin/env python3
"""Fails when a source file under core/src includes a folder its layer may not depend on.

The layers, lowest first; each may include itself and the folders listed for it:
"""
import pathlib
import re
import sys

ALLOWED = {
    "base": set(),
    "text": {"base"},
    "json": {"base", "text"},
    "platform": {"base", "text"},
    "util": {"base", "text", "json", "platform"},
    "net": {"base", "text", "json", "platform", "util"},
    "config": {"base", "text", "json", "platform", "util"},
    "apps": {"base", "text", "json", "platform", "util", "net", "config"},
    "vpn": {"base", "text", "json", "platform", "util", "net", "config"},
    "rpc": {"base", "text", "json", "platform", "util", "net", "config", "vpn", "apps"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_0-9]+)/')


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "core/src")
    faults = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in {".h", ".cpp", ".inc"}:
            continue
        rel = path.relative_to(root)
        if len(rel.parts) < 2:  # the process entry may use every layer
            continue
        layer = rel.parts[0]
        if layer not in ALLOWED:
            faults.append(f"{rel}: folder '{layer}' has no place in the layer list")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            m = INCLUDE.match(line)
            if m and m.group(1) != layer and m.group(1) not in ALLOWED[layer]:
                faults.append(f"{rel}:{number}: {layer}/ may not include {m.group(1)}/")
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layer order")
        return 1
    print("layer order kept")
    return 0


if __name__ == "__main__":
    sys.exit(main())
