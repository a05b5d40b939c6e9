#!/usr/bin/env python3
"""Runs every script case through `kxrun --headless --eval CODE`, so that the
command line stays true to the case tables (format: see case_file.h)."""
import pathlib
import subprocess
import sys


def read_cases(path):
    cases, cur, state = [], None, None
    for n, line in enumerate(path.read_text(encoding="latin-1").split("\n"), 1):
        line = line[:-1] if line.endswith("\r") else line
        if line.startswith("=== "):
            cur = {"name": line[4:], "line": n, "code": [], "ok": True, "expected": []}
            cases.append(cur)
            state = "code"
        elif state == "code" and line in ("--- ok", "--- error"):
            cur["ok"] = line == "--- ok"
            state = "expect"
        elif state == "code":
            cur["code"].append(line)
        elif state == "expect":
            cur["expected"].append(line)
    for c in cases:
        while c["expected"] and c["expected"][-1] == "":
            c["expected"].pop()
    return cases


def main():
    kxrun, case_dir = sys.argv[1], pathlib.Path(sys.argv[2])
    failures = 0
    total = 0
    for path in sorted(case_dir.glob("*.cases")):
        for c in read_cases(path):
            total += 1
            code = "\n".join(c["code"])
            p = subprocess.run([kxrun, "--headless", "--eval", code], capture_output=True,
                               timeout=60)
            got = p.stdout.decode("latin-1").split("\n")
            while got and got[-1] == "":
                got.pop()
            want_rc = 0 if c["ok"] else 1
            if p.returncode != want_rc or got != c["expected"]:
                failures += 1
                print(f"{path.name}:{c['line']}: {c['name']}")
                print(f"  exit {p.returncode}, wanted {want_rc}")
                print(f"  got      {got!r}")
                print(f"  expected {c['expected']!r}")
    print(f"{total - failures} of {total} cases pass through kxrun --eval")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
