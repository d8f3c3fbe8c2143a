#!/usr/bin/env python3
"""Runs the game in a real terminal, tmux, and checks what it shows; one case per run, on a tmux
server of its own in a scratch folder, the game started by the harness's shell, which notes the
terminal's modes and the exit status. Exit status 77: no tmux.
Usage: tmux_driver.py GAME RENDER_REFERENCE CASE STOP_SHIM
"""
import contextlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import harness  # noqa: E402

# Console attribute -> (terminal colour, background, bold), with 16 colours and where only 8 exist.
COLOURS_16 = {attr: (colour, 0, False)
              for attr, colour in enumerate((4, 2, 6, 1, 5, 3, 7, 8, 12), start=1)}
COLOURS_8 = {**COLOURS_16, 8: (0, 0, True), 9: (4, 0, True)}
SIGINT_STATUS = 128 + signal.SIGINT


class Pane(contextlib.AbstractContextManager):
    """The game in a detached tmux session on a private server, in the case's scratch folder."""

    def __init__(self, scratch, name, size=(100, 30), term='tmux-256color', env=None, setup='',
                 command=None):
        self.dir, self.file = scratch.dir, scratch.file
        self.socket = str(scratch.dir / f'{name}.tmux')  # gone with the folder
        (self.dir / 'tmux.conf').write_text(f'set -g default-terminal {term}\nset -g status off\n')
        session = ['new-session', '-d', '-x', str(size[0]), '-y', str(size[1]), '-c', str(self.dir)]
        for item in {'LANG': 'C.UTF-8', 'LC_ALL': 'C.UTF-8', **(env or {})}.items():
            session += ['-e', '%s=%s' % item]
        self.tmux(*session, *scratch.run_sh(setup), *(command or [GAME]))

    def __exit__(self, *error):
        strays = self.processes()  # what a failed case left running goes too
        self.tmux('kill-server')
        for pid in strays:
            with contextlib.suppress(OSError): os.kill(pid, signal.SIGKILL)

    def tmux(self, *args):
        return subprocess.run(['tmux', '-S', self.socket, '-f', str(self.dir / 'tmux.conf'), *args],
                              capture_output=True, text=True).stdout

    def text(self):
        return self.tmux('capture-pane', '-p', '-N')

    def cells(self):
        """The screen as rows of (char, fg, bg, bold), from the SGR sequences tmux writes."""
        rows, fg, bg, bold = [], None, None, False
        for line in self.tmux('capture-pane', '-p', '-e', '-N').split('\n'):
            rows.append([])
            for sgr, char in re.findall(r'\x1b\[([0-9;]*)m|(.)', line):
                if char: rows[-1].append((char, fg, bg, bold))
                codes = [] if char else [int(c or 0) for c in sgr.split(';')]
                while codes:
                    c, value = codes.pop(0), None
                    if c in (38, 48): value, codes = codes[1], codes[2:]  # 5;N: a palette colour
                    elif c not in (39, 49): value = c % 10 + (8 if c >= 90 else 0)
                    if c == 0: fg, bg, bold = None, None, False
                    elif c in (1, 22): bold = c == 1
                    elif 30 <= c <= 39 or 90 <= c <= 97: fg = value
                    elif 40 <= c <= 49 or 100 <= c <= 107: bg = value
        return rows

    def shell(self):
        return int(self.tmux('display-message', '-p', '#{pane_pid}'))

    def game_pid(self):
        return harness.game_pid(self.shell())

    def processes(self):
        return harness.processes(self.shell())

    def wait_for(self, what, predicate):
        harness.wait_for(what, predicate, report=lambda: 'screen:\n' + self.text())

    def press(self, key, what=None, until=None):  # a tap, and what it should bring
        self.tmux('send-keys', key)
        if until: self.wait_for(what, until)

    def menu(self, box=None):  # the menu whole, on `box` if given
        self.wait_for('the menu', lambda: 'Main Menu' in self.text() if box is None else
                      green_box(self) == box)

    def screen(self):  # '10' the game's: alternate screen, no cursor; '01' the shell's
        return self.tmux('display-message', '-p', '#{alternate_on}#{cursor_flag}').strip()

    def restored(self, how, *statuses):
        self.wait_for(f'the end after {how}', lambda: self.file('status'))
        assert int(self.file('status')) in statuses, f'{how}: status {self.file("status")}'
        assert self.file('stty-before') == self.file('stty-after'), f'{how}: modes not restored'
        self.wait_for(f'the screen and cursor back after {how}', lambda: self.screen() == '01')

    def stopped(self, how):  # the game stopped, and the shell has its modes back
        self.wait_for(f'the game to stop {how}', lambda: self.file('stty-stopped'))
        assert self.file('stty-stopped') == self.file('stty-before'), f'{how}: modes not restored'


