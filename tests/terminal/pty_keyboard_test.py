#!/usr/bin/env python3
"""The keyboard protocol handshake on a pseudo-terminal, with this script as the terminal (tmux
does not speak the protocol). kitty: the terminal supports it; the flags are pushed and asked for
again, Enter as press and release reports starts the game, Ctrl-C as a key report ends it as SIGINT
does, the flags popped before the alternate screen is left. silent (no answer) and da-only (only
the device attributes): the game starts, nothing is pushed or popped.
Usage: pty_keyboard_test.py GAME CASE
"""
import fcntl
import os
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time

PUSH, POP, LEAVE = b'\x1b[>11u', b'\x1b[<u', b'\x1b[?1049l'
ANSWERS = {'kitty': b'\x1b[?0u\x1b[?62;22c', 'silent': b'', 'da-only': b'\x1b[?1;2c'}


def main():
    case, out = sys.argv[2], bytearray()
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack('HHHH', 30, 100, 0, 0))
    modes = termios.tcgetattr(slave)
    # The answers to the first query wait in the input before the game asks: it gives a terminal
    # only a moment to answer, less than a loaded machine may take to run this script.
    os.write(master, ANSWERS[case])
    where = tempfile.mkdtemp(prefix='glyph-pty-')
    game = subprocess.Popen([os.path.abspath(sys.argv[1])], stdin=slave, stdout=slave,
                            stderr=slave, cwd=where, start_new_session=True,
                            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0),
                            env=dict(os.environ, TERM='xterm-256color', LANG='C.UTF-8'))

    def wait_for(what, done):
        deadline = time.monotonic() + 60  # only so that a broken game fails instead of hanging
        while not done():
            if time.monotonic() > deadline: raise AssertionError(f'timed out waiting for {what}')
            if select.select([master], [], [], 0.05)[0]: out.extend(os.read(master, 65536))

    try:
        if case == 'kitty':
            wait_for('the flags pushed and asked again', lambda: PUSH + b'\x1b[?u' in out)
            os.write(master, b'\x1b[?11u')  # the flags the terminal now honours
            wait_for('the menu', lambda: b'Main Menu' in out)
            os.write(master, b'\x1b[13u\x1b[13;1:3u')
            wait_for('the game', lambda: b'Score:' in out)
            os.write(master, b'\x1b[99;5u')
        else:
            wait_for('the menu', lambda: b'Main Menu' in out)
            game.send_signal(signal.SIGTERM)
        wait_for('the end', lambda: game.poll() is not None and LEAVE in out)
        assert game.returncode == (-signal.SIGINT if case == 'kitty' else -signal.SIGTERM), \
            f'ended with {game.returncode}'
        assert (out.rfind(PUSH) < out.rfind(POP) < out.rfind(LEAVE) if case == 'kitty' else
                PUSH not in out and POP not in out), 'flags not popped in time, or pushed unasked'
        assert termios.tcgetattr(slave) == modes, 'terminal modes not restored'
    finally:
        if game.poll() is None: game.kill()
        game.wait(), os.close(master), os.close(slave), shutil.rmtree(where, ignore_errors=True)


if __name__ == '__main__':
    main()
