#!/usr/bin/env python3
"""Runs the game (or the console probe) in a real terminal, tmux, and checks what it shows.

Each case runs in its own tmux server (private socket) and its own scratch directory, so cases
may run in parallel. The program is started by a small shell script that records the terminal
modes before and after it and its exit status; tmux tells whether the alternate screen is on and
whether the cursor is visible.

Exit status: 0 passed, 1 failed, 77 skipped (no tmux).
"""

import argparse
import codecs
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WAIT_SECONDS = 30  # generous: only a broken program comes near it

# Console attributes as a terminal shows them: colour number and bold, with 16 colours and
# where only 8 exist (the bright ones are bold base colours there).
COLOURS_16 = {1: (4, False), 2: (2, False), 3: (6, False), 4: (1, False), 5: (5, False),
              6: (3, False), 7: (7, False), 8: (8, False), 9: (12, False)}
COLOURS_8 = {**COLOURS_16, 8: (0, True), 9: (4, True)}

# Cells of the level that can move or change in the first seconds of a game (dots and doors
# that walkers reach) are left out; these dots and door cells stay put and stand for their codes.
STABLE_DOTS_AND_DOORS = {
    '.': [(58, 2), (60, 8), (39, 12)],
    'A': [(15, 4)], 'B': [(56, 11)], 'C': [(5, 11)], 'D': [(28, 6)], 'E': [(38, 13)],
    'T': [(34, 16)], 'U': [(28, 16)], 'W': [(13, 20)], 'P': [(57, 11)], 'p': [(55, 11)],
}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print('FAIL:', message)
    return condition


class Cell:
    __slots__ = ('char', 'fg', 'bg', 'bold')

    def __init__(self, char, fg, bg, bold):
        self.char, self.fg, self.bg, self.bold = char, fg, bg, bold

    def __repr__(self):
        return f'{self.char!r} fg={self.fg} bg={self.bg} bold={self.bold}'


def parse_sgr(params, state):
    codes = [int(p) if p else 0 for p in params.split(';')] if params else [0]
    i = 0
    while i < len(codes):
        code = codes[i]
        if code == 0:
            state.update(fg=None, bg=None, bold=False)
        elif code == 1:
            state['bold'] = True
        elif code == 22:
            state['bold'] = False
        elif 30 <= code <= 37:
            state['fg'] = code - 30
        elif 90 <= code <= 97:
            state['fg'] = code - 90 + 8
        elif code == 39:
            state['fg'] = None
        elif 40 <= code <= 47:
            state['bg'] = code - 40
        elif 100 <= code <= 107:
            state['bg'] = code - 100 + 8
        elif code == 49:
            state['bg'] = None
        elif code in (38, 48) and i + 2 < len(codes) and codes[i + 1] == 5:
            state['fg' if code == 38 else 'bg'] = codes[i + 2]
            i += 2
        i += 1


def parse_capture(text):
    rows = []
    state = dict(fg=None, bg=None, bold=False)
    for line in text.split('\n'):
        row = []
        for match in re.finditer(r'\x1b\[([0-9;]*)m|\x1b[^\[]|(.)', line):
            if match.group(2) is not None:
                row.append(Cell(match.group(2), state['fg'], state['bg'], state['bold']))
            elif match.group(1) is not None:
                parse_sgr(match.group(1), state)
        rows.append(row)
    return rows


