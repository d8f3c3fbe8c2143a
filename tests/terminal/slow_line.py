#!/usr/bin/env python3
"""A slow line between a program and the terminal this script runs in: the program gets a
pseudo-terminal of its own, of the same size, whose output reaches our terminal at no more than
RATE bytes a second; keys go the other way unchanged. While a file named "stall" exists in the
working directory, the line takes nothing at all (output flow stopped, as by XOFF), so that the
program's writes cannot go through.
Usage: slow_line.py RATE PROGRAM [ARGS...]
"""
import fcntl
import os
import select
import subprocess
import sys
import termios
import time
import tty


def main():
    rate, command = int(sys.argv[1]), sys.argv[2:]
    size = fcntl.ioctl(0, termios.TIOCGWINSZ, b'\0' * 8)
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, size)
    program = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave,
                               start_new_session=True,
                               preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
    modes = termios.tcgetattr(0)
    tty.setraw(0)
    stalled, budget, last = False, 0.0, time.monotonic()
    try:
        while program.poll() is None:
            if os.path.exists('stall') != stalled:
                stalled = not stalled
                termios.tcflow(slave, termios.TCOOFF if stalled else termios.TCOON)
            ready = select.select([0] + ([] if stalled else [master]), [], [], 0.01)[0]
            if 0 in ready:
                os.write(master, os.read(0, 1024))
            now = time.monotonic()
            budget, last = min(budget + (now - last) * rate, rate / 50), now
            if master in ready and budget >= 1:
                try:
                    data = os.read(master, int(budget))
                except OSError:
                    break
                budget -= len(data)
                os.write(1, data)
    finally:
        termios.tcsetattr(0, termios.TCSADRAIN, modes)
        if program.poll() is None: program.kill()
    return program.wait()


if __name__ == '__main__':
    sys.exit(main())