def green_box(pane):
    """The menu box whose corner shows in green, if the menu stands whole."""
    if 'Main Menu' in pane.text():
        boxes = [box for box, row in enumerate(pane.cells()[0:30:6]) if row[0][1] == 2]
        return boxes[0] if len(boxes) == 1 else None


def check_idle(pid, what):
    """A loop that spins takes a whole core; one paced to the frame rate a few percent."""
    def cpu_ticks():  # user and system time so far
        return sum(map(int, Path(f'/proc/{pid}/stat').read_text().rsplit(')')[-1].split()[11:13]))
    before, start = cpu_ticks(), time.monotonic()
    time.sleep(2)
    share = (cpu_ticks() - before) / os.sysconf('SC_CLK_TCK') / (time.monotonic() - start)
    assert share < 0.5, f'{what} takes {share * 100:.0f}% of a core'


def idle_tick_screens(pane, colours, origin, count=2):
    """Waits until whole screens for `count` different ticks were each exactly the picture that
    the game presents at the pause of the tick its clock shows (the player standing still): every
    cell, margins and blanks included, on black; so every cell of the level in its glyph and
    colour."""
    references, matched, mismatch = {}, set(), []

    def differences(screen):
        row = screen[origin[1] + 20][origin[0] + 69:origin[0] + 86]
        clock = re.match(r'Time: (\d+)', ''.join(cell[0] for cell in row))
        if not clock: return ['no clock']
        ticks = 3000 - int(clock.group(1))
        if ticks not in references:
            lines = subprocess.run([REFERENCE, str(ticks)], capture_output=True, text=True,
                                   check=True).stdout.splitlines()
            references[ticks] = [[tuple(int(part, 16) for part in word.split(':'))
                                  for word in line.split()] for line in lines]
        want, found = references[ticks], []
        for y, line in enumerate(screen[:len(screen) - 1]):
            for x, shown in enumerate(line):
                r, c = y - origin[1], x - origin[0]
                glyph, attr = want[r][c] if 0 <= r < 30 and 0 <= c < 100 else (0x20, 7)
                char = bytes([glyph]).decode('cp437') if glyph else ' '
                ok = (shown[0], shown[2]) == (' ', 0) if char == ' ' else \
                    shown == (char, *colours[attr])
                if not ok:
                    found.append(f'tick {ticks} ({x},{y}) wants {char!r} {colours.get(attr)}, '
                                 f'shows {shown}')
        if not found: matched.add(ticks)
        return found

    def enough():
        mismatch[:] = differences(pane.cells())
        return len(matched) >= count
    try:
        pane.wait_for(f'{count} whole idle-tick screens as the game draws them', enough)
    finally:
        print('\n'.join(mismatch[:20]))


def case_idle_tick_8_colours(scratch):
    """On 8 colours, the bright ones bold, centred in a larger terminal. (On 16 colours at the
    exact size, the same check ends slow-line.)"""
    with Pane(scratch, 'idle-tick', size=(104, 34), term='screen') as pane:
        pane.menu()
        pane.press('Enter')
        idle_tick_screens(pane, COLOURS_8, (2, 2))
        assert pane.screen() == '10', 'the game is not on the alternate screen or shows the cursor'


