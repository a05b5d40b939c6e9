#!/bin/sh
# Runs the script benchmarks against Lua 5.4; see run.py.
# Usage: run.sh BENCH_BINARY [LUA]
exec python3 "$(dirname "$0")/run.py" "$@"
