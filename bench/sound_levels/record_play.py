#!/usr/bin/env python3
"""Records what a player hears in a busy game of the real program.

    bench/sound_levels/record_play.py RUN_DIR OUT.raw [SECONDS]

Copies RUN_DIR (the build's run folder: the game and its data files) into a
temporary folder, starts the game there on a virtual display (Xvfb) with
SDL's disk audio driver writing OUT.raw, and plays through XTest: Down and
Enter start a game, then for SECONDS (default 75) fire is held, missiles
are fired, the ship turns and changes thrust at random (fixed seed). Esc
ends the game and the program. Analyse the recording with
`sound_levels --analyse OUT.raw`.
"""
import ctypes
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time


def main():
    run_dir, out = sys.argv[1], os.path.abspath(sys.argv[2])
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 75.0
    work = tempfile.mkdtemp(prefix="zarnik-rec-")
    try:
        game = os.path.join(work, "run")
        shutil.copytree(run_dir, game)
        rfd, wfd = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(wfd), "-screen", "0", "800x600x24",
                                 "-nolisten", "tcp"], pass_fds=[wfd],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(wfd)
        display = ":" + os.read(rfd, 16).decode().strip()
        os.close(rfd)
        env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=out)
        proc = subprocess.Popen(["./zarnik"], cwd=game, env=env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            play(display, seconds)
            proc.wait(timeout=10)
        finally:
            if proc.poll() is None:
                proc.kill()
            xvfb.kill()
    finally:
        shutil.rmtree(work, ignore_errors=True)


def play(display, seconds):
    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                       ctypes.c_ulong]
    d = x11.XOpenDisplay(display.encode())

    def key(name, down):
        code = x11.XKeysymToKeycode(d, x11.XStringToKeysym(name.encode()))
        xtst.XTestFakeKeyEvent(d, code, 1 if down else 0, 0)
        x11.XFlush(d)

    def tap(name, hold=0.08):
        key(name, True)
        time.sleep(hold)
        key(name, False)

    time.sleep(6)  # splash, then the menu with its song
    tap("Down")
    time.sleep(0.3)
    tap("Return")
    time.sleep(1)
    rng = random.Random(1)
    end = time.time() + seconds
    key("space", True)
    while time.time() < end:
        tap(rng.choice(["Left", "Right"]), rng.uniform(0.05, 0.4))
        if rng.random() < 0.3:
            tap("Control_L")
        if rng.random() < 0.2:
            tap("Up")
        if rng.random() < 0.1:
            tap("Down")
        if rng.random() < 0.3:  # fire pressed anew now and then
            key("space", False)
            time.sleep(0.03)
            key("space", True)
    key("space", False)
    tap("Escape")  # ends the game, the score is entered
    time.sleep(2)
    for name in ("Return", "Escape", "Escape"):
        tap(name)
        time.sleep(1)


if __name__ == "__main__":
    main()
