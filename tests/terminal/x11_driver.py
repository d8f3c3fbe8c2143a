#!/usr/bin/env python3
"""Plays the game in real terminals (xterm, kitty, tmux inside xterm) on a virtual X display, with
real X key events: xdotool presses and releases keys, and the X server auto-repeats held ones at
500 ms and 30 Hz, as desktops do. What the game shows is read by a tap: a transparent relay
between the terminal and the game, started inside the terminal, that passes every byte on
unchanged and keeps a copy of the screen (pyte) to note the menu's selection, the clock and the
step counter as they change. After each run of the game the tap notes whatever the terminal still
sends: that would land at the shell prompt.

Usage: x11_driver.py GAME CASE         one case; exit status 77 when the tools are missing
       x11_driver.py --tap DIR RUNS GAME LATE_MS x|no-x   (the tap, which the driver runs in a
                                          terminal; no-x: the game gets no DISPLAY)

Counts are of ticks the game really made (the clock on its screen), so a loaded machine only
slows things down. Figures are printed for the log."""
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

try:
    import pyte
except ImportError:
    pyte = None

# ---- The tap, inside the terminal.

# As from an interactive shell: the game in a process group of its own, which alone gets Ctrl-C.
RUN_SH = '''[ "$3" = x ] || unset DISPLAY
[ -z "$GLYPH_GAME_DISPLAY" ] || export DISPLAY="$GLYPH_GAME_DISPLAY"
trap : INT QUIT
set -m
for run in $(seq "$1"); do
    "$2"; echo "$?" >> statuses
    stty -icanon -echo min 0 time 3; dd bs=1 of="leftover-$run" 2>/dev/null; stty sane
    echo "$run" > runs-done
    while [ "$run" -lt "$1" ] && [ ! -e "go-$run" ]; do sleep 0.02; done
done
'''


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


def tap(where, runs, game, late_ms, x):
    import fcntl, pty, struct, termios, tty
    where = Path(where)
    size = fcntl.ioctl(0, termios.TIOCGWINSZ, b'\0' * 8)
    rows, columns = struct.unpack('HHHH', size)[:2]
    (where / 'run.sh').write_text(RUN_SH)
    pid, master = pty.fork()
    if pid == 0:
        os.chdir(where)
        os.execvp('sh', ['sh', 'run.sh', str(runs), game, x])
    fcntl.ioctl(master, termios.TIOCSWINSZ, size)
    (where / 'shell.pid').write_text(str(pid))
    saved = termios.tcgetattr(0)
    tty.setraw(0)
    screen = pyte.Screen(columns, rows)
    stream = pyte.ByteStream(screen)
    trace = open(where / 'trace', 'a', buffering=1)
    last, held, release_at = None, b'', None
    try:
        while True:
            ready = select.select([0, master], [], [], 0.01)[0]
            if master in ready:
                try:
                    data = os.read(master, 65536)
                except OSError:
                    break
                if not data: break
                os.write(1, data)
                if b'\x1b[?1049h' in data:  # a run of the game begins on a fresh screen
                    screen.reset()
                    last = None
                stream.feed(data)
                if late_ms and release_at is None and b'\x1b[?u' in data:
                    release_at = time.monotonic() + late_ms / 1000  # a terminal slow to answer
                now = (green_box(screen), status(screen, 'Time'), status(screen, 'Steps'),
                       player(screen))
                if now != last:
                    trace.write('%.4f %r\n' % (time.monotonic(), now))
                    last = now
            if 0 in ready:
                data = os.read(0, 65536)
                if release_at is not None and time.monotonic() < release_at:
                    held += data
                else:
                    os.write(master, held + data)
                    held = b''
            if held and time.monotonic() >= release_at:
                os.write(master, held)
                held = b''
    finally:
        termios.tcsetattr(0, termios.TCSADRAIN, saved)
        os.waitpid(pid, 0)


# ---- The driver.

