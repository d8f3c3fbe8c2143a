#!/usr/bin/env python3
"""Plays the game in real terminals (xterm, kitty, tmux inside xterm) on a virtual X display, with
real X key events: xdotool presses and releases keys, and the X server auto-repeats held ones at
500 ms and 30 Hz, as desktops do. What the game shows is read by a tap: the harness's relay,
started inside the terminal, passes every byte on unchanged and keeps a copy of the screen (pyte)
to note the menu's selection, the clock and the step counter as they change.

Usage: x11_driver.py GAME CASE            one case; exit status 77 when the tools are missing
       x11_driver.py --tap DIR GAME LATE_MS   the tap, which the driver runs in a terminal

Counts are of ticks the game really made (the clock on its screen), so a loaded machine only
slows things down. Figures are printed for the log."""
import os
import re
import shlex
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import harness  # noqa: E402

# ---- The tap, inside the terminal.


def green_box(screen):
    """The menu box whose top-left corner shows green, or None outside the menu."""
    boxes = [i for i in range(4) if screen.buffer[6 + 6 * i][0].fg == 'green'
             and screen.buffer[6 + 6 * i][0].data == '╔']
    return boxes[0] if len(boxes) == 1 and 'Main Menu' in screen.display[2] else None


def status(screen, label):
    match = re.search(label + r': *(-?\d+)', screen.display[{'Time': 20, 'Steps': 26}[label]])
    return int(match.group(1)) if match else None


def player(screen):
    for row in range(1, 4):
        column = screen.display[row].find('■', 0, 13)
        if column >= 0: return column, row
    return None


def tap(where, game, late_ms):
    """Runs the game's shell in `where`, noting each change of what it shows in "trace"; keys are
    held back for `late_ms` after the keyboard protocol query, as a terminal slow to answer."""
    import pyte
    screen = pyte.Screen(*os.get_terminal_size(0))
    stream = pyte.ByteStream(screen)
    trace = open(Path(where) / 'trace', 'a', buffering=1)
    last, release_at = None, None

    def seen(data):
        nonlocal last, release_at
        if b'\x1b[?1049h' in data:  # a run of the game begins on a fresh screen
            screen.reset()
            last = None
        stream.feed(data)
        if late_ms and release_at is None and b'\x1b[?u' in data:
            release_at = time.monotonic() + late_ms / 1000
        now = (green_box(screen), status(screen, 'Time'), status(screen, 'Steps'), player(screen))
        if now != last:
            trace.write('%.4f %r\n' % (time.monotonic(), now))
            last = now
    harness.relay(['sh', 'run.sh', game], seen=seen, cwd=where,
                  hold=lambda: release_at is not None and time.monotonic() < release_at)


# ---- The driver.

class X11:
    """A virtual X display of its own, with the desktop's usual auto-repeat."""

    def __init__(self, scratch):
        self.log, self.terminals = open(scratch / 'xvfb.log', 'a'), []
        # Numbers set aside for these tests, tried in turn (a test running beside this one may
        # take a number first: its server then stays and ours gives up); else one the X server
        # picks itself.
        numbers = [number for number in os.environ.get('GLYPH_X_DISPLAYS', '').split()
                   if not Path(f'/tmp/.X{number}-lock').exists()]
        if not any(self.serve(number) for number in numbers + [None]):
            raise AssertionError('no X server would start; see xvfb.log')
        self.env = dict(os.environ, DISPLAY=self.display, LANG='C.UTF-8', LC_ALL='C.UTF-8')
        self.env.pop('WAYLAND_DISPLAY', None)
        self.run('xset', 'r', 'rate', '500', '30')

    def serve(self, number):
        """Starts Xvfb on display `number` (None: the first free one); True once it answers."""
        read, write = os.pipe()
        self.server = subprocess.Popen(
            ['Xvfb', '-noreset', '-nolisten', 'tcp', '-screen', '0', '1600x1000x24',
             *([f':{number}'] if number else ['-displayfd', str(write)])],
            pass_fds=(write,), stdout=self.log, stderr=self.log)
        os.close(write)
        chosen = number is None  # then the server took a free number itself
        if chosen: number = os.read(read, 32).decode().split('\n')[0].strip()
        self.display, lock = f':{number}', Path(f'/tmp/.X{number}-lock')
        deadline = time.monotonic() + 30
        try:  # the pipe stays open while the server may still write to it
            while self.server.poll() is None and time.monotonic() < deadline:
                ours = chosen or lock.exists() and lock.read_text().strip() == str(self.server.pid)
                if ours and subprocess.run(['xset', '-display', self.display, 'q'],
                                           capture_output=True).returncode == 0:
                    return True
                time.sleep(0.1)
        finally:
            os.close(read)
        if self.server.poll() is None: self.server.kill()
        self.server.wait()
        return False

    def run(self, *command):
        return subprocess.run(command, env=self.env, capture_output=True, text=True)

    def start(self, command, scratch):
        log = open(scratch / 'terminal.log', 'w')
        process = subprocess.Popen(command, env=self.env, stdout=log, stderr=log,
                                   start_new_session=True)
        self.terminals.append(process)
        found = lambda: self.run('xdotool', 'search', '--onlyvisible', '--pid',
                                 str(process.pid)).stdout.split()
        harness.wait_for('the terminal window', lambda: found() or process.poll() is not None)
        assert found(), 'the terminal window did not show'
        # No window manager: the keyboard goes where the pointer is.
        self.run('xdotool', 'mousemove', '--window', found()[0], '20', '20')
        self.run('xdotool', 'windowfocus', '--sync', found()[0])

    def close(self):
        for process in self.terminals:
            if process.poll() is None: os.killpg(process.pid, signal.SIGTERM)
        for process in self.terminals:
            try: process.wait(5)
            except subprocess.TimeoutExpired: os.killpg(process.pid, signal.SIGKILL)
        self.server.terminate()
        self.server.wait()


