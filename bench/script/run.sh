#!/bin/sh
# Runs each benchmark program in this language and in Lua 5.4 side by side and
# prints the time ratio ours/Lua. Usage: run.sh BENCH_BINARY [LUA]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:?usage: run.sh BENCH_BINARY [LUA]}
lua=${2:-lua5.4}

now() { date +%s.%N; }

printf '%-8s %12s %12s %10s %8s\n' program ours/s lua/s ratio result
for name in loop fib strings arrays with; do
    instances=0
    [ "$name" = with ] && instances=1000
    t0=$(now)
    ours=$("$bench" "$here/$name.gml" "$here/scripts" "$instances")
    t1=$(now)
    theirs=$("$lua" "$here/$name.lua")
    t2=$(now)
    check=ok
    [ "$ours" = "$theirs" ] || check="MISMATCH($ours/$theirs)"
    awk -v n="$name" -v a="$t0" -v b="$t1" -v c="$t2" -v r="$check" 'BEGIN {
        o = b - a; l = c - b; printf "%-8s %12.3f %12.3f %10.2f %8s\n", n, o, l, o / l, r }'
done