def case_slow_line(scratch):
    """At 9,600 bytes a second, with the line stalled now and then: the pictures the game could
    not send meanwhile give way to the latest one, which arrives whole once the line moves, also
    when the game has gone idle in the menu."""
    relay = [sys.executable, str(Path(harness.__file__)), 'relay', '9600', GAME]
    stall = scratch.dir / 'stall'
    with Pane(scratch, 'slow-line', command=relay) as pane:
        pane.menu(1)
        stall.touch()
        pane.press('Down')
        time.sleep(0.5)
        assert green_box(pane) == 1, 'output went through a stalled line'
        stall.unlink()
        pane.menu(2)
        pane.press('Up', 'the menu on Start game', lambda: green_box(pane) == 1)
        stall.touch()
        pane.press('Enter')
        time.sleep(1.5)
        stall.unlink()
        idle_tick_screens(pane, COLOURS_16, (0, 0))


def case_size(scratch):
    with Pane(scratch, 'size', size=(80, 24)) as pane:
        pane.wait_for('the size message at 80x24', lambda: '100 x 30' in pane.text())
        lines = [line for line in pane.text().split('\n') if line.strip()]
        left, right = (len(lines[0]) - len(f(lines[0])) for f in (str.lstrip, str.rstrip))
        assert len(lines) <= 3 and abs(left - right) <= 1, f'size message not alone: {lines}'
        for x, y in ((100, 30), (80, 24), (100, 30)):  # the whole menu, down to its last row
            pane.tmux('resize-window', '-x', str(x), '-y', str(y))
            pane.wait_for(f'{x}x{y}', lambda: ('100 x 30' in pane.text()) == (x == 80) and (
                x == 80 or 'Main Menu' in pane.text() and '▒' in pane.text().split('\n')[29]))
        pane.press('C-c')
        pane.restored('Ctrl-C', SIGINT_STATUS)


def case_signals(scratch):
    """Ctrl-C, and every signal that ends a program by default, the common ones and those nobody
    thinks of, end the game with the terminal restored first; one ignored at start (nohup) stays
    ignored: the SIGTERM after it ends the game."""
    for name in ('INT', 'TERM', 'HUP', 'QUIT', 'SEGV', 'ABRT', 'PIPE', 'USR1', 'USR2', 'ALRM',
                 'XCPU', 'XFSZ', 'VTALRM', 'PROF', 'TRAP', 'SYS'):
        signum = signal.Signals['SIG' + name]
        with Pane(scratch, name) as pane:
            pane.menu()
            if signum == signal.SIGINT: pane.press('C-c')
            else: os.kill(pane.game_pid(), signum)
            pane.restored('SIG' + name, 128 + signum)
    with Pane(scratch, 'ignored', setup="trap '' HUP") as pane:
        pane.menu()
        game = pane.game_pid()
        os.kill(game, signal.SIGHUP)
        with contextlib.suppress(ProcessLookupError): os.kill(game, signal.SIGTERM)
        pane.restored('SIGHUP ignored, then SIGTERM', 128 + signal.SIGTERM)


