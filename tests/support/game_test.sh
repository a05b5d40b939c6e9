# Sourced by the game-test scripts: the tools from the first two arguments,
# a work folder removed at exit (kept when KEEP is set), and the checks.
# Each script ends with `exit $fail`.
set -u
KXPACK=$(realpath "$1") KXRUN=$(realpath "$2")
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
fail=0
expect() {   # expect NAME WANT GOT
    if [ "$2" != "$3" ]; then echo "FAIL $1: want [$2] got [$3]"; fail=1; else echo "ok   $1"; fi
}