class Pane:
    """A detached tmux session on a private server, running one program."""

    def __init__(self, name, command, width=100, height=30, term='tmux-256color', env=None):
        self.dir = tempfile.mkdtemp(prefix=f'glyph-{name}-')
        self.socket = f'glyph-{name}-{os.getpid()}'
        with open(os.path.join(self.dir, 'tmux.conf'), 'w') as conf:
            conf.write(f'set -g default-terminal "{term}"\nset -g status off\n')
        with open(os.path.join(self.dir, 'run.sh'), 'w') as script:
            # With job control the program runs in a process group of its own, as from an
            # interactive shell: Ctrl-Z stops it, and the file "resume" brings it back with fg.
            script.write('trap : INT TERM HUP QUIT\n'
                         'set -m\n'
                         'stty -g > stty-before\n'
                         '"$@"\n'
                         'status=$?\n'
                         'while [ $status -eq 148 ]; do\n'
                         '    stty -g > stty.tmp && mv stty.tmp stty-stopped\n'
                         '    while [ ! -e resume ]; do sleep 0.05; done\n'
                         '    rm -f resume stty-stopped\n'
                         '    fg > /dev/null\n'
                         '    status=$?\n'
                         'done\n'
                         'echo $status > status\n'
                         'stty -g > stty.tmp && mv stty.tmp stty-after\n'
                         'exec sleep 600\n')
        environment = {'LANG': 'C.UTF-8', 'LC_ALL': 'C.UTF-8'}
        environment.update(env or {})
        args = ['new-session', '-d', '-x', str(width), '-y', str(height), '-c', self.dir]
        for key, value in environment.items():
            args += ['-e', f'{key}={value}']
        args += ['sh', os.path.join(self.dir, 'run.sh')] + command
        self.tmux(*args)

    def tmux(self, *args):
        result = subprocess.run(['tmux', '-L', self.socket, '-f', os.path.join(self.dir, 'tmux.conf')]
                                + list(args), capture_output=True, text=True)
        return result.stdout

    def close(self):
        socket = self.flag('socket_path')
        self.tmux('kill-server')
        if socket and os.path.basename(socket) == self.socket:
            try:
                os.unlink(socket)  # a killed server leaves its socket file behind
            except FileNotFoundError:
                pass
        shutil.rmtree(self.dir, ignore_errors=True)

    def cells(self):
        return parse_capture(self.tmux('capture-pane', '-p', '-e', '-N'))

    def lines(self):
        return self.tmux('capture-pane', '-p', '-N').split('\n')

    def flag(self, name):
        return self.tmux('display-message', '-p', '#{' + name + '}').strip()

    def keys(self, *keys):
        self.tmux('send-keys', *keys)

    def resize(self, width, height):
        self.tmux('resize-window', '-x', str(width), '-y', str(height))

    def program_pid(self):
        shell = int(self.flag('pane_pid'))
        with open(f'/proc/{shell}/task/{shell}/children') as children:
            pids = children.read().split()
        return int(pids[0]) if pids else None

    def file(self, name):
        path = os.path.join(self.dir, name)
        return open(path).read() if os.path.exists(path) else None

    def wait_for(self, what, predicate):
        deadline = time.monotonic() + WAIT_SECONDS
        while time.monotonic() < deadline:
            if predicate():
                return True
            time.sleep(0.05)
        check(False, f'timed out waiting for {what}; screen:\n' + '\n'.join(self.lines()))
        return False


def text_at(pane, column, row, length):
    lines = pane.lines()
    return lines[row][column:column + length] if row < len(lines) else ''


def shows_level(pane):
    return text_at(pane, 0, 0, 9) == '╔═══════╦'


def shows_picture(pane):
    # The level and the main menu both start with this corner.
    return text_at(pane, 0, 0, 1) == '╔'


def start_level(pane):
    """Waits for the level, starting a game from the main menu if there is one."""
    def ready():
        if shows_level(pane):
            return True
        if any('Main Menu' in line for line in pane.lines()):
            pane.keys('Enter')
            time.sleep(0.3)
        return False
    return pane.wait_for('the level', ready)


def read_reference(path):
    output = subprocess.run([path], capture_output=True, text=True, check=True).stdout
    reference = []
    for line in output.splitlines():
        row = []
        for word in line.split():
            code, glyph, attr = (int(part, 16) for part in word.split(':'))
            row.append((chr(code) if code else '\0', glyph, attr))
        reference.append(row)
    return reference


def cells_to_compare(reference):
    """Every drawn cell of the level that stays put during the first seconds of a game."""
    drawn_codes = set()
    chosen = []
    for row, cells in enumerate(reference):
        for column, (code, glyph, _) in enumerate(cells):
            if glyph == 0x20:
                continue
            drawn_codes.add(code)
            if code not in STABLE_DOTS_AND_DOORS:
                chosen.append((column, row))
    for code, positions in STABLE_DOTS_AND_DOORS.items():
        for column, row in positions:
            check(reference[row][column][0] == code,
                  f'the level has no {code!r} at ({column},{row}) any more: update the test')
            chosen.append((column, row))
    return chosen, drawn_codes