def case_menu_to_loss_and_exit(scratch):
    """The menu, help in the editor, the game until the player is caught; then a second run that
    chooses Exit. Every key is one tap, which must act once."""
    (scratch.dir / 'editor.sh').write_text('test -f "$1" && echo "$1 $(stty -g)" >> editor.log\n')
    env = {'EDITOR': f'sh {scratch.dir}/editor.sh', 'VISUAL': ''}
    help_files = [scratch.dir / name for name in ('Assistance.txt', 'Information.txt')]

    def player():  # the player's square in the start area and the walkers' rows below
        for row, line in enumerate(pane.text().split('\n')[:8]):
            if '■' in line[:13]: return line.index('■'), row

    taps = []

    def walk():  # right to the gap in the wall below, then down into a walker's row; True: caught
        position, playing = player(), 'Score:' in pane.text()
        if playing and position and position[1] < 5:
            taps.append('Right' if position[0] < 10 else 'Down')
            pane.press(taps[-1], 'a step', lambda: 'Score:' not in pane.text()
                       or player() not in (None, position))  # not a half-drawn frame
        return not playing

    with Pane(scratch, 'front', env=env) as pane:
        pane.menu(1)
        assert all(map(Path.is_file, help_files)), 'no help files written'
        check_idle(pane.game_pid(), 'the menu')
        pane.press('Down', 'Assistance', lambda: green_box(pane) == 2)
        pane.press('Enter', 'the editor', lambda: pane.file('editor.log'))
        pane.wait_for('the menu again', lambda: pane.screen() == '10' and green_box(pane) == 2)
        # An Enter taken twice would run the editor again before the menu could take this key.
        pane.press('Up', 'Start game', lambda: green_box(pane) == 1)
        assert pane.file('editor.log') == 'Assistance.txt ' + pane.file('stty-before'), \
            f'editor not run once on Assistance.txt in the modes found: {pane.file("editor.log")}'
        pane.press('Enter', 'the player at (4,2)', lambda: player() == (4, 2))
        pane.wait_for('the player caught', walk)
        assert taps.count('Right') == 6, f'6 steps right took {taps.count("Right")} taps'
        pane.wait_for('the loss screen', lambda: '▒' in pane.text().split('\n')[1])
        check_idle(pane.game_pid(), 'the loss screen')

    for path in help_files: path.unlink()
    with Pane(scratch, 'front-exit', env=env) as pane:
        pane.menu(1)
        for box in (2, 3, 4): pane.press('Down', f'box {box}', lambda: green_box(pane) == box)
        pane.press('Enter')
        pane.restored('Exit', 0)
        assert all(map(Path.is_file, help_files)), 'help files not written again'


# ---- Hostile environments: each case fails on a game that does not survive it.

def case_terminal_type(scratch):
    """A terminal the game cannot drive: one line that says what to do, status 1, nothing drawn."""
    for number, setup in enumerate(('unset TERM', "export TERM=''", 'export TERM=nosuchterm',
                                    'export TERM=dumb')):
        with Pane(scratch, f'type-{number}', setup=setup) as pane:  # a server of its own each
            pane.restored(setup, 1)
            joined = pane.tmux('capture-pane', '-p', '-J')  # the line as written, however wrapped
            lines = [line for line in joined.split('\n') if line.strip()]
            assert len(lines) == 1 and lines[0].startswith('glyph-labyrinth: ') and \
                'TERM=xterm-256color' in lines[0], f'{setup}: the screen shows {lines}'
            assert not (scratch.dir / 'Assistance.txt').exists(), f'{setup}: started all the same'


def case_background(scratch):
    """Ctrl-Z gives the shell its modes and screen back; bg then: the game waits without touching
    the terminal; fg repaints it, and the keys act at once."""
    with Pane(scratch, 'background') as pane:
        pane.menu(1)
        game = pane.game_pid()
        pane.press('C-z')
        pane.stopped('by Ctrl-Z')
        pane.wait_for('the shell\'s screen while stopped', lambda: pane.screen() == '01')
        (scratch.dir / 'background').touch()
        pane.wait_for('the game sent on with bg', lambda: not (scratch.dir / 'background').exists())
        time.sleep(1)  # long enough for a game that takes the terminal to draw
        assert pane.screen() == '01' and 'Main Menu' not in pane.text(), 'drawn from the background'
        assert harness.state(game) != 'T', 'stopped in the background'
        (scratch.dir / 'resume').touch()
        pane.wait_for('the menu repainted', lambda: pane.screen() == '10' and green_box(pane) == 1)
        pane.press('Down', 'a key acting at once', lambda: green_box(pane) == 2)
        pane.press('C-c')
        pane.restored('Ctrl-C after fg', SIGINT_STATUS)


