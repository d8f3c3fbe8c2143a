#!/usr/bin/env python3
"""What the game costs its terminal and the machine, measured on a pseudo-terminal of 100 x 30
with this script playing the terminal (it answers the device attributes query at once, as
terminals do, and nothing else):

  exec to menu      from just before exec to the last byte of the first picture, after which the
                    output stays quiet for half a second; and the CPU time used until then
  menu CPU, wakes   share of a core and wake-ups a second (context switches of all threads) while
                    the menu stands unchanged, over 5 s
  menu memory       resident memory in the menu (before any sound), and its peak
  bytes per tick    the player stands still in the game; bytes sent per tick, between 2 s and
                    12 s of play
  play memory       resident memory and its peak after 12 s of play (the sound playing if there
                    is a sound device)
  ticks/s slow      ticks a second while the terminal reads only 9,600 bytes a second, from
                    Enter to 20 s later

Ticks are read off the screen: the output is replayed into tmux, whose picture shows "Time: N"
(3000 less the ticks played). The game runs with TERM=tmux-256color, so tmux reads its escapes.
Other programs (peers) get the start-up, idle and memory figures: --peer NAME='COMMAND ...'.

  tools/output_cost.py [--game build/default/front/glyph-labyrinth] [--runs 3] [--peer ...]
"""
import argparse
import fcntl
import os
import re
import select
import shlex
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import time
from pathlib import Path

ROWS, COLUMNS = 30, 100
TERM = 'tmux-256color'
DEVICE_ATTRIBUTES = b'\x1b[c'
ANSWER = b'\x1b[?1;2c'
CLOCK_START = 3000


class Run:
    """One program on a fresh pseudo-terminal, with its output and when each piece came."""

    def __init__(self, command, cwd):
        self.master, slave = os.openpty()
        fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack('HHHH', ROWS, COLUMNS, 0, 0))
        env = dict(os.environ, TERM=TERM, LANG='C.UTF-8', LC_ALL='C.UTF-8')
        env.pop('TMUX', None)
        self.out, self.times = bytearray(), []  # times: (seconds since exec, bytes so far)
        self.start = time.monotonic()
        self.process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave, cwd=cwd,
                                        env=env, start_new_session=True,
                                        preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        os.close(slave)

    def pump(self, seconds, rate=None, quiet=None):
        """Reads for `seconds`, at most `rate` bytes a second; with `quiet`, stops early once the
        output has been quiet that long after something came."""
        end = time.monotonic() + seconds
        budget, last = 0.0, time.monotonic()
        while True:
            now = time.monotonic()
            if now >= end: return
            if quiet and self.times and now - self.start - self.times[-1][0] >= quiet: return
            wait = min(end - now, 0.01 if rate else 0.05)
            if not select.select([self.master], [], [], wait)[0]: continue
            if rate:
                budget = min(budget + (now - last) * rate, rate / 10)
                last = now
                if budget < 1:
                    time.sleep(0.01)
                    continue
            try:
                data = os.read(self.master, int(budget) if rate else 65536)
            except OSError:
                return
            if rate: budget -= len(data)
            self.out += data
            self.times.append((time.monotonic() - self.start, len(self.out)))
            if DEVICE_ATTRIBUTES in self.out[-len(data) - 2:]: os.write(self.master, ANSWER)

    def send(self, data):
        os.write(self.master, data)

    def proc(self, name):
        return Path(f'/proc/{self.process.pid}/{name}')

    def memory(self):
        status = self.proc('status').read_text()
        field = lambda key: int(re.search(rf'{key}:\s+(\d+)', status).group(1)) / 1024
        return field('VmRSS'), field('VmHWM')

    def idle(self, seconds):
        """Share of a core and wake-ups a second over `seconds`."""
        def sample():
            ticks, switches = 0, 0
            for task in Path(f'/proc/{self.process.pid}/task').iterdir():
                stat = (task / 'stat').read_text().rsplit(')')[-1].split()
                ticks += int(stat[11]) + int(stat[12])
                status = (task / 'status').read_text()
                switches += sum(int(n) for n in re.findall(r'ctxt_switches:\s+(\d+)', status))
            return ticks, switches, time.monotonic()
        before = sample()
        self.pump(seconds)
        after = sample()
        elapsed = after[2] - before[2]
        return ((after[0] - before[0]) / os.sysconf('SC_CLK_TCK') / elapsed * 100,
                (after[1] - before[1]) / elapsed)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGCONT)
            self.process.kill()
        self.process.wait()
        os.close(self.master)