def compare_level(pane, reference, colours):
    chosen, drawn_codes = cells_to_compare(reference)
    screen = pane.cells()
    compared_codes = set()
    wrong = 0
    for column, row in chosen:
        code, glyph, attr = reference[row][column]
        expected_char = bytes([glyph]).decode('cp437')
        fg, bold = colours[attr]
        cell = screen[row][column] if row < len(screen) and column < len(screen[row]) else None
        ok = (cell is not None and cell.char == expected_char and cell.fg == fg
              and cell.bold == bold and cell.bg == 0)
        if not ok:
            wrong += 1
            if wrong <= 10:
                check(False, f'cell ({column},{row}) code {code!r}: expected {expected_char!r} '
                             f'fg={fg} bold={bold} bg=0, terminal shows {cell}')
        compared_codes.add(code)
    check(wrong == 0, f'{wrong} of {len(chosen)} cells differ')
    check(compared_codes == drawn_codes,
          f'codes not compared: {sorted(drawn_codes - compared_codes)}')
    print(f'compared {len(chosen)} cells covering {len(compared_codes)} codes')


def terminal_restored(pane, how, expected_status):
    pane.wait_for('the program to end', lambda: pane.file('stty-after') is not None)
    status = (pane.file('status') or '').strip()
    check(status == str(expected_status), f'{how}: exit status {status}, expected {expected_status}')
    check(pane.file('stty-before') == pane.file('stty-after'),
          f'{how}: terminal modes not restored:\n{pane.file("stty-before")}{pane.file("stty-after")}')
    check(pane.flag('alternate_on') == '0', f'{how}: still on the alternate screen')
    check(pane.flag('cursor_flag') == '1', f'{how}: cursor still hidden')


# ---- The cases.

def case_level(args, term='tmux-256color', colours=COLOURS_16):
    pane = Pane('level', [args.program], term=term)
    try:
        if start_level(pane):
            time.sleep(0.3)  # let the first tick's drawing reach the terminal
            compare_level(pane, read_reference(args.reference), colours)
            check(pane.flag('alternate_on') == '1', 'the game is not on the alternate screen')
            check(pane.flag('cursor_flag') == '0', 'the cursor is visible during the game')
    finally:
        pane.close()


def case_level_8_colours(args):
    case_level(args, term='screen', colours=COLOURS_8)


def case_size(args):
    pane = Pane('size', [args.program], width=80, height=24)
    try:
        def message():
            return any('100 x 30' in line for line in pane.lines())
        if not pane.wait_for('the size message at 80x24', message):
            return
        lines = [line for line in pane.lines() if line.strip()]
        check(len(lines) <= 3, f'the size message is not alone on the screen: {lines}')
        text = lines[0]
        margin_left = len(text) - len(text.lstrip())
        margin_right = len(text) - len(text.rstrip())
        check(abs(margin_left - margin_right) <= 1, f'size message not centred: {text!r}')

        pane.resize(100, 30)
        pane.wait_for('the picture at 100x30', lambda: shows_picture(pane) and not message())
        pane.resize(80, 24)
        pane.wait_for('the size message after shrinking', message)
        pane.resize(100, 30)
        pane.wait_for('the picture again', lambda: shows_picture(pane) and not message())
        pane.keys('C-c')
        terminal_restored(pane, 'Ctrl-C at the end', 128 + signal.SIGINT)
    finally:
        pane.close()


def case_signal(args, signum):
    name = signal.Signals(signum).name
    pane = Pane(name.lower(), [args.program])
    try:
        if not pane.wait_for('the picture', lambda: shows_picture(pane)):
            return
        if signum == signal.SIGINT:
            pane.keys('C-c')
        else:
            os.kill(pane.program_pid(), signum)
        terminal_restored(pane, name, 128 + signum)
    finally:
        pane.close()


def probe_line(pane):
    lines = pane.lines()
    return dict(re.findall(r'([a-z-]+)=(\d+)', lines[29] if len(lines) > 29 else ''))


def wait_ticks(pane, key, count):
    return pane.wait_for(f'{key} to reach {count}',
                         lambda: int(probe_line(pane).get(key, -1)) >= count)


