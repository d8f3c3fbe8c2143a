#!/usr/bin/env python3
"""Runs the game in a real terminal, tmux, and checks what it shows; one case per run.

Each case has its own tmux server (private socket) and scratch directory. The game is started by
a shell script that records the terminal modes before and after it and its exit status.
Exit status: 0 passed, 1 failed, 77 skipped (no tmux).
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print('FAIL:', message)
    return condition


# Console attribute -> (terminal colour, bold), with 16 colours and where only 8 exist.
COLOURS_16 = {1: (4, False), 2: (2, False), 3: (6, False), 4: (1, False), 5: (5, False),
              6: (3, False), 7: (7, False), 8: (8, False), 9: (12, False)}
COLOURS_8 = {**COLOURS_16, 8: (0, True), 9: (4, True)}

# With job control the game has a process group of its own, as from an interactive shell: Ctrl-Z
# stops it, and the file "resume" brings it back with fg.
RUN_SH = '''trap : INT TERM HUP QUIT
set -m
stty -g > stty-before
"$@"
status=$?
while [ $status -eq 148 ]; do
    stty -g > stty-stopped
    while [ ! -e resume ]; do sleep 0.05; done
    rm resume; fg > /dev/null; status=$?
done
stty -g > stty-after
echo $status > status
exec sleep 600
'''


class Pane:
    """The game in a detached tmux session on a private server, in the case's scratch directory."""

    def __init__(self, args, name, size=(100, 30), term='tmux-256color', env=None):
        self.dir, self.socket = args.dir, f'glyph-{name}-{os.getpid()}'
        for old in ('stty-before', 'stty-after', 'status'):
            if os.path.exists(self.path(old)): os.remove(self.path(old))
        with open(self.path('tmux.conf'), 'w') as conf:
            conf.write(f'set -g default-terminal "{term}"\nset -g status off\n')
        with open(self.path('run.sh'), 'w') as script:
            script.write(RUN_SH)
        command = ['new-session', '-d', '-x', str(size[0]), '-y', str(size[1]), '-c', self.dir]
        for item in {'LANG': 'C.UTF-8', 'LC_ALL': 'C.UTF-8', **(env or {})}.items():
            command += ['-e', '%s=%s' % item]
        self.tmux(*command, 'sh', self.path('run.sh'), args.game)

    def __enter__(self):
        return self

    def path(self, name):
        return os.path.join(self.dir, name)

    def tmux(self, *args):
        return subprocess.run(['tmux', '-L', self.socket, '-f', self.path('tmux.conf'), *args],
                              capture_output=True, text=True).stdout

    def __exit__(self, *error):
        socket = self.flag('socket_path')
        self.tmux('kill-server')
        if os.path.basename(socket) == self.socket and os.path.exists(socket):
            os.unlink(socket)  # a killed server leaves its socket file behind

    def lines(self):
        return self.tmux('capture-pane', '-p', '-N').split('\n')

    def cells(self):
        """The screen as rows of (char, fg, bg, bold), from the SGR sequences tmux writes."""
        rows, fg, bg, bold = [], None, None, False
        for line in self.tmux('capture-pane', '-p', '-e', '-N').split('\n'):
            rows.append([])
            for sgr, char in re.findall(r'\x1b\[([0-9;]*)m|(.)', line):
                if char:
                    rows[-1].append((char, fg, bg, bold))
                    continue
                codes = [int(c or 0) for c in sgr.split(';')]
                while codes:
                    c = codes.pop(0)
                    if c in (38, 48) and codes[:1] == [5]:
                        fg, bg = (codes[1], bg) if c == 38 else (fg, codes[1])
                        codes = codes[2:]
                    elif c == 0: fg, bg, bold = None, None, False
                    elif c in (1, 22): bold = c == 1
                    elif 30 <= c <= 37 or 90 <= c <= 97: fg = c % 10 + (8 if c >= 90 else 0)
                    elif 40 <= c <= 47 or 100 <= c <= 107: bg = c % 10 + (8 if c >= 100 else 0)
                    elif c == 39: fg = None
                    elif c == 49: bg = None
        return rows

    def text(self):
        return '\n'.join(self.lines())

    def flag(self, name):
        return self.tmux('display-message', '-p', '#{' + name + '}').strip()

    def keys(self, *keys):
        self.tmux('send-keys', *keys)

    def file(self, name):
        return open(self.path(name)).read() if os.path.exists(self.path(name)) else None

    def game_pid(self):
        shell = self.flag('pane_pid')
        with open(f'/proc/{shell}/task/{shell}/children') as children:
            return int(children.read().split()[0])

    def wait_for(self, what, predicate, seconds=30):
        deadline = time.monotonic() + seconds  # only a broken game comes near it
        while not predicate():
            if time.monotonic() > deadline:
                raise AssertionError(f'timed out waiting for {what}; screen:\n{self.text()}')
            time.sleep(0.05)

    def full_screen(self):  # the game's screen, not the shell's: alternate screen, no cursor
        return self.flag('alternate_on') == '1' and self.flag('cursor_flag') == '0'

    def restored(self, how, status):
        self.wait_for(f'the end after {how}', lambda: self.file('status'))
        check(self.file('status').strip() == str(status), f'{how}: status {self.file("status")}')
        check(self.file('stty-before') == self.file('stty-after'), f'{how}: modes not restored')
        check(self.flag('alternate_on') + self.flag('cursor_flag') == '01',
              f'{how}: alternate screen still on or cursor hidden')


