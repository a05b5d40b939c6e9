#!/usr/bin/env bash
# The demo in a real window on a virtual X server, its sound through OpenAL
# Soft's wave output (a sound card that writes a file): the music and effects
# reach the device. Without any device the game plays on silently, saying so
# once. Skipped (as passed) when Xvfb is not installed.
. "$(dirname "$0")/../support/game_test.sh"
DEMO=$(realpath "$3")
command -v Xvfb >/dev/null || { echo "skip: no Xvfb"; exit 0; }
"$KXPACK" build "$DEMO" -o "$work/demo.kx" || { echo "FAIL build"; exit 1; }
for n in $(seq 90 140); do [ -e "/tmp/.X$n-lock" ] || break; done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
trap 'kill $xpid 2>/dev/null; [ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
sleep 1
export DISPLAY=":$n"
printf '[general]\ndrivers=wave\n[wave]\nfile=%s\n' "$work/device.wav" > "$work/alsoft.conf"
ALSOFT_CONF="$work/alsoft.conf" "$KXRUN" --steps 60 "$work/demo.kx" >"$work/out" 2>"$work/err"
expect "windowed demo exits 0" 0 $?
expect "no warnings" "" "$(cat "$work/err")"
level=$(python3 - "$work/device.wav" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
pos, bits, body, tag = 12, 16, b"", 1
while pos + 8 <= len(d):
    cid, size = d[pos:pos + 4], struct.unpack("<I", d[pos + 4:pos + 8])[0]
    if cid == b"fmt ":
        tag, bits = struct.unpack("<H", d[pos + 8:pos + 10])[0], struct.unpack("<H", d[pos + 22:pos + 24])[0]
        if tag == 0xFFFE:  # the sub-format's first two bytes
            tag = struct.unpack("<H", d[pos + 32:pos + 34])[0]
    elif cid == b"data":
        body = d[pos + 8:pos + 8 + size]
    pos += 8 + size
code = {(1, 16): "h", (1, 32): "i", (3, 32): "f"}[(tag, bits)]
full = {"h": 32768.0, "i": 2147483648.0, "f": 1.0}[code]
n = len(body) // (bits // 8)
peak = max((abs(v) for v in struct.unpack("<%d%s" % (n, code), body[:n * bits // 8])), default=0) / full
print("sound" if peak > 0.003 else "silence")
PY
)
expect "the music reaches the sound device" sound "$level"
ALSOFT_DRIVERS=no_such_driver "$KXRUN" --steps 30 "$work/demo.kx" >"$work/out" 2>"$work/err"
expect "without a device the game still runs" 0 $?
expect "...and says so once" "kxrun: no sound device; the game plays without sound" "$(cat "$work/err")"
exit $fail