class Game:
    """The game in a terminal on the display, as the tap sees it."""

    def __init__(self, x, scratch, terminal, runs=1, late_ms=0, with_x=True, display=None):
        self.x, self.scratch, self.dir, self.tmux = x, scratch, scratch.dir, None
        (self.dir / 'editor.sh').write_text('echo "$1" >> editor.log\n')
        setup = f'export DISPLAY={display}' if display else '' if with_x else 'unset DISPLAY'
        scratch.run_sh(setup)
        x.env.update(EDITOR=f'sh {self.dir}/editor.sh', VISUAL='', GLYPH_RUNS=str(runs),
                     GLYPH_LEFTOVERS='1')
        tap_command = [sys.executable, os.path.abspath(__file__), '--tap', str(self.dir), GAME,
                       str(late_ms)]
        xterm = ['xterm', '-u8', '-geometry', '100x30', '-e']
        if terminal == 'xterm':
            command = [*xterm, *tap_command]
        elif terminal == 'kitty':
            command = ['kitty', '--config', 'NONE', '-o', 'initial_window_width=100c',
                       '-o', 'initial_window_height=30c', '-o', 'remember_window_size=no',
                       *tap_command]
        else:  # tmux inside xterm, on a tmux server of its own
            (self.dir / 'tmux.conf').write_text('set -g status off\n'
                                                'set -g default-terminal tmux-256color\n')
            self.tmux = ['tmux', '-S', str(self.dir / 'tmux.sock'),
                         '-f', str(self.dir / 'tmux.conf')]
            command = [*xterm, *self.tmux, 'new-session', shlex.join(tap_command)]
        x.start(command, self.dir)

    def close(self):
        shell = self.file('shell.pid')
        strays = harness.processes(int(shell)) + [int(shell)] if shell else []
        if self.tmux: subprocess.run([*self.tmux, 'kill-server'], capture_output=True)
        for pid in strays:  # what the terminals' ends left running
            try: os.kill(pid, signal.SIGKILL)
            except OSError: pass

    def trace(self):
        rows = []
        for line in (self.file('trace') or '').splitlines():
            at, state = line.split(' ', 1)
            rows.append((float(at), *eval(state)))  # (time, menu box, clock, steps, player)
        return rows

    def now(self):
        return (self.trace() or [(0, None, None, None, None)])[-1]

    def file(self, name):
        return self.scratch.file(name) or ''

    def wait_for(self, what, predicate, timeout=60):
        harness.wait_for(what, predicate, timeout, lambda: f'last seen {self.now()}\n'
                         + self.file('tap.log'))

    def keys(self, *args):
        """xdotool with its own sleeps between steps: a tap's length does not depend on how
        quickly this script runs."""
        self.x.run('xdotool', *args)

    def tap(self, key, seconds):
        self.keys('keydown', key, 'sleep', str(seconds), 'keyup', key)

    def settle(self, seconds=0.8):
        """Waits out the terminal's auto-repeat delay: a key that acted more than once shows."""
        time.sleep(seconds)


def ticks(game, since, until):
    """(clock, steps) after each tick the game drew between two moments."""
    last = {}
    for at, _, clock, steps, _ in game.trace():
        if since <= at <= until and clock is not None: last[clock] = steps
    return sorted(last.items(), reverse=True)  # the clock counts down


def hold(game, keys, seconds):
    """Holds the keys together. Returns a moment before the press, one before the release and
    one after it: starting xdotool takes a while, which may be long on a loaded machine."""
    pressed = time.monotonic()
    game.keys(*[a for key in keys for a in ('keydown', key)], 'sleep', str(seconds),
              *[a for key in keys for a in ('keyup', key)])
    return pressed, pressed + seconds, time.monotonic()


