#!/usr/bin/env python3
"""The keyboard protocols on a pseudo-terminal, with this script as the terminal (tmux speaks
neither). kitty: the terminal supports the kitty protocol; the flags are pushed and asked for
again, Enter as press and release reports starts the game, Ctrl-C as a key report ends it as SIGINT
does, the flags popped before the alternate screen is left. kitty-late: the same terminal answers
only after the menu is on the screen, 250 ms late. silent (no answer) and da-only (only the device
attributes): the game starts, nothing is pushed or popped. win32: Windows Terminal's key records;
Down and Enter open a help file, the records are switched off around the editor and on again, and
a Ctrl-C record ends the game.
Usage: pty_keyboard_test.py GAME CASE
"""
import os
import select
import signal
import sys
import termios
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import harness  # noqa: E402

PUSH, POP, LEAVE = b'\x1b[>11u', b'\x1b[<u', b'\x1b[?1049l'
RECORDS_ON, RECORDS_OFF = b'\x1b[?9001h', b'\x1b[?9001l'
ANSWERS = {'kitty': b'\x1b[?0u\x1b[?62;22c', 'silent': b'', 'da-only': b'\x1b[?1;2c',
           'win32': b'\x1b[?61;4;6;7;14;21;22;23;24;28;32;42c'}


def record(vk, down, char=0, state=0):
    """A win32 input record: virtual key, scan code, character, down, control state, count."""
    return b'\x1b[%d;0;%d;%d;%d;1_' % (vk, char, 1 if down else 0, state)


def play(case, game, master, out):
    def wait_for(what, done):  # reading what the game writes meanwhile
        def read():
            if select.select([master], [], [], 0.03)[0]: out.extend(os.read(master, 65536))
            return done()
        harness.wait_for(what, read)

    if case in ('kitty', 'kitty-late'):
        if case == 'kitty-late':
            wait_for('the menu, before any answer', lambda: b'Main Menu' in out)
            time.sleep(0.25)
            os.write(master, ANSWERS['kitty'])
        wait_for('the flags pushed and asked again', lambda: PUSH + b'\x1b[?u' in out)
        os.write(master, b'\x1b[?11u')  # the flags the terminal now honours
        wait_for('the menu', lambda: b'Main Menu' in out)
        os.write(master, b'\x1b[13u\x1b[13;1:3u')
        wait_for('the game', lambda: b'Score:' in out)
        os.write(master, b'\x1b[99;5u')
    elif case == 'win32':
        wait_for('the menu', lambda: b'Main Menu' in out and RECORDS_ON in out)
        os.write(master, record(0x28, True) + record(0x28, False))
        time.sleep(0.2)  # a hand's pace
        os.write(master, record(0x0D, True, 13) + record(0x0D, False, 13))
        wait_for('the editor', lambda: b'the editor on Assistance.txt' in out)
        wait_for('the menu again', lambda: RECORDS_ON in out[out.find(b'the editor'):])
        before = out[:out.find(b'the editor')]
        assert before.rfind(RECORDS_OFF) > before.rfind(RECORDS_ON), 'records on in the editor'
        os.write(master, record(0x11, True, 0, 8) + record(0x43, True, 3, 8))
    else:
        wait_for('the menu', lambda: b'Main Menu' in out)
        game.send_signal(signal.SIGTERM)
    wait_for('the end', lambda: game.poll() is not None and LEAVE in out)


def main():
    game_path, case, out = os.path.abspath(sys.argv[1]), sys.argv[2], bytearray()
    master, slave = harness.pty_pair()
    modes = termios.tcgetattr(slave)
    # The answers to the first query wait in the input before the game asks: nothing waits for
    # them, and a loaded machine may take longer to run this script than the game to start.
    os.write(master, ANSWERS.get(case, b''))
    with harness.Scratch('pty') as scratch:
        (scratch.dir / 'editor.sh').write_text('printf "the editor on %s\\n" "$1"\n')
        game = harness.start_on(slave, [game_path], cwd=scratch.dir, env=dict(
            os.environ, TERM='xterm-256color', LANG='C.UTF-8', EDITOR=f'sh {scratch.dir}/editor.sh',
            VISUAL='', DISPLAY=''))
        try:
            play(case, game, master, out)
        finally:
            if game.poll() is None: game.kill()
            game.wait()
    expected = -signal.SIGTERM if case in ('silent', 'da-only') else -signal.SIGINT
    assert game.returncode == expected, f'ended with {game.returncode}'
    if case.startswith('kitty'):
        assert out.rfind(PUSH) < out.rfind(POP) < out.rfind(LEAVE), 'flags not popped in time'
    else:
        assert PUSH not in out and POP not in out, 'flags pushed unasked'
    assert out.rfind(RECORDS_ON) < out.rfind(RECORDS_OFF) < out.rfind(LEAVE), \
        'key records not switched off on the way out'
    assert termios.tcgetattr(slave) == modes, 'terminal modes not restored'


if __name__ == '__main__':
    main()
