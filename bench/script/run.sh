#!/bin/sh
# Runs each benchmark program in this language and in Lua 5.4 side by side and
# prints the time ratio ours/Lua. Each time is the best of three runs. "net"
# takes away each side's start-up (the time of an empty program), which for
# us includes loading the platform's shared libraries.
# Usage: run.sh BENCH_BINARY [LUA]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:?usage: run.sh BENCH_BINARY [LUA]}
lua=${2:-lua5.4}
RUNS=${RUNS:-3}

now() { date +%s.%N; }

# best NAME KIND: prints "seconds output" of the fastest of RUNS runs.
best() {
    name=$1 kind=$2 instances=0 bestt=
    [ "$name" = with ] && instances=1000
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        t0=$(now)
        if [ "$kind" = ours ]; then
            out=$("$bench" "$here/$name.gml" "$here/scripts" "$instances")
        else
            out=$("$lua" "$here/$name.lua")
        fi
        t1=$(now)
        bestt=$(awk -v a="$t0" -v b="$t1" -v m="$bestt" 'BEGIN { t = b - a; if (m == "" || t < m) print t; else print m }')
        i=$((i + 1))
    done
    echo "$bestt $out"
}

set -- $(best empty ours); ours0=$1
set -- $(best empty lua); lua0=$1
printf '%-8s %9s %9s %7s %9s %9s %7s  %s\n' program ours/s lua/s ratio ours-net lua-net net check
for name in loop fib strings arrays with; do
    set -- $(best "$name" ours); to=$1; ro=$2
    set -- $(best "$name" lua); tl=$1; rl=$2
    check=ok
    [ "$ro" = "$rl" ] || check="MISMATCH($ro/$rl)"
    awk -v n="$name" -v o="$to" -v l="$tl" -v o0="$ours0" -v l0="$lua0" -v c="$check" 'BEGIN {
        on = o - o0; ln = l - l0; if (ln <= 0) ln = 0.001
        printf "%-8s %9.3f %9.3f %7.2f %9.3f %9.3f %7.2f  %s\n", n, o, l, o / l, on, ln, on / ln, c }'
done