# An editor that takes the terminal as editors do (raw modes, alternate screen, no cursor), with a
# helper process of its own, and writes down who they are.
EDITOR_SH = r"""stty raw -echo; printf '\033[?1049h\033[?25lEDITING %s' "$1"
sleep 600 & echo $$ $! > editor.pids
if [ "$STOP_ONCE" ] && [ ! -e stopped ]; then touch stopped; kill -STOP $$; fi
[ "$STOP_ONCE" ] && kill $! || wait
stty -raw echo; printf '\033[?25h\033[?1049l'
"""


@contextlib.contextmanager
def editor_open(scratch, name, stop_once=''):
    """The game with the editor above open on "Assistance": the pane and the editor's processes."""
    (scratch.dir / 'editor.sh').write_text(EDITOR_SH)
    (scratch.dir / 'editor.pids').unlink(missing_ok=True)
    with Pane(scratch, name, env={'EDITOR': f'sh {scratch.dir}/editor.sh', 'VISUAL': '',
                                  'STOP_ONCE': stop_once}) as pane:
        pane.menu(1)
        pane.press('Down', 'Assistance', lambda: green_box(pane) == 2)
        pane.press('Enter', 'the editor', lambda: pane.file('editor.pids'))
        yield pane, [int(pid) for pid in pane.file('editor.pids').split()]


def case_editor_killed(scratch):
    """The game ended while the editor is open: the editor ends first, then the terminal is the
    shell's again."""
    for name in ('TERM', 'HUP', 'SEGV'):
        signum = signal.Signals['SIG' + name]
        with editor_open(scratch, name) as (pane, editor):
            pane.wait_for('the editor on screen', lambda: 'EDITING' in pane.text())
            os.kill(pane.game_pid(), signum)
            pane.restored(f'SIG{name} with the editor open', 128 + signum)
            assert not harness.alive(editor), f'SIG{name}: the editor still runs'


def case_editor_stopped(scratch):
    """An editor that stops itself takes the game with it to the shell; fg brings both back."""
    with editor_open(scratch, 'stopped', stop_once='1') as (pane, editor):
        pane.stopped('with the editor')
        (scratch.dir / 'resume').touch()
        pane.wait_for('the menu back', lambda: pane.screen() == '10' and green_box(pane) == 2)
        assert not harness.alive(editor), 'the editor did not go on to its end'
        pane.press('C-c')
        pane.restored('Ctrl-C after fg', SIGINT_STATUS)


def quit_cleanly(scratch, name, play=lambda pane: None, status=(SIGINT_STATUS,),
                 menu=lambda pane: 'Main Menu' in pane.text(), **start):
    """Starts the game as `start` says, does `play` at the menu, quits with Ctrl-C: the game and
    all it started are gone, and the terminal is the shell's again."""
    with Pane(scratch, name, **start) as pane:
        pane.wait_for('the menu', lambda: menu(pane))
        play(pane)
        game = pane.processes()
        pane.press('C-c')
        pane.restored(f'{name}: Ctrl-C', *status)
        assert not harness.alive(game), f'{name}: the game runs on'
        return pane.text()


def case_redirected(scratch):
    """Output to a file: the menu's text once, then nothing more while nothing changes."""
    def unchanged(pane):
        first = len(pane.file('out'))
        time.sleep(2)  # the menu repaints itself 60 times a second meanwhile
        assert len(pane.file('out')) == first, f'{first} bytes grew to {len(pane.file("out"))}'
    # The heading is written before the picture and after it: then the whole menu is there.
    quit_cleanly(scratch, 'redirected', unchanged, command=['sh', '-c', 'exec "$0" > out', GAME],
                 menu=lambda pane: (pane.file('out') or '').count('Main Menu') > 1)


