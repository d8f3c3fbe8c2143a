#!/usr/bin/env python3
"""The keyboard protocol handshake, played by this script as the terminal on a pseudo-terminal.

tmux does not speak the kitty keyboard protocol, so here the test answers the console probe's
queries itself and then sends key reports with press, repeat and release events.

Cases:
  kitty    the terminal supports the protocol: flags pushed after the query, re-queried;
           a held arrow counts on every tick until its release; Enter's press and release
           count once; Ctrl-C arrives as a key report and ends the program as SIGINT would,
           with the flags popped before the alternate screen is left
  silent   the terminal answers nothing: the program starts all the same, pushes nothing
  da-only  the terminal answers only the device attributes query: nothing is pushed
Usage: pty_keyboard_test.py PROBE CASE
"""

import fcntl
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time

WAIT_SECONDS = 30  # only so a broken program fails instead of hanging

QUERY = b'\x1b[?u\x1b[c'
PUSH = b'\x1b[>11u'
POP = b'\x1b[<u'

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print('FAIL:', message)
    return condition


class Terminal:
    """A pseudo-terminal of 100x30 running the probe, with everything it writes kept."""

    def __init__(self, probe):
        self.dir = tempfile.mkdtemp(prefix='glyph-pty-')
        master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack('HHHH', 30, 100, 0, 0))
        self.modes_before = termios.tcgetattr(slave)
        self.master = master
        self.output = bytearray()
        self.lock = threading.Lock()

        def controlling_terminal():
            os.setsid()
            fcntl.ioctl(0, termios.TIOCSCTTY, 0)

        env = dict(os.environ, TERM='xterm-256color', LANG='C.UTF-8', LC_ALL='C.UTF-8')
        self.process = subprocess.Popen([probe, 'keys'], stdin=slave, stdout=slave, stderr=slave,
                                        cwd=self.dir, env=env, preexec_fn=controlling_terminal)
        self.slave = slave
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                return
            if not data:
                return
            with self.lock:
                self.output += data

    def written(self):
        with self.lock:
            return bytes(self.output)

    def send(self, data):
        os.write(self.master, data)

    def wait_for(self, what, predicate):
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            if predicate():
                return True
            time.sleep(0.01)
        check(False, f'timed out waiting for {what}')
        return False

    def counts(self):
        try:
            with open(os.path.join(self.dir, 'probe-counts')) as file:
                return {k: int(v) for k, v in re.findall(r'([a-z]+)=(\d+)', file.read())}
        except FileNotFoundError:
            return {}

    def wait_ticks(self, count):
        return self.wait_for(f'{count} ticks', lambda: self.counts().get('ticks', 0) >= count)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.close(self.slave)
        os.close(self.master)
        shutil.rmtree(self.dir, ignore_errors=True)


def case_kitty(probe):
    term = Terminal(probe)
    try:
        if not term.wait_for('the keyboard query', lambda: QUERY in term.written()):
            return
        term.send(b'\x1b[?0u\x1b[?62;22c')
        if not term.wait_for('the flags pushed', lambda: PUSH in term.written()):
            return
        check(term.written().count(b'\x1b[?u') >= 2, 'the flags were not asked again after the push')
        term.send(b'\x1b[?11u')  # what the terminal now honours
        if not term.wait_ticks(2):
            return

        # Down held for a while: one press, no repeats, then the release.
        start = term.counts()['ticks']
        term.send(b'\x1b[1;1:1B')
        term.wait_ticks(start + 6)
        term.send(b'\x1b[1;1:3B')
        held = term.counts()['ticks'] - start
        term.wait_ticks(start + held + 4)
        down = term.counts()['down']
        check(held - 2 <= down <= held + 1, f'Down held for {held} ticks counted on {down}')
        term.wait_ticks(start + held + 8)
        check(term.counts()['down'] == down, 'Down still counts after its release')

        # Enter pressed and released between two ticks counts once.
        term.send(b'\x1b[13u\x1b[13;1:3u')
        now = term.counts()['ticks']
        term.wait_ticks(now + 4)
        check(term.counts()['enter'] == 1, f'one Enter counted {term.counts()["enter"]} times')

        # Ctrl-C as a key report.
        term.send(b'\x1b[99;5u')
        term.wait_for('the program to end', lambda: term.process.poll() is not None)
        check(term.process.returncode == -signal.SIGINT,
              f'Ctrl-C ended the program with {term.process.returncode}')
        written = term.written()
        pop = written.rfind(POP)
        leave = written.rfind(b'\x1b[?1049l')
        check(pop > written.rfind(PUSH), 'the flags were not popped at the end')
        check(0 <= pop < leave, 'the flags were not popped before leaving the alternate screen')
        check(termios.tcgetattr(term.slave) == term.modes_before, 'terminal modes not restored')
    finally:
        term.close()


def case_without_protocol(probe, answer):
    term = Terminal(probe)
    try:
        if not term.wait_for('the keyboard query', lambda: QUERY in term.written()):
            return
        if answer:
            term.send(answer)
        if not term.wait_ticks(3):
            return
        check(PUSH not in term.written(), 'flags pushed to a terminal that does not support them')
        term.send(b'\x1b[B')
        now = term.counts()['ticks']
        term.wait_ticks(now + 3)
        check(term.counts()['down'] == 1, f'one Down counted {term.counts()["down"]} times')
        term.process.send_signal(signal.SIGTERM)
        term.wait_for('the program to end', lambda: term.process.poll() is not None)
        check(POP not in term.written(), 'flags popped that were never pushed')
        check(termios.tcgetattr(term.slave) == term.modes_before, 'terminal modes not restored')
    finally:
        term.close()


def main():
    probe, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    if case == 'kitty':
        case_kitty(probe)
    elif case == 'silent':
        case_without_protocol(probe, None)
    elif case == 'da-only':
        case_without_protocol(probe, b'\x1b[?1;2c')
    else:
        print(__doc__)
        return 2
    print('FAILED' if failures else 'passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