class X11:
    """A virtual X display of its own, with the desktop's usual auto-repeat."""

    def __init__(self, scratch):
        self.log = open(scratch / 'xvfb.log', 'w')
        # Numbers set aside for these tests, tried in turn (a test running beside this one may
        # take a number first: its server then stays and ours gives up); else one the X server
        # picks itself.
        for number in os.environ.get('GLYPH_X_DISPLAYS', '').split() + [None]:
            if number is not None and Path(f'/tmp/.X{number}-lock').exists(): continue
            if self.serve(number): break
        else:
            raise AssertionError('no X server would start; see xvfb.log')
        self.env = dict(os.environ, DISPLAY=self.display, LANG='C.UTF-8', LC_ALL='C.UTF-8')
        self.env.pop('WAYLAND_DISPLAY', None)
        self.run('xset', 'r', 'rate', '500', '30')
        self.terminals = []

    def serve(self, number):
        """Starts Xvfb on display `number` (None: the first free one); True once it answers."""
        command = ['Xvfb', '-noreset', '-nolisten', 'tcp', '-screen', '0', '1600x1000x24']
        read, write = os.pipe()
        command += [f':{number}'] if number else ['-displayfd', str(write)]
        self.server = subprocess.Popen(command, pass_fds=(write,), stdout=self.log,
                                       stderr=self.log)
        os.close(write)
        chosen = number is None  # then the server took a free number itself
        if chosen:
            number = os.read(read, 32).decode().split('\n')[0].strip()
        self.display = f':{number}'
        deadline = time.monotonic() + 30
        try:  # the pipe stays open while the server may still write to it
            while self.server.poll() is None and time.monotonic() < deadline:
                answer = subprocess.run(['xset', '-display', self.display, 'q'],
                                        capture_output=True)
                lock = Path(f'/tmp/.X{number}-lock')
                ours = chosen or lock.exists() and lock.read_text().strip() == str(self.server.pid)
                if answer.returncode == 0 and ours: return True
                time.sleep(0.1)
        finally:
            os.close(read)
        if self.server.poll() is None: self.server.kill()
        self.server.wait()
        return False

    def run(self, *command):
        return subprocess.run(command, env=self.env, capture_output=True, text=True)

    def keys(self, *args):
        """xdotool with its own sleeps between steps: a tap's length does not depend on how
        quickly this script runs."""
        self.run('xdotool', *args)

    def start(self, command, scratch):
        log = open(scratch / 'terminal.log', 'w')
        process = subprocess.Popen(command, env=self.env, stdout=log, stderr=log,
                                   start_new_session=True)
        self.terminals.append(process)
        deadline = time.monotonic() + 60
        while True:
            found = self.run('xdotool', 'search', '--onlyvisible', '--pid', str(process.pid))
            if found.stdout.split(): break
            if time.monotonic() > deadline or process.poll() is not None:
                raise AssertionError('the terminal window did not show')
            time.sleep(0.1)
        window = found.stdout.split()[0]
        # No window manager: the keyboard goes where the pointer is.
        self.run('xdotool', 'mousemove', '--window', window, '20', '20')
        self.run('xdotool', 'windowfocus', '--sync', window)

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

    def __init__(self, x, scratch, terminal, runs=1, late_ms=0, with_x=True):
        self.x, self.dir, self.tmux = x, scratch, None
        (scratch / 'editor.sh').write_text('echo "$1" >> editor.log\n')
        x.env.update(EDITOR=f'sh {scratch}/editor.sh', VISUAL='')
        tap_command = [sys.executable, os.path.abspath(__file__), '--tap', str(scratch), str(runs),
                       GAME, str(late_ms), 'x' if with_x else 'no-x']
        if terminal == 'xterm':
            command = ['xterm', '-u8', '-geometry', '100x30', '-e', *tap_command]
        elif terminal == 'kitty':
            command = ['kitty', '--config', 'NONE', '-o', 'initial_window_width=100c',
                       '-o', 'initial_window_height=30c', '-o', 'remember_window_size=no',
                       *tap_command]
        else:  # tmux inside xterm, on a tmux server of its own
            (scratch / 'tmux.conf').write_text('set -g status off\n'
                                               'set -g default-terminal tmux-256color\n')
            tmux = ['tmux', '-S', str(scratch / 'tmux.sock'), '-f', str(scratch / 'tmux.conf')]
            command = ['xterm', '-u8', '-geometry', '100x30', '-e', *tmux, 'new-session',
                       ' '.join(map(shlex_quote, tap_command))]
            self.tmux = tmux
        x.start(command, scratch)

    def trace(self):
        rows = []
        for line in (self.dir / 'trace').read_text().splitlines():
            at, state = line.split(' ', 1)
            rows.append((float(at), *eval(state)))  # (time, menu box, clock, steps, player)
        return rows

    def now(self):
        rows = self.trace() if (self.dir / 'trace').exists() else []
        return rows[-1] if rows else (0, None, None, None, None)

    def wait_for(self, what, predicate, timeout=60):
        deadline = time.monotonic() + timeout
        while not predicate():
            if time.monotonic() > deadline:
                raise AssertionError(f'timed out waiting for {what}; last seen {self.now()}\n'
                                     + self.file('tap.log'))
            time.sleep(0.02)

    def settle(self, seconds=0.8):
        """Waits out the terminal's auto-repeat delay: a key that acted more than once shows."""
        time.sleep(seconds)

    def file(self, name):
        path = self.dir / name
        return path.read_text() if path.exists() else ''


