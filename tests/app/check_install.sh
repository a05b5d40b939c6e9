#!/usr/bin/env bash
# cmake --install into a staging folder (what `make install DESTDIR=...` runs)
# puts exactly the listed files under the prefix, and the man pages read.
set -u
BUILD=$1 WITH_VELUNOR=$2   # 1 when this tree builds the sound library
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
expect() {
    if [ "$2" != "$3" ]; then echo "FAIL $1: want [$2] got [$3]"; fail=1; else echo "ok   $1"; fi
}
DESTDIR="$work/stage" cmake --install "$BUILD" --prefix /usr >/dev/null || { echo "FAIL install"; exit 1; }
want="bin/kxpack
bin/kxrun
share/applications/org.kxrun.kxrun.desktop
share/doc/kxrun/README.md
share/doc/kxrun/command-line.md
share/doc/kxrun/game-format.md
share/doc/kxrun/input-recording.md
share/doc/kxrun/linux.md
share/doc/kxrun/reference.md
share/doc/kxrun/velunor.md
share/icons/hicolor/scalable/apps/org.kxrun.kxrun.svg
share/man/man1/kxpack.1
share/man/man6/kxrun.6
share/metainfo/org.kxrun.kxrun.metainfo.xml
share/mime/packages/kxrun.xml"
# The sound library is installed wherever this tree builds it.
if [ "$WITH_VELUNOR" = 1 ]; then
    want="$want
include/velunor.h
lib/libvelunor.so"
fi
got=$(cd "$work/stage/usr" && find . -type f -o -type l | sed 's|^\./||' | grep -v '^lib/libvelunor.so\.' | sort)
expect "the installed tree" "$(echo "$want" | sort)" "$got"
[ -x "$work/stage/usr/bin/kxrun" ] && "$work/stage/usr/bin/kxrun" --version | grep -q "^kxrun "
expect "the installed kxrun runs" 0 $?
if command -v man >/dev/null; then
    MANWIDTH=80 man -l "$work/stage/usr/share/man/man6/kxrun.6" 2>/dev/null | grep -q "^SYNOPSIS"
    expect "kxrun(6) reads as a man page" 0 $?
    MANWIDTH=80 man -l "$work/stage/usr/share/man/man1/kxpack.1" 2>/dev/null | grep -q -- "--no-check"
    expect "kxpack(1) holds the build check's option" 0 $?
fi
grep -q "^MimeType=application/x-kxrun-game;$" "$work/stage/usr/share/applications/org.kxrun.kxrun.desktop"
expect "the desktop file opens our game files" 0 $?
grep -q 'type="application/x-kxrun-game"' "$work/stage/usr/share/mime/packages/kxrun.xml"
expect "the MIME type is defined" 0 $?
if command -v update-mime-database >/dev/null; then
    cp -r "$work/stage/usr/share/mime" "$work/mime"
    XDG_DATA_DIRS="$work" update-mime-database "$work/mime" >/dev/null 2>&1 &&
        grep -q "application/x-kxrun-game" "$work/mime/types"
    expect "the shared MIME database takes our type" 0 $?
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$work/stage/usr/share/metainfo/org.kxrun.kxrun.metainfo.xml" >"$work/out" 2>&1 ||
        { echo "FAIL AppStream metadata:"; cat "$work/out"; fail=1; }
fi
exit $fail