def check_menu(game, figures, releases):
    """Taps of Down of 10 to 300 ms move one item each; a held key reaches the end; Enter on
    "Assistance" opens it once; Enter on "Start game" starts the game."""
    game.wait_for('the menu', lambda: game.now()[1] == 0)
    for key, ms, box in (('Down', 10, 1), ('Down', 50, 2), ('Down', 150, 3), ('Up', 300, 2)):
        before = game.now()[1]
        game.tap(key, ms / 1000)
        game.settle()
        assert game.now()[1] == box, \
            f'a {ms} ms tap of {key} from box {before} left box {game.now()[1]}'
    figures.append('menu taps of 10, 50, 150, 300 ms: one item each')
    hold(game, ['Up'], 1.5)
    game.settle(0.3)
    assert game.now()[1] == 0, f'1.5 s of Up from box 2 left box {game.now()[1]}'
    pressed, *_ = hold(game, ['Down'], 1.5)
    game.settle(0.3)
    assert game.now()[1] == 3, f'1.5 s of Down from box 0 left box {game.now()[1]}'
    rows = [(at - pressed, box) for at, box, *_ in game.trace() if box is not None]
    changes = [round(at * 1000) for (at, box), (_, before) in zip(rows[1:], rows)
               if box != before and at >= 0]
    figures.append(f'menu: Down held 1.5 s from the top reaches the end; moves at {changes} ms')
    game.keys('keydown', 'Up', 'sleep', '0.05', 'keyup', 'Up', 'sleep', '0.15',
              'keydown', 'Up', 'sleep', '0.05', 'keyup', 'Up')
    game.settle()
    assert game.now()[1] == 1, f'two quick taps of Up from box 3 left box {game.now()[1]}'
    figures.append('menu: two taps of Up 150 ms apart: two items')
    # The help "editor" returns at once, while Enter is still down: a tap opens it once, and so
    # does a long hold where the terminal reports releases.
    holds = [0.1] + ([1.2] if releases else [])
    for seconds in holds:
        hold(game, ['Return'], seconds)
        game.wait_for('the menu back', lambda: game.now()[1] == 1)
        game.settle()
    assert game.file('editor.log') == 'Assistance.txt\n' * len(holds), \
        f'Enter held {holds} s on Assistance ran the editor on {game.file("editor.log")!r}'
    figures.append(f'menu: Enter held {" s, then ".join(map(str, holds))} s on "Assistance" '
                   f'opens it once each time')
    game.tap('Up', 0.03)
    game.wait_for('Start game', lambda: game.now()[1] == 0)


def check_play(game, figures, label, exact=True):
    """In the start area, a row of twelve free cells: Left to its end, then Right held for 1 s;
    a 30 ms tap; Left and Right held together. Without exact held keys only the tap is checked:
    the rest is what such terminals give, for the log."""
    game.wait_for('the menu on Start game', lambda: game.now()[1] == 0)
    game.tap('Return', 0.03)
    game.wait_for('the game', lambda: game.now()[4] == (4, 2))
    hold(game, ['Left'], 1.0)  # long enough for the auto-repeat where nothing else helps
    game.wait_for('the player at the left wall', lambda: game.now()[4] == (1, 2), 5)
    game.settle(0.3)
    steps_before = game.now()[3]
    pressed, held, released = hold(game, ['Right'], 1.0)
    game.settle(0.5)
    seen = ticks(game, pressed - 0.15, time.monotonic())  # from the last tick before the press
    moved = [steps - before for (_, before), (_, steps) in zip(seen, seen[1:])]
    first = next((i for i, step in enumerate(moved) if step), len(moved) - 1)
    when = [tick_time(game, clock) for clock, _ in seen[1:]]
    while_held = [step for at, step in zip(when, moved) if at < held]
    after = sum(step for at, step in zip(when, moved) if at >= released)
    figures.append(f'{label}: Right held 1 s: {game.now()[3] - steps_before} cells in {len(moved)} '
                   f'ticks drawn; steps by tick {moved}')
    assert not exact or all(while_held[first:]), \
        f'a tick without a step while Right was held: {moved}'
    assert not exact or moved[first + 1] == 1, f'no step on the tick after the first: {moved}'
    assert not exact or after <= 1, f'{after} steps after the release: {moved}'

    before = game.now()[3]
    game.tap('Left', 0.03)
    game.settle()
    assert game.now()[3] == before + 1, f'a 30 ms tap made {game.now()[3] - before} steps'
    figures.append(f'{label}: a 30 ms tap of Left: one cell')

    pressed, held, _ = hold(game, ['Left', 'Right'], 1.0)
    game.settle(0.5)
    seen = ticks(game, pressed - 0.15, held)
    both = [steps - before for (_, before), (_, steps) in zip(seen, seen[1:])]
    both = both[next((i for i, step in enumerate(both) if step), len(both)):]
    figures.append(f'{label}: Left and Right held together 1 s: steps by tick {both}')
    # Pressed together, one key may still come in a moment after a tick has read the other.
    assert not exact or both and both[0] in (1, 2) and all(step == 2 for step in both[1:]), \
        f'not both keys on every tick while held together: {both}'