def case_tap(args):
    """A tap of an arrow key is seen on one tick only, in play and in the menu."""
    pane = Pane('tap', [args.probe, 'keys'])
    try:
        if not wait_ticks(pane, 'ticks', 2):
            return
        pane.keys('Down')
        pane.keys('Right')
        pane.keys('Right')
        start = int(probe_line(pane)['ticks'])
        wait_ticks(pane, 'ticks', start + 5)
        counts = probe_line(pane)
        check(counts['down'] == '1', f'one tap of Down seen on {counts["down"]} ticks')
        check(counts['right'] in ('1', '2'), f'two taps of Right seen on {counts["right"]} ticks')
        check(counts['up'] == '0' and counts['left'] == '0', f'keys seen that were not typed: {counts}')
    finally:
        pane.close()

    pane = Pane('menu-tap', [args.probe, 'menu'])
    try:
        if not wait_ticks(pane, 'passes', 2):
            return
        pane.keys('Down')
        pane.wait_for('the Down tap', lambda: probe_line(pane).get('downs') == '1')
        pane.keys('Enter')
        pane.wait_for('the Enter tap', lambda: probe_line(pane).get('enter-passes') == '1')
        start = int(probe_line(pane)['passes'])
        wait_ticks(pane, 'passes', start + 10)
        counts = probe_line(pane)
        check(counts['downs'] == '1', f'one tap of Down moved {counts["downs"]} times')
        check(counts['enter-passes'] == '1', f'one tap of Enter acted in {counts["enter-passes"]} passes')
        check(counts['enter-answers'] == '4', f'Enter read as pressed by {counts["enter-answers"]} of 4 polls')
        pane.keys('Down', 'Enter')
        pane.wait_for('Down and Enter together', lambda: probe_line(pane).get('together') == '1')
    finally:
        pane.close()


def case_menu_frames(args):
    """The menu shape: every picture the terminal shows has the selected box Green with its label."""
    pane = Pane('menu-frames', [args.probe, 'menu'])
    try:
        if not wait_ticks(pane, 'passes', 5):
            return
        for _ in range(20):
            screen = pane.cells()
            corner, label = screen[6][0], screen[8][8:16]
            check(corner.char == '═' or corner.char == '╔', f'box corner shows {corner}')
            check(corner.fg == 2, f'the selected box shows in colour {corner.fg}, not Green')
            text = ''.join(cell.char for cell in label)
            check(text == 'Selected', f'the label shows as {text!r}')
            time.sleep(0.05)
    finally:
        pane.close()


def cpu_share(pid, seconds):
    def ticks():
        with open(f'/proc/{pid}/stat') as stat:
            fields = stat.read().rsplit(')', 1)[1].split()
        return int(fields[11]) + int(fields[12])
    hz = os.sysconf('SC_CLK_TCK')
    before, start = ticks(), time.monotonic()
    time.sleep(seconds)
    return (ticks() - before) / hz / (time.monotonic() - start)


def case_idle(args):
    """Loops that repaint an unchanged screen without pausing sleep between frames."""
    for mode in ('menu', 'end'):
        pane = Pane(f'idle-{mode}', [args.probe, mode])
        try:
            if not wait_ticks(pane, 'passes', 5):
                continue
            share = cpu_share(pane.program_pid(), 3)
            print(f'{mode} loop: {share * 100:.1f}% of a core')
            # A loop that spins takes a whole core; one paced to the frame rate a few percent.
            check(share < 0.5, f'the {mode} loop takes {share * 100:.0f}% of a core')
        finally:
            pane.close()


def case_plain_output(args):
    """Output to a file instead of a terminal: the text in order, glyphs in UTF-8, and loops that
    repaint without pausing still paced rather than spinning."""
    workdir = tempfile.mkdtemp(prefix='glyph-plain-')
    try:
        with open(os.path.join(workdir, 'out'), 'wb') as out:
            program = subprocess.Popen([args.program], stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.DEVNULL, cwd=workdir,
                                       env=dict(os.environ, LANG='C.UTF-8', LC_ALL='C.UTF-8'))
            time.sleep(0.5)
            share = cpu_share(program.pid, 2)
            program.kill()
            program.wait()
        print(f'plain output: {share * 100:.1f}% of a core')
        check(share < 0.5, f'with output to a file the program takes {share * 100:.0f}% of a core')
        with open(os.path.join(workdir, 'out'), 'rb') as out:
            # The cut may fall inside a character: the incremental decoder keeps that part back.
            text = codecs.getincrementaldecoder('utf-8')('replace').decode(out.read(100_000))
        check('\ufffd' not in text, 'output to a file is not valid UTF-8')
        check('╔' in text and '═' in text, 'no box glyphs in the output')
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


