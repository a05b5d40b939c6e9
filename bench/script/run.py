#!/usr/bin/env python3
"""Runs each benchmark program in this language and in Lua 5.4 side by side and
prints the time ratio ours/Lua. Times are processor time (user + system) of the
child, so a busy machine disturbs them less than wall time; each is the best of
RUNS runs (default 3). "net" takes away each side's start-up (an empty
program), which for us includes loading the platform's shared libraries.
Usage: run.py BENCH_BINARY [LUA]"""
import os
import resource
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = ["loop", "fib", "strings", "arrays", "with", "calls", "fields", "step"]
INSTANCES = {"with": "1000", "fields": "200", "step": "1000"}


def cpu_of(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    out = subprocess.run(cmd, capture_output=True, check=True).stdout.decode().strip()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    t = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return t, out


def best(cmd, runs):
    results = [cpu_of(cmd) for _ in range(runs)]
    return min(t for t, _ in results), results[0][1]


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    bench, lua = sys.argv[1], (sys.argv[2] if len(sys.argv) > 2 else "lua5.4")
    runs = int(os.environ.get("RUNS", "3"))
    scripts = os.path.join(HERE, "scripts")

    def ours(name):
        instances = INSTANCES.get(name, "0")
        return [bench, os.path.join(HERE, name + ".kxs"), scripts, instances]

    def theirs(name):
        return [lua, os.path.join(HERE, name + ".lua")]

    ours0, _ = best(ours("empty"), runs)
    lua0, _ = best(theirs("empty"), runs)
    print(f"{'program':8} {'ours/s':>8} {'lua/s':>8} {'ratio':>6} {'ours-net':>9} {'lua-net':>8} {'net':>6}  check")
    bad = False
    for name in PROGRAMS:
        to, ro = best(ours(name), runs)
        tl, rl = best(theirs(name), runs)
        check = "ok" if ro == rl else f"MISMATCH({ro}/{rl})"
        bad |= ro != rl
        on, ln = to - ours0, max(tl - lua0, 1e-4)
        print(f"{name:8} {to:8.3f} {tl:8.3f} {to / tl:6.2f} {on:9.3f} {ln:8.3f} {on / ln:6.2f}  {check}")
    # Compile time: 5,000 pieces of code made from the scripts, best of RUNS.
    figures = [subprocess.run([bench, "--compile", "5000", scripts], capture_output=True,
                              check=True).stdout.decode().strip() for _ in range(runs)]
    print(min(figures, key=lambda f: float(f.split(" in ")[1].split(" ms")[0])))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
