#!/usr/bin/env python3
"""Fails when a source file under core/src includes a folder its layer may not depend on.

The layers, lowest first; each may include itself and the folders listed for it. Inside vpn/
the same holds between its rooms (VPN_ROOMS): the controller lies in vpn/ itself, every other
concern in a sub-folder of its own, and the subsystem's texts (vpn/texts.h) are open to all.
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

# The rooms of vpn/, lowest first; "" is vpn/ itself, the controller and its records.
VPN_ROOMS = {
    "dns": set(),
    "engine": set(),
    "host": {"engine"},
    "": {"dns", "engine", "host"},
    "supervision": {"dns", "engine", "host", ""},
    "session": {"dns", "engine", "host", "", "supervision"},
}
VPN_OPEN = {"vpn/texts.h"}
VPN_INCLUDE = re.compile(r'^\s*#\s*include\s+"(vpn/(?:([a-z_0-9]+)/)?[a-z_0-9]+\.h)"')


def vpn_room_faults(rel, path):
    """The includes of a file under vpn/ against the order of its rooms."""
    name = "/".join(rel.parts)
    room = rel.parts[1] if len(rel.parts) > 2 else ""
    if room not in VPN_ROOMS:
        return [f"{rel}: room 'vpn/{room}' has no place in the room list"]
    here = f"vpn/{room}/" if room else "vpn/"
    faults = []
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        m = VPN_INCLUDE.match(line)
        if not m:
            continue
        header, target = m.group(1), m.group(2) or ""
        if name in VPN_OPEN:  # open to every room, so it may lean on none
            faults.append(f"{rel}:{number}: {name} may not include {header}")
        elif header not in VPN_OPEN and target != room and target not in VPN_ROOMS[room]:
            there = f"vpn/{target}/" if target else "vpn/ (the controller)"
            faults.append(f"{rel}:{number}: {here} may not include {there}")
    return faults


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
        if layer == "vpn":
            faults.extend(vpn_room_faults(rel, path))
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layer order")
        return 1
    print("layer order kept")
    return 0


if __name__ == "__main__":
    sys.exit(main())
