#!/usr/bin/env python3
"""Checks that includes point one way: each source folder includes only the
folders listed for it below, and the QtCore-only folders include no GUI
header.   check_layers.py SOURCE_DIR"""
import pathlib
import re
import sys

# Folder -> the folders it may include (its own is always allowed).
ALLOWED = {
    "texts": set(),
    "files": {"texts"},
    "records": set(),
    "settings": {"files", "texts"},
    "res": set(),
    "records/list": {"records"},
    "link": {"records", "texts"},
    "report": {"records", "texts", "files"},
    "sim": {"link", "records"},
    "controls": {"res"},
    "ui": {"texts", "files", "records", "records/list", "link", "report", "settings", "controls", "res"},
    "app": {"ui", "sim", "link", "texts"},
    "tools/meter-sim": {"sim", "link", "records"},
    "tools/meterctl": {"texts", "files", "records", "link", "report", "sim"},
}
CORE_ONLY = {"texts", "files", "records", "settings", "link", "report", "sim", "tools/meterctl"}
GUI_HEADER = re.compile(r"#include <(Qt(Gui|Widgets|Svg)/|Q(Widget|Application|GuiApplication|Cursor|Color|Font|Pixmap|Image|Painter|Icon)\b)")


def folder(path):
    parts = path.split("/")
    if parts[0] in ("records", "tools") and len(parts) > 2:
        return "/".join(parts[:2])
    return parts[0]


def main():
    top = pathlib.Path(sys.argv[1])
    faults = []
    for source in sorted(top.rglob("*")):
        rel = source.relative_to(top).as_posix()
        if source.suffix not in (".cpp", ".h") or rel.split("/")[0] not in {f.split("/")[0] for f in ALLOWED}:
            continue
        own = folder(rel)
        text = source.read_text(encoding="utf-8")
        for include in re.findall(r'#include "([^"]+/[^"]+)"', text):
            target = folder(include)
            if target != own and target not in ALLOWED.get(own, set()):
                faults.append(f"{rel}: includes {include} ({own} may not use {target})")
        if own in CORE_ONLY and GUI_HEADER.search(text):
            faults.append(f"{rel}: a GUI header in a QtCore-only folder")
    for fault in faults:
        print(fault)
    print(f"check_layers: {len(faults)} fault(s)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
