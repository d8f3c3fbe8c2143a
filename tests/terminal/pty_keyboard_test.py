#!/usr/bin/env python3
"""The keyboard protocol handshake on a pseudo-terminal, with this script as the terminal (tmux
does not speak the protocol). Cases:
  kitty    the terminal supports it: flags pushed after the answer and asked for again; Enter
           as a press and a release report starts the game; Ctrl-C as a key report ends it as
           SIGINT does, the flags popped before the alternate screen is left
  silent   the terminal answers nothing; da-only: only the device attributes query. Either way
           the game starts and nothing is pushed or popped
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

QUERY, PUSH, POP, LEAVE = b'\x1b[?u\x1b[c', b'\x1b[>11u', b'\x1b[<u', b'\x1b[?1049l'
ANSWERS = {'kitty': b'\x1b[?0u\x1b[?62;22c', 'silent': b'', 'da-only': b'\x1b[?1;2c'}


def main():
    case = sys.argv[2]
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack('HHHH', 30, 100, 0, 0))
    modes = termios.tcgetattr(slave)
    where = tempfile.mkdtemp(prefix='glyph-pty-')
    game = subprocess.Popen([os.path.abspath(sys.argv[1])], stdin=slave, stdout=slave,
                            stderr=slave, cwd=where, start_new_session=True,
                            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0),
                            env=dict(os.environ, TERM='xterm-256color', LANG='C.UTF-8'))
    out = bytearray()

    def wait_for(what, done):
        deadline = time.monotonic() + 30  # only so that a broken game fails instead of hanging
        while not done():
            if time.monotonic() > deadline: raise AssertionError(f'timed out waiting for {what}')
            if select.select([master], [], [], 0.05)[0]: out.extend(os.read(master, 65536))

    try:
        wait_for('the keyboard query', lambda: QUERY in out)
        os.write(master, ANSWERS[case])
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
        wait_for('the end', lambda: game.poll() is not None)
        wait_for('the last output', lambda: not select.select([master], [], [], 0.2)[0])
        assert game.returncode == (-signal.SIGINT if case == 'kitty' else -signal.SIGTERM), \
            f'ended with {game.returncode}'
        if case == 'kitty':
            assert out.rfind(PUSH) < out.rfind(POP) < out.rfind(LEAVE), 'flags not popped in time'
        else:
            assert PUSH not in out and POP not in out, 'flags pushed or popped'
        assert termios.tcgetattr(slave) == modes, 'terminal modes not restored'
    except AssertionError as error:
        print('FAIL:', error)
        return 1
    finally:
        if game.poll() is None: game.kill()
        game.wait()
        os.close(master)
        os.close(slave)
        shutil.rmtree(where, ignore_errors=True)
    print('passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