def case_hostile_files(scratch):
    """A pipe where the tune should be makes the game start silent instead of waiting for a
    writer. (Links and pipes under the help files' names are start-up's own test.)"""
    shutil.copy(GAME, scratch.dir / 'game')  # with no tune beside it, the pipe is all there is
    start = lambda pane: pane.press('Enter', 'the game', lambda: 'Score:' in pane.text())
    quit_cleanly(scratch, 'files', start, env={'SDL_AUDIODRIVER': 'dummy'},
                 setup='mkdir res && mkfifo res/Glyph.wav', command=[str(scratch.dir / 'game')])


def case_no_controlling_terminal(scratch):
    """Under setsid the terminal raises no signals for the game: Ctrl-C still ends it. (setsid -w
    gives a death by a signal as 128 + the signal, or, util-linux 2.38, as its number.)"""
    quit_cleanly(scratch, 'setsid', status=(SIGINT_STATUS, signal.SIGINT),
                 command=['setsid', '-w', GAME])


def case_paste(scratch):
    """A paste that never ends does not take the keys for good, however fast they come."""
    def tap_through(pane):
        pane.tmux('send-keys', '-H', *(f'{byte:02x}' for byte in b'\x1b[200~'))
        deadline = time.monotonic() + 20
        while green_box(pane) in (1, None):  # taps 0.3 s apart
            assert time.monotonic() < deadline, 'the keys stay swallowed'
            pane.press('Down')
            time.sleep(0.3)
    quit_cleanly(scratch, 'paste', tap_through)


def case_no_alternate_screen(scratch):
    """Where the terminal has no alternate screen, the game's picture does not outlive it."""
    for term in ('linux', 'vt100'):
        left = quit_cleanly(scratch, term, setup=f'export TERM={term}')
        assert 'Main Menu' not in left, f'{term}: the menu stays on the screen'


def case_early_stop(scratch):
    """Ctrl-Z in the middle of start-up, right after curses' first change to the terminal's modes
    and after its third: the shell gets the terminal as it was, and fg brings up the game, which
    never applies modes it has not filled in."""
    for stop_at in (1, 3):
        blank = scratch.dir / f'blank-{stop_at}'  # what the shim notes of modes never filled in
        command = ['env', f'LD_PRELOAD={SHIM}', f'GLYPH_STOP_AT={stop_at}',
                   f'GLYPH_BLANK_MODES={blank}', 'ASAN_OPTIONS=verify_asan_link_order=0', GAME]
        with Pane(scratch, f'early-{stop_at}', command=command) as pane:
            pane.stopped(f'at {stop_at}')
            (scratch.dir / 'resume').touch()
            pane.wait_for('the menu', lambda: pane.screen() == '10' and 'Main Menu' in pane.text())
            pane.press('C-c')
            pane.restored(f'Ctrl-C after a stop at {stop_at}', SIGINT_STATUS)
        assert not blank.exists(), f'stopped at {stop_at}: blank modes applied'


CASES = {'size': case_size, 'signals': case_signals, 'background': case_background,
         'menu-to-loss-and-exit': case_menu_to_loss_and_exit,
         'idle-tick-8-colours-centred': case_idle_tick_8_colours,
         'slow-line': case_slow_line, 'terminal-type': case_terminal_type,
         'redirected': case_redirected, 'editor-killed': case_editor_killed,
         'editor-stopped': case_editor_stopped, 'hostile-files': case_hostile_files,
         'no-controlling-terminal': case_no_controlling_terminal, 'paste': case_paste,
         'no-alternate-screen': case_no_alternate_screen, 'early-stop': case_early_stop}

if __name__ == '__main__':
    harness.require('tmux')
    GAME, REFERENCE, case, SHIM = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3], \
        os.path.abspath(sys.argv[4])
    with harness.Scratch(case) as scratch:
        CASES[case](scratch)  # a failed check raises: the traceback says which