def tick_time(game, clock):
    return min(at for at, _, c, *_ in game.trace() if c == clock)


def case_terminal(terminal, late_ms=0, with_x=True, blind=False):
    """blind: the game is given another X display, where none of the keys is ever down, as a
    terminal on a Wayland desktop sees XWayland. It must find that out and do without."""
    def run(scratch, x, figures):
        other = None
        if blind:
            (scratch.dir / 'other').mkdir()
            other = X11(scratch.dir / 'other')
        game = Game(x, scratch, terminal, late_ms=late_ms, with_x=with_x,
                    display=other and other.display)
        try:
            if not late_ms: check_menu(game, figures, releases=terminal == 'kitty')
            label = terminal + (f', answering {late_ms} ms late' if late_ms else '') + \
                ('' if with_x else ', no X') + (', blind X' if blind else '')
            check_play(game, figures, label, exact=(with_x and not blind) or terminal == 'kitty')
            if blind:
                pid = harness.game_pid(int(game.file('shell.pid')))
                threads = len(os.listdir(f'/proc/{pid}/task'))
                figures.append(f'{terminal}, blind X: threads of the game after play: {threads}')
                assert threads == 1, 'the X reader still runs: the blind X server was not found out'
        finally:
            game.close()
            if other: other.close()
    return run


def case_quick_exits(scratch, x, figures):
    """Twenty runs in kitty, ended alternately by Ctrl-C and by the menu's Exit, every key
    released within 10 ms: nothing of what the terminal sends reaches the prompt."""
    runs = 20
    game = Game(x, scratch, 'kitty', runs=runs, with_x=False)
    try:
        since = 0
        for run in range(1, runs + 1):
            game.wait_for(f'the menu of run {run}', lambda: game.now()[0] > since and
                          game.now()[1] == 0)
            if run % 2:
                game.keys('keydown', 'ctrl', 'keydown', 'c', 'sleep', '0.01', 'keyup', 'c',
                          'keyup', 'ctrl')
            else:
                for box in (1, 2, 3):  # at a quick hand's pace
                    game.keys('sleep', '0.1', 'keydown', 'Down', 'sleep', '0.01', 'keyup', 'Down')
                    game.wait_for(f'box {box}', lambda: game.now()[1] == box)
                game.keys('sleep', '0.1', 'keydown', 'Return', 'sleep', '0.01', 'keyup', 'Return')
            game.wait_for(f'the end of run {run}', lambda: len(game.file('status').split()) == run)
            since = time.monotonic()  # the next run's menu, not this one's
            (scratch.dir / f'go-{run}').touch()
    finally:
        game.close()
    statuses = game.file('status').split()
    leftovers = {run: game.file(f'leftover-{run}') for run in range(1, runs + 1)}
    figures.append(f'{runs} quick exits: statuses {statuses}; bytes at the prompt: '
                   f'{sum(map(len, leftovers.values()))}')
    assert statuses == ['130', '0'] * (runs // 2), f'statuses {statuses}'
    assert not any(leftovers.values()), f'left at the prompt: {leftovers}'


# kitty runs the game without DISPLAY: its keyboard protocol alone must do.
CASES = {'xterm': case_terminal('xterm'), 'kitty': case_terminal('kitty', with_x=False),
         'tmux-in-xterm': case_terminal('tmux'),
         'kitty-late': case_terminal('kitty', 250, with_x=False),
         'xterm-without-x': case_terminal('xterm', with_x=False),
         'xterm-blind-x': case_terminal('xterm', blind=True),
         'kitty-quick-exits': case_quick_exits}


def main():
    if sys.argv[1] == '--tap':
        try:
            return tap(sys.argv[2], sys.argv[3], int(sys.argv[4]))
        except BaseException:  # for the driver's report: the terminal closes with the tap
            import traceback
            (Path(sys.argv[2]) / 'tap.log').write_text(traceback.format_exc())
            raise
    global GAME
    GAME, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    terminal = {'tmux-in-xterm': 'xterm tmux'}.get(case, case.split('-')[0]).split()
    harness.require('Xvfb', 'xset', 'xdotool', *terminal, modules=['pyte'])
    x, figures = None, []
    with harness.Scratch('x11-' + case) as scratch:
        try:
            x = X11(scratch.dir)
            CASES[case](scratch, x, figures)
        finally:
            print('\n'.join(figures))
            if x: x.close()


if __name__ == '__main__':
    sys.exit(main())