def shlex_quote(word):
    import shlex
    return shlex.quote(word)


def ticks(game, since, until):
    """(clock, steps) after each tick the game drew between two moments."""
    last = {}
    for at, _, clock, steps, _ in game.trace():
        if since <= at <= until and clock is not None: last[clock] = steps
    return sorted(last.items(), reverse=True)  # the clock counts down


def hold(game, keys, seconds):
    """Holds the keys together. Returns a moment before the press, one before the release and
    one after it: starting xdotool takes a while, which may be long on a loaded machine."""
    downs = [a for key in keys for a in ('keydown', key)]
    ups = [a for key in keys for a in ('keyup', key)]
    pressed = time.monotonic()
    game.x.keys(*downs, 'sleep', str(seconds), *ups)
    return pressed, pressed + seconds, time.monotonic()


def check_menu(game, figures, releases):
    """Taps of Down of 10 to 300 ms move one item each; a held key reaches the end; Enter on
    "Assistance" opens it once; Enter on "Start game" starts the game."""
    game.wait_for('the menu', lambda: game.now()[1] == 0)
    for box, ms in ((1, 10), (2, 50), (3, 150)):
        game.x.keys('keydown', 'Down', 'sleep', str(ms / 1000), 'keyup', 'Down')
        game.settle()
        assert game.now()[1] == box, \
            f'a {ms} ms tap of Down from box {box - 1} left box {game.now()[1]}'
    game.x.keys('keydown', 'Up', 'sleep', '0.3', 'keyup', 'Up')
    game.settle()
    assert game.now()[1] == 2, f'a 300 ms tap of Up from box 3 left box {game.now()[1]}'
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
    game.x.keys('keydown', 'Up', 'sleep', '0.05', 'keyup', 'Up', 'sleep', '0.15',
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
    game.x.keys('keydown', 'Up', 'sleep', '0.03', 'keyup', 'Up')
    game.wait_for('Start game', lambda: game.now()[1] == 0)
    game.x.keys('keydown', 'Return', 'sleep', '0.03', 'keyup', 'Return')
    game.wait_for('the game', lambda: game.now()[4] == (4, 2))


def check_play(game, figures, label, exact=True):
    """In the start area, a row of twelve free cells: Left to its end, then Right held for 1 s;
    a 30 ms tap; Left and Right held together. Without exact held keys only the tap is checked:
    the rest is what such terminals give, for the log."""
    hold(game, ['Left'], 1.0)  # long enough for the auto-repeat where nothing else helps
    game.wait_for('the player at the left wall', lambda: game.now()[4] == (1, 2), 5)
    game.settle(0.3)
    steps_before = game.now()[3]
    pressed, held, released = hold(game, ['Right'], 1.0)
    game.settle(0.5)
    seen = ticks(game, pressed - 0.15, time.monotonic())  # from the last tick before the press
    moved = [steps - before for (_, before), (_, steps) in zip(seen, seen[1:])]
    first = next((i for i, step in enumerate(moved) if step), len(moved) - 1)
    while_held = [step for (clock, _), step in zip(seen[1:], moved)
                  if tick_time(game, clock) < held]
    after = sum(step for (clock, _), step in zip(seen[1:], moved)
                if tick_time(game, clock) >= released)
    cells = game.now()[3] - steps_before
    figures.append(f'{label}: Right held 1 s: {cells} cells in {len(moved)} ticks drawn; '
                   f'steps by tick {moved}')
    assert not exact or all(while_held[first:]), f'a tick without a step while Right was held: {moved}'
    assert not exact or moved[first + 1] == 1, f'no step on the tick after the first: {moved}'
    assert not exact or after <= 1, f'{after} steps after the release: {moved}'

    before = game.now()[3]
    game.x.keys('keydown', 'Left', 'sleep', '0.03', 'keyup', 'Left')
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
            (scratch / 'other').mkdir()
            other = X11(scratch / 'other')
            x.env['GLYPH_GAME_DISPLAY'] = other.env['DISPLAY']
        game = Game(x, scratch, terminal, late_ms=late_ms, with_x=with_x)
        try:
            play(game, figures)
            if blind:
                shell = game.file('shell.pid').strip()
                pid = Path(f'/proc/{shell}/task/{shell}/children').read_text().split()[0]
                threads = len(os.listdir(f'/proc/{pid}/task'))
                figures.append(f'{terminal}, blind X: threads of the game after play: {threads}')
                assert threads == 1, 'the X reader still runs: the blind X server was not found out'
        finally:
            if game.tmux: subprocess.run([*game.tmux, 'kill-server'], capture_output=True)
            if other: other.close()

    def play(game, figures):
        if late_ms:
            game.wait_for('the menu', lambda: game.now()[1] == 0)
            game.x.keys('keydown', 'Return', 'sleep', '0.03', 'keyup', 'Return')
            game.wait_for('the game', lambda: game.now()[4] == (4, 2))
        else:
            check_menu(game, figures, releases=terminal == 'kitty')
        label = terminal + (f', answering {late_ms} ms late' if late_ms else '') + \
            ('' if with_x else ', no X') + (', blind X' if blind else '')
        check_play(game, figures, label, exact=(with_x and not blind) or terminal == 'kitty')
    return run


def case_quick_exits(scratch, x, figures):
    """Twenty runs in kitty, ended alternately by Ctrl-C and by the menu's Exit, every key
    released within 10 ms: nothing of what the terminal sends reaches the prompt."""
    runs = 20
    game = Game(x, scratch, 'kitty', runs=runs, with_x=False)
    since = 0
    for run in range(1, runs + 1):
        game.wait_for(f'the menu of run {run}', lambda: game.now()[0] > since and
                      game.now()[1] == 0)
        if run % 2:
            game.x.keys('keydown', 'ctrl', 'keydown', 'c', 'sleep', '0.01', 'keyup', 'c',
                        'keyup', 'ctrl')
        else:
            for box in (1, 2, 3):  # at a quick hand's pace
                game.x.keys('sleep', '0.1', 'keydown', 'Down', 'sleep', '0.01', 'keyup', 'Down')
                game.wait_for(f'box {box}', lambda: game.now()[1] == box)
            game.x.keys('sleep', '0.1', 'keydown', 'Return', 'sleep', '0.01', 'keyup', 'Return')
        game.wait_for(f'the end of run {run}', lambda: game.file('runs-done').strip() == str(run))
        since = time.monotonic()  # the next run's menu, not this one's
        (scratch / f'go-{run}').touch()
    statuses = game.file('statuses').split()
    leftovers = {run: (scratch / f'leftover-{run}').read_bytes() for run in range(1, runs + 1)}
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
TOOLS = {'xterm': ['xterm'], 'kitty': ['kitty'], 'tmux-in-xterm': ['xterm', 'tmux'],
         'kitty-late': ['kitty'], 'xterm-without-x': ['xterm'], 'xterm-blind-x': ['xterm'],
         'kitty-quick-exits': ['kitty']}


def main():
    global GAME
    if sys.argv[1] == '--tap':
        try:
            return tap(sys.argv[2], int(sys.argv[3]), sys.argv[4], int(sys.argv[5]), sys.argv[6])
        except BaseException:  # for the driver's report: the terminal closes with the tap
            import traceback
            (Path(sys.argv[2]) / 'tap.log').write_text(traceback.format_exc())
            raise
    if pyte is None and Path('/usr/bin/python3').exists() and sys.executable != '/usr/bin/python3':
        # The system's Python has Debian's python3-pyte where another Python on PATH may not.
        found = subprocess.run(['/usr/bin/python3', '-c', 'import pyte'], capture_output=True)
        if found.returncode == 0:
            os.execv('/usr/bin/python3', ['/usr/bin/python3', *sys.argv])
    GAME, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    missing = [tool for tool in ['Xvfb', 'xset', 'xdotool', *TOOLS[case]] if not shutil.which(tool)]
    if pyte is None: missing.append('python3-pyte')
    if missing:
        print('skipped: not installed: ' + ', '.join(missing))
        return 77
    scratch = Path(tempfile.mkdtemp(prefix=f'glyph-x11-{case}-'))
    x, figures = None, []
    try:
        x = X11(scratch)
        CASES[case](scratch, x, figures)
    finally:
        print('\n'.join(figures))
        if x: x.close()
        if os.environ.get('GLYPH_KEEP_SCRATCH'): print('scratch:', scratch)
        else: shutil.rmtree(scratch, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