def case_suspend(args):
    pane = Pane('suspend', [args.program])
    try:
        if not pane.wait_for('the picture', lambda: shows_picture(pane)):
            return
        pane.keys('C-z')
        if not pane.wait_for('the program to stop on Ctrl-Z',
                             lambda: pane.file('stty-stopped') is not None):
            return
        check(pane.file('stty-stopped') == pane.file('stty-before'),
              'terminal modes not restored while stopped')
        check(pane.flag('alternate_on') == '0' and pane.flag('cursor_flag') == '1',
              'the stopped program left the alternate screen on or the cursor hidden')
        open(os.path.join(pane.dir, 'resume'), 'w').close()
        pane.wait_for('the game to take the terminal back',
                      lambda: pane.flag('alternate_on') == '1' and pane.flag('cursor_flag') == '0'
                      and shows_picture(pane))
        pane.keys('C-c')
        terminal_restored(pane, 'Ctrl-C after Ctrl-Z and fg', 128 + signal.SIGINT)
    finally:
        pane.close()


def case_help(args):
    """The help viewer gets a normal terminal and the file; the game gets it back afterwards."""
    viewer = tempfile.NamedTemporaryFile('w', suffix='.sh', delete=False)
    viewer.write('#!/bin/sh\n'
                 'stty -g > viewer-stty\n'
                 'echo "$@" > viewer-args\n'
                 'printf "viewer on screen\\n"\n'
                 'read line\n')
    viewer.close()
    os.chmod(viewer.name, 0o755)
    pane = Pane('help', [args.probe, 'help'], env={'VISUAL': viewer.name, 'EDITOR': 'false'})
    try:
        if not wait_ticks(pane, 'ticks', 2):
            return
        pane.keys('Enter')
        if not pane.wait_for('the viewer', lambda: any('viewer on screen' in line for line in pane.lines())):
            return
        check(pane.file('viewer-args').strip() == 'probe-help.txt',
              f'viewer got {pane.file("viewer-args")!r}')
        check(pane.file('viewer-stty') == pane.file('stty-before'),
              'the viewer did not get the terminal modes the game found')
        check(pane.flag('alternate_on') == '0' and pane.flag('cursor_flag') == '1',
              'the viewer runs on the game\'s screen or without a cursor')
        pane.keys('Enter')  # ends the viewer; must not count as a key for the game
        pane.wait_for('the game back', lambda: pane.flag('alternate_on') == '1' and 'ticks' in probe_line(pane))
        start = int(probe_line(pane).get('ticks', 0))
        wait_ticks(pane, 'ticks', start + 5)
        counts = probe_line(pane)
        check(counts.get('helps') == '1', f'the viewer was opened {counts.get("helps")} times')
        check(pane.flag('cursor_flag') == '0', 'the cursor is visible after the viewer')
    finally:
        pane.close()
        os.unlink(viewer.name)


CASES = {
    'level': case_level,
    'level-8-colours': case_level_8_colours,
    'size': case_size,
    'sigint': lambda args: case_signal(args, signal.SIGINT),
    'sigterm': lambda args: case_signal(args, signal.SIGTERM),
    'sighup': lambda args: case_signal(args, signal.SIGHUP),
    'sigquit': lambda args: case_signal(args, signal.SIGQUIT),
    'sigsegv': lambda args: case_signal(args, signal.SIGSEGV),
    'sigabrt': lambda args: case_signal(args, signal.SIGABRT),
    'suspend': case_suspend,
    'tap': case_tap,
    'menu-frames': case_menu_frames,
    'idle': case_idle,
    'plain-output': case_plain_output,
    'help': case_help,
}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--program', required=True)
    parser.add_argument('--reference', required=True)
    parser.add_argument('--probe', required=True)
    parser.add_argument('case', choices=sorted(CASES))
    args = parser.parse_args()
    for name in ('program', 'reference', 'probe'):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if shutil.which('tmux') is None:
        print('tmux is not installed')
        return 77
    CASES[args.case](args)
    print('FAILED' if failures else 'passed')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
