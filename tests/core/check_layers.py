#!/usr/bin/env python3
"""Every #include "folder/..." in runner/ and tools/kxpack/ names the file's own
folder or one its layer may use; an include that runs upward fails. The table
is the picture in docs/architecture.md."""
import pathlib
import re
import sys

BELOW = {
    "core": [],
    "platform": [],
    "image": [],
    "gamedata": ["image", "platform", "core"],
    "script": ["gamedata", "image", "platform", "core"],
    "sprites": ["gamedata", "image", "platform", "core"],
    "world": ["script", "sprites", "gamedata", "image", "platform", "core"],
    "motion": ["world", "script", "sprites", "gamedata", "image", "platform", "core"],
    "collision": ["motion", "world", "script", "sprites", "gamedata", "image", "platform",
                  "core"],
    "sound": ["script", "gamedata", "image", "platform", "core"],
    "graphics": ["world", "script", "sprites", "gamedata", "image", "platform", "core"],
    "input": ["graphics", "collision", "motion", "world", "script", "sprites", "gamedata",
              "image", "platform", "core"],
    "drawing": ["graphics", "motion", "world", "script", "sprites", "gamedata", "image",
                "platform", "core"],
    "resources": ["graphics", "world", "script", "sprites", "gamedata", "image", "platform",
                  "core"],
    "external": ["script", "gamedata", "image", "platform", "core"],
    "app": ["drawing", "resources", "external", "sound", "input", "graphics", "collision", "motion", "world", "script", "sprites",
            "gamedata", "image", "platform", "core"],
    # kxpack writes the records the runner reads; it never draws or plays. Its
    # build check (check.cpp, not the writer library) starts the runner's
    # subsystem list so that every built-in name resolves.
    "kxpack": ["app", "sound", "motion", "world", "script", "sprites", "gamedata", "image", "platform", "core"],
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')

root = pathlib.Path(sys.argv[1])
bad = []
folders = [(root / "runner" / f, f) for f in BELOW if f != "kxpack"]
folders.append((root / "tools" / "kxpack", "kxpack"))
for path, layer in folders:
    if not path.is_dir():
        bad.append(f"{path}: the folder is missing")
        continue
    for f in sorted(path.rglob("*")):
        if f.suffix not in (".h", ".cpp"):
            continue
        for n, line in enumerate(f.read_text(errors="replace").splitlines(), 1):
            m = INCLUDE.match(line)
            if m and m.group(1) != layer and m.group(1) not in BELOW[layer]:
                bad.append(f"{f.relative_to(root)}:{n}: {layer} includes {m.group(1)}/")
for b in bad:
    print(b)
print(f"{len(bad)} upward includes" if bad else "every include runs downward")
sys.exit(1 if bad else 0)