def menu_shown(pane):
    return 'Main Menu' in pane.text()


def cpu_share(pid, seconds=2):
    def ticks():
        with open(f'/proc/{pid}/stat') as stat:
            fields = stat.read().rsplit(')', 1)[1].split()
        return int(fields[11]) + int(fields[12])
    before, start = ticks(), time.monotonic()
    time.sleep(seconds)
    return (ticks() - before) / os.sysconf('SC_CLK_TCK') / (time.monotonic() - start)


def check_idle(pid, what):
    # A loop that spins takes a whole core; one paced to the frame rate a few percent.
    share = cpu_share(pid)
    check(share < 0.5, f'{what} takes {share * 100:.0f}% of a core')


def case_level(args, term='tmux-256color', colours=COLOURS_16):
    """Every drawn cell of the level shows its glyph and colour; walkers cover some for a while,
    so each cell has to match in some capture."""
    pending = {}
    for row, line in enumerate(subprocess.run([args.reference], capture_output=True, text=True,
                                              check=True).stdout.splitlines()):
        for column, word in enumerate(line.split()):
            glyph, attr = (int(part, 16) for part in word.split(':'))
            if glyph != 0x20:
                fg, bold = colours[attr]
                pending[column, row] = (bytes([glyph]).decode('cp437'), fg, 0, bold)

    def all_seen():
        screen = pane.cells()
        for (column, row), want in list(pending.items()):
            if screen[row][column] == want: del pending[column, row]
        return not pending
    with Pane(args, 'level', term=term) as pane:
        pane.wait_for('the menu', lambda: menu_shown(pane))
        pane.keys('Enter')
        pane.wait_for('the level', lambda: 'Score:' in pane.text())
        try:
            pane.wait_for('every cell of the level', all_seen, seconds=10)
        finally:
            for (column, row), want in list(pending.items())[:10]:
                print(f'({column},{row}) wants {want}, shows {pane.cells()[row][column]}')
        check(pane.full_screen(), 'the game is not on the alternate screen or shows the cursor')


def case_size(args):
    with Pane(args, 'size', size=(80, 24)) as pane:
        def message():
            return any('100 x 30' in line for line in pane.lines())
        pane.wait_for('the size message at 80x24', message)
        lines = [line for line in pane.lines() if line.strip()]
        left, right = (len(lines[0]) - len(f(lines[0])) for f in (str.lstrip, str.rstrip))
        check(len(lines) <= 3 and abs(left - right) <= 1, f'size message not alone, centred: {lines}')
        for size in ((100, 30), (80, 24), (100, 30)):
            pane.tmux('resize-window', '-x', str(size[0]), '-y', str(size[1]))
            pane.wait_for(f'the picture at {size}', lambda: message() == (size[0] == 80)
                          and (size[0] == 80 or menu_shown(pane) and '▒' in pane.lines()[29]))
        pane.keys('C-c')
        pane.restored('Ctrl-C', 128 + signal.SIGINT)


def case_signal(args, name):
    signum = signal.Signals['SIG' + name.upper()]
    with Pane(args, name) as pane:
        pane.wait_for('the menu', lambda: menu_shown(pane))
        if signum == signal.SIGINT: pane.keys('C-c')
        else: os.kill(pane.game_pid(), signum)
        pane.restored(name, 128 + signum)