class Replay:
    """Shows bytes the game wrote in tmux and reads the clock off the picture."""

    def __init__(self, where):
        self.where, self.count = where, 0
        self.socket = str(where / 'replay.tmux')

    def tmux(self, *args):
        return subprocess.run(['tmux', '-S', self.socket, '-f', '/dev/null', *args],
                              capture_output=True, text=True).stdout

    def time_left(self, output):
        self.count += 1
        name = f'replay{self.count}'
        (self.where / name).write_bytes(bytes(output))
        # The pane says when tmux has read all of it; only then does the picture hold still.
        self.tmux('new-session', '-d', '-s', name, '-x', str(COLUMNS), '-y', str(ROWS),
                  '-c', str(self.where), '-e', 'LANG=C.UTF-8',
                  f'cat {name}; tmux wait-for -S {name}; exec sleep 60')
        subprocess.run(['timeout', '60', 'tmux', '-S', self.socket, 'wait-for', name])
        match = re.search(r'Time: (-?\d+)', self.tmux('capture-pane', '-p', '-t', name))
        self.tmux('kill-session', '-t', name)
        return int(match.group(1)) if match else None

    def close(self):
        self.tmux('kill-server')


def start_up(run, stats):
    run.pump(10, quiet=0.5)
    stats.setdefault('exec to menu (ms)', []).append(run.times[-1][0] * 1000)
    # Time on a CPU until then (the program idles now): what the start-up costs, whatever else
    # the machine is doing.
    on_cpu = sum(int((task / 'schedstat').read_text().split()[0])
                 for task in run.proc('task').iterdir())
    stats.setdefault('CPU time to menu (ms)', []).append(on_cpu / 1e6)
    cpu, wakes = run.idle(5)
    stats.setdefault('menu CPU (% of a core)', []).append(cpu)
    stats.setdefault('menu wake-ups a second', []).append(wakes)
    rss, peak = run.memory()
    stats.setdefault('menu memory (MB)', []).append(rss)
    stats.setdefault('menu peak memory (MB)', []).append(peak)


def the_game(game, where, replay, stats):
    run = Run([game], where)
    try:
        start_up(run, stats)
        run.send(b'\r')
        run.pump(2)
        before = len(run.out)
        run.pump(10)
        after = len(run.out)
        rss, peak = run.memory()
        run.process.send_signal(signal.SIGSTOP)
        first, last = replay.time_left(run.out[:before]), replay.time_left(run.out[:after])
        if first is not None and last is not None and first > last:
            stats.setdefault('bytes per idle play tick', []).append((after - before) / (first - last))
        stats.setdefault('play memory after 12 s (MB)', []).append(rss)
        stats.setdefault('play peak memory (MB)', []).append(peak)
    finally:
        run.stop()

    run = Run([game], where)
    try:
        run.pump(20, rate=9600, quiet=0.5)
        run.send(b'\r')
        entered = time.monotonic()
        run.pump(20, rate=9600)
        run.process.send_signal(signal.SIGSTOP)
        played = time.monotonic() - entered
        run.pump(5, quiet=0.5)  # what was still on its way
        left = replay.time_left(run.out)
        if left is not None:
            stats.setdefault('ticks a second at 9,600 B/s', []).append((CLOCK_START - left) / played)
    finally:
        run.stop()


def report(name, stats):
    print(f'\n{name}')
    for what, values in stats.items():
        shown = ', '.join(f'{v:.2f}' if abs(v) < 10 else f'{v:.0f}' for v in values)
        print(f'  {what:32} {shown}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--game', default='build/default/front/glyph-labyrinth')
    parser.add_argument('--runs', type=int, default=3)
    parser.add_argument('--peer', action='append', default=[], metavar='NAME=COMMAND')
    args = parser.parse_args()
    if shutil.which('tmux') is None:
        sys.exit('tmux is needed to read the clock off the replayed picture')
    game = os.path.abspath(args.game)
    with open('/proc/loadavg') as load:
        print('load average at start:', ' '.join(load.read().split()[:3]))
    where = Path(tempfile.mkdtemp(prefix='glyph-output-cost-'))
    shutil.copytree(Path(game).parent / 'res', where / 'res', dirs_exist_ok=True)
    replay = Replay(where)
    try:
        results = {'glyph-labyrinth': {}}
        for name, _ in (peer.split('=', 1) for peer in args.peer): results[name] = {}
        for _ in range(args.runs):  # interleaved, so that a busy moment hits everyone alike
            the_game(game, where, replay, results['glyph-labyrinth'])
            for name, command in (peer.split('=', 1) for peer in args.peer):
                run = Run(shlex.split(command), where)
                try:
                    start_up(run, results[name])
                finally:
                    run.stop()
        for name, stats in results.items(): report(name, stats)
    finally:
        replay.close()
        shutil.rmtree(where, ignore_errors=True)
    with open('/proc/loadavg') as load:
        print('\nload average at end:', ' '.join(load.read().split()[:3]))


if __name__ == '__main__':
    main()
