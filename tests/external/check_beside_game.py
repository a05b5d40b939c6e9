#!/usr/bin/env python3
"""kxrun looks for a game's library beside the game file before the working
folder: with libkxtest.so beside the game and kxtest.so in the working
folder, "kxtest.dll" is the one beside the game."""
import os
import shutil
import subprocess
import sys
import tempfile

kxpack, kxrun, game, library = (os.path.abspath(a) for a in sys.argv[1:5])
with tempfile.TemporaryDirectory() as work:
    os.makedirs(os.path.join(work, "sub"))
    subprocess.run([kxpack, "build", game, "-o", os.path.join(work, "sub", "g.kx")], check=True)
    shutil.copy(library, os.path.join(work, "sub", "libkxtest.so"))
    shutil.copy(library, os.path.join(work, "kxtest.so"))
    code = "return external_call(external_define0('KxTest.dll', 'kt_where', ty_string))"
    run = subprocess.run([kxrun, "--headless", "--eval", code, "sub/g.kx"], cwd=work,
                         capture_output=True, text=True, timeout=60)
    got = run.stdout.strip()
    want = os.path.join(work, "sub", "libkxtest.so")
    ok = run.returncode == 0 and os.path.realpath(os.path.join(work, got)) == os.path.realpath(want)
    print(("ok   " if ok else "FAIL ") + "loaded " + got + ("" if ok else "\n" + run.stderr))
    sys.exit(0 if ok else 1)