def case_suspend(args):
    with Pane(args, 'suspend') as pane:
        pane.wait_for('the menu', lambda: menu_shown(pane))
        pane.keys('C-z')
        pane.wait_for('the game to stop', lambda: pane.file('stty-stopped'))
        check(pane.file('stty-stopped') == pane.file('stty-before'), 'modes not restored on stop')
        check(pane.flag('alternate_on') + pane.flag('cursor_flag') == '01', 'stopped game screen')
        open(pane.path('resume'), 'w').close()
        pane.wait_for('the game back', lambda: pane.full_screen() and menu_shown(pane))
        pane.keys('C-c')
        pane.restored('Ctrl-C after fg', 128 + signal.SIGINT)


def case_menu_to_loss_and_exit(args):
    """The menu, help in the editor, the game until the player is caught; then a second run that
    chooses Exit. Every key is one tap, which must act once."""
    with open(os.path.join(args.dir, 'editor.sh'), 'w') as editor:
        editor.write('test -f "$1" && echo "$1 $(stty -g)" >> editor.log\n')
    env = {'EDITOR': 'sh ' + os.path.join(args.dir, 'editor.sh'), 'VISUAL': ''}
    help_files = [os.path.join(args.dir, name) for name in ('Assistance.txt', 'Information.txt')]

    def green_box():  # the menu box whose corner shows in green
        boxes = [box for box in range(5) if menu_shown(pane) and pane.cells()[6 * box][0][1] == 2]
        return boxes[0] if len(boxes) == 1 else None

    def press(key, what, until):
        pane.keys(key)
        pane.wait_for(what, until)

    def player():  # the player's square in the start area and the walkers' rows below
        for row, line in enumerate(pane.lines()[:8]):
            if '■' in line[:13]: return line.index('■'), row

    with Pane(args, 'front', env=env) as pane:
        pane.wait_for('the menu on Start game', lambda: green_box() == 1)
        check(all(map(os.path.isfile, help_files)), 'no help files written')
        check_idle(pane.game_pid(), 'the menu')
        press('Down', 'Assistance', lambda: green_box() == 2)
        press('Enter', 'the editor', lambda: pane.file('editor.log'))
        pane.wait_for('the menu again', lambda: pane.full_screen() and green_box() == 2)
        time.sleep(0.5)  # a second editor run, if the Enter were taken twice, would show by now
        check(pane.file('editor.log') == 'Assistance.txt ' + pane.file('stty-before'),
              f'editor not run once on Assistance.txt in the modes found: {pane.file("editor.log")}')
        press('Up', 'Start game', lambda: green_box() == 1)
        press('Enter', 'the player at (4,2)', lambda: player() == (4, 2))
        # Right to the gap in the wall below, then down into a walker's row, and wait there.
        taps = []
        for _ in range(300):
            if 'Score:' not in pane.text(): break
            position = player()
            if position and position[1] < 5:
                taps.append('Right' if position[0] < 10 else 'Down')
                press(taps[-1], 'a step', lambda: player() != position)
            time.sleep(0.1)
        check(taps.count('Right') == 6, f'6 steps right took {taps.count("Right")} taps')
        pane.wait_for('the loss screen', lambda: '▒' in pane.lines()[1])
        check_idle(pane.game_pid(), 'the loss screen')

    for name in help_files: os.remove(name)
    with Pane(args, 'front-exit', env=env) as pane:
        pane.wait_for('the menu', lambda: green_box() == 1)
        for box in (2, 3, 4): press('Down', f'box {box}', lambda: green_box() == box)
        pane.keys('Enter')
        pane.restored('Exit', 0)
        check(all(map(os.path.isfile, help_files)), 'help files not written again')


CASES = {
    'level': case_level,
    'level-8-colours': lambda args: case_level(args, 'screen', COLOURS_8),
    'size': case_size,
    'suspend': case_suspend,
    'menu-to-loss-and-exit': case_menu_to_loss_and_exit,
    **{f'sig{name}': lambda args, name=name: case_signal(args, name)
       for name in ('int', 'term', 'hup', 'quit', 'segv', 'abrt')},
}


def main():
    args = argparse.Namespace(game=os.path.abspath(sys.argv[1]), reference=sys.argv[2])
    if shutil.which('tmux') is None:
        print('tmux is not installed')
        return 77
    args.dir = tempfile.mkdtemp(prefix=f'glyph-{sys.argv[3]}-')
    try:
        CASES[sys.argv[3]](args)
    except AssertionError as error:
        check(False, str(error))
    finally:
        shutil.rmtree(args.dir, ignore_errors=True)
    print('FAILED' if failures else 'passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
