"""What the tests that run the built program share: a scratch folder, waits with a deadline only a
broken game comes near, the shell that runs the game as an interactive one does and notes its
terminal modes and exit status, pseudo-terminals, a relay between two terminals, the processes
under a shell, and exit status 77, saying what is missing, where a tool is not installed.

As a program: harness.py relay RATE PROGRAM [ARGS...] runs PROGRAM on a pseudo-terminal of its own,
the size of this one, whose output reaches this terminal at no more than RATE bytes a second
(while a file "stall" exists in the working folder, the line takes nothing, as after XOFF); keys
go the other way unchanged.
"""
import contextlib
import fcntl
import importlib.util
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import time
import tty
from pathlib import Path

# The game in a process group of its own, as from an interactive shell, GLYPH_RUNS times (once
# unless set). Around each run: the terminal's modes before and after it ("stty-before",
# "stty-after"), its exit status (a line of "status"), and, with GLYPH_LEFTOVERS set, whatever the
# terminal sent after it ended ("leftover-N": it would reach the prompt). When the game stops
# (Ctrl-Z): the modes then ("stty-stopped"); the file "resume" brings it back with fg,
# "background" first sends it on with bg. The file "go-N" starts run N+1. A case's own set-up line
# runs first; the shell stays at the end, its screen to be read.
RUN_SH = '''trap : INT TERM HUP QUIT
set -m
echo $$ > shell.pid
%s
runs=${GLYPH_RUNS:-1}
for run in $(seq $runs); do
    stty -g > stty-before
    "$@"; status=$?
    while [ $status -eq 148 ]; do
        stty -g > stty-stopped
        until [ -e resume ] || [ -e background ]; do sleep 0.02; done
        if [ -e background ]; then
            rm background; bg > /dev/null
            until [ -e resume ]; do sleep 0.02; done
        fi
        rm resume; fg > /dev/null; status=$?
    done
    stty -g > stty-after
    if [ "$GLYPH_LEFTOVERS" ]; then
        stty -icanon -echo min 0 time 3; dd bs=1 of=leftover-$run 2>/dev/null
        stty $(cat stty-after)
    fi
    echo $status >> status
    until [ $run -eq $runs ] || [ -e go-$run ]; do sleep 0.02; done
done
trap - HUP; exec sleep 600
'''


class Scratch(contextlib.AbstractContextManager):
    """A folder of the case's own, removed at the end unless GLYPH_KEEP_SCRATCH is set."""

    def __init__(self, name):
        self.dir = Path(tempfile.mkdtemp(prefix=f'glyph-{name}-'))

    def __exit__(self, *error):
        if os.environ.get('GLYPH_KEEP_SCRATCH'): print('scratch:', self.dir)
        else: shutil.rmtree(self.dir, ignore_errors=True)

    def file(self, name):
        path = self.dir / name
        return path.read_text(errors='replace') if path.exists() else None

    def run_sh(self, setup=''):
        """Writes the game's shell and clears what an earlier run left; its command line."""
        for name in ('stty-before', 'stty-after', 'stty-stopped', 'status'):
            (self.dir / name).unlink(missing_ok=True)
        (self.dir / 'run.sh').write_text(RUN_SH % setup)
        return ['sh', str(self.dir / 'run.sh')]


def wait_for(what, predicate, timeout=60, report=lambda: ''):
    deadline = time.monotonic() + timeout
    while not predicate():
        if time.monotonic() > deadline:
            raise AssertionError(f'timed out waiting for {what}; {report()}')
        time.sleep(0.02)


def require(*tools, modules=()):
    """Ends the test with status 77 unless the tools and Python modules are there. A module this
    Python lacks may be in the system's, where Debian installs python3-<module>: then run there."""
    absent = [module for module in modules if importlib.util.find_spec(module) is None]
    system = '/usr/bin/python3'
    if absent and sys.executable != system and os.path.exists(system) and subprocess.run(
            [system, '-c', 'import ' + ','.join(absent)], capture_output=True).returncode == 0:
        os.execv(system, [system, *sys.argv])
    missing = [tool for tool in tools if not shutil.which(tool)] + ['python3-' + m for m in absent]
    if missing:
        print('skipped: not installed: ' + ', '.join(missing))
        sys.exit(77)


def pty_pair(size=struct.pack('HHHH', 30, 100, 0, 0)):
    """A new pseudo-terminal of `size` (a winsize): its master side and its terminal."""
    master, slave = os.openpty()
    fcntl.ioctl(slave, termios.TIOCSWINSZ, size)
    return master, slave


def start_on(slave, command, **popen):
    """The command on the terminal `slave`, as its controlling terminal, in a session of its own."""
    return subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave,
                            start_new_session=True,
                            preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0), **popen)


def relay(command, rate=0, seen=lambda data: None, hold=lambda: False, **popen):
    """Runs the command on a pseudo-terminal the size of this one and passes bytes both ways until
    it ends: its output at no more than `rate` bytes a second (0: at once; then "stall" stops the
    line), each piece also to `seen`; the keys held back while `hold()`. Returns its exit status."""
    master, slave = pty_pair(fcntl.ioctl(0, termios.TIOCGWINSZ, b'\0' * 8))
    program = start_on(slave, command, **popen)
    modes = termios.tcgetattr(0)
    tty.setraw(0)
    stalled, budget, last, keys = False, 0.0, time.monotonic(), b''
    try:
        while program.poll() is None:
            if rate and os.path.exists('stall') != stalled:
                stalled = not stalled
                termios.tcflow(slave, termios.TCOOFF if stalled else termios.TCOON)
            ready = select.select([0] + ([] if stalled else [master]), [], [], 0.01)[0]
            if 0 in ready: keys += os.read(0, 1024)
            if keys and not hold():
                os.write(master, keys)
                keys = b''
            now = time.monotonic()
            budget, last = min(budget + (now - last) * rate, rate / 50), now
            if master in ready and (budget >= 1 or not rate):
                try:
                    data = os.read(master, int(budget) if rate else 65536)
                except OSError:
                    break
                budget -= len(data)
                os.write(1, data)
                seen(data)
    finally:
        termios.tcsetattr(0, termios.TCSADRAIN, modes)
        if program.poll() is None: program.kill()
    return program.wait()


def state(pid):
    """R, S, T (stopped), Z (ended, not yet reaped) or None (gone)."""
    with contextlib.suppress(OSError):
        return Path(f'/proc/{pid}/stat').read_text().rsplit(') ', 1)[1][0]


def alive(pids):
    return [pid for pid in pids if state(pid) not in (None, 'Z')]


def processes(shell):
    """The processes under a shell: its children and theirs, also in other sessions (setsid)."""
    stats = {}
    for path in Path('/proc').glob('[0-9]*/stat'):
        with contextlib.suppress(OSError):  # state, parent, group, session, ...
            fields = path.read_text().rsplit(') ', 1)[1].split()
            stats[int(path.parent.name)] = [int(field) for field in fields[1:4]]
    found = {pid for pid, (parent, group, session) in stats.items() if shell in (parent, session)}
    for _ in range(3):  # the game under setsid, what it started, and what that started
        found |= {pid for pid, (parent, *_) in stats.items() if parent in found}
    return sorted(found - {shell})


def game_pid(shell):
    return int(Path(f'/proc/{shell}/task/{shell}/children').read_text().split()[0])


if __name__ == '__main__' and sys.argv[1] == 'relay':
    sys.exit(relay(sys.argv[3:], rate=int(sys.argv[2])))
