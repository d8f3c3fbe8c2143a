#!/usr/bin/env python3
"""Plays the Windows build under wine in a console window of its own on an X display and
measures how it feels: held keys, the tick, the menu's response and flicker, and the CPU that the
menu takes. Keys are real X key events (xdotool); what the window shows is read back by
console_probe.exe, which attaches to the game's console; screenshots go to the output folder.

    tools/measure_win32.py [--build build/windows] [--display :95] [--out DIR] [--probe EXE]

Uses the wine prefix in WINEPREFIX (default ~/.wine) and sets its console window to 100 x 30.
Starts Xvfb on the display unless one runs there, and stops what it started. Needs wine, Xvfb,
xdotool and libX11. Timing figures depend on the machine's load: the script prints it.
"""
import argparse
import ctypes
import ctypes.util
import os
import pathlib
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

GAME = "glyph-labyrinth.exe"


def run(*command, **kwargs):
    return subprocess.run(command, check=False, capture_output=True, text=True, **kwargs)


def wall_us():
    return time.time_ns() // 1000


def load():
    return open("/proc/loadavg").read().split()[0]


# ---- X display and screenshots

class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


def screenshot(display, path):
    """Writes the display's root window as a PNG, through libX11 (no image tools needed)."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    handle = x11.XOpenDisplay(display.encode())
    root = x11.XDefaultRootWindow(handle)
    width, height = 820, 520  # the console window of 100 x 30 cells sits at the top left
    image = x11.XGetImage(handle, root, 0, 0, width, height, 0xFFFFFFFF, 2).contents
    rows = []
    for y in range(height):
        line = ctypes.string_at(image.data + y * image.bytes_per_line, width * 4)
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
        rows.append(b"\0" + bytes(rgb))
    x11.XCloseDisplay(handle)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 6)))
        out.write(chunk(b"IEND", b""))


class Display:
    def __init__(self, name):
        self.name = name
        self.server = None
        if not os.path.exists(f"/tmp/.X11-unix/X{name.lstrip(':')}"):
            self.server = subprocess.Popen(["Xvfb", name, "-screen", "0", "1024x640x24",
                                            "-nolisten", "tcp"],
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(1.5)

    def stop(self):
        if self.server:
            self.server.terminate()
            self.server.wait()


# ---- The game under wine

class Game:
    def __init__(self, build, probe, env):
        self.build = build
        self.probe = probe
        self.env = env
        self.window = None
        self.process = None
        self.xdotool = None

    def start(self):
        for value, name in ((0x001E0064, "WindowSize"), (0x001E0064, "ScreenBufferSize")):
            run("wine", "reg", "add", r"HKCU\Console", "/v", name, "/t", "REG_DWORD",
                "/d", hex(value), "/f", env=self.env)
        self.process = subprocess.Popen(["wine", "wineconsole", GAME], cwd=self.build / "front",
                                        env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        found = run("xdotool", "search", "--sync", "--onlyvisible", "--name", "glyph-labyrinth",
                    env=self.env, timeout=120)
        self.window = found.stdout.split()[0]
        run("xdotool", "windowfocus", "--sync", self.window, env=self.env)
        # One xdotool for all keys, reading commands as they come: no process start per key.
        self.xdotool = subprocess.Popen(["xdotool", "-"], stdin=subprocess.PIPE, text=True,
                                        env=self.env)
        time.sleep(3)

    def send(self, command):
        """Gives xdotool one command; returns the wall-clock time just before."""
        sent = wall_us()
        self.xdotool.stdin.write(command + "\n")
        self.xdotool.stdin.flush()
        return sent

    def key(self, name):
        return self.send(f"key {name}")

    def hold(self, name, seconds):
        down = self.send(f"keydown {name}")
        time.sleep(seconds)
        return down, self.send(f"keyup {name}")

    def hold_elsewhere(self, name, seconds):
        """Holds a key with another X window (an xterm) focused, then gives the console window
        the keyboard back with a click, which wine needs to count it active again. Returns the
        times of the hold, or None without xterm."""
        if not shutil.which("xterm"):
            return None
        other = subprocess.Popen(["xterm", "-geometry", "30x5+300+300"], env=self.env,
                                 stderr=subprocess.DEVNULL)
        try:
            found = run("xdotool", "search", "--sync", "--onlyvisible", "--pid",
                        str(other.pid), env=self.env, timeout=30)
            run("xdotool", "windowfocus", "--sync", found.stdout.split()[0], env=self.env)
            down, up = self.hold(name, seconds)
        finally:
            other.terminate()
            other.wait()
        run("xdotool", "mousemove", "--window", self.window, "100", "100", "click", "1",
            env=self.env)
        return down, up + 150_000

    def watch(self, seconds, actions, interval_ms=4):
        """Runs the probe for `seconds` while `actions()` sends keys; returns the probe's
        lines as (time, facts) and what `actions` returned."""
        with tempfile.TemporaryDirectory(prefix="glyph-probe-") as folder:
            out = pathlib.Path(folder) / "probe.txt"
            probe = subprocess.Popen(["wine", str(self.probe), GAME, str(seconds),
                                      str(interval_ms), "Z:" + str(out).replace("/", "\\")],
                                     env=self.env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
            deadline = time.time() + 30
            while (not out.exists() or "start" not in out.read_text()) and time.time() < deadline:
                time.sleep(0.05)
            result = actions()
            probe.wait()
            lines = []
            for line in out.read_text().splitlines():
                stamp, _, rest = line.partition(" ")
                facts = dict(part.split("=", 1) for part in rest.split() if "=" in part)
                lines.append((int(stamp), facts))
            return lines, result

    def stop(self):
        if self.xdotool:
            self.xdotool.stdin.close()
            self.xdotool.wait()
        run("wineserver", "-k", env=self.env)
        if self.process:
            self.process.wait()


def wine_processes(prefix):
    """The Linux processes of this wine prefix: pid and name."""
    found = []
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            environ = (entry / "environ").read_bytes().split(b"\0")
            if f"WINEPREFIX={prefix}".encode() in environ:
                found.append((entry.name, (entry / "comm").read_text().strip()))
        except OSError:
            pass
    return found


def cpu_seconds(pid):
    fields = pathlib.Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def measure_cpu(prefix, seconds):
    """Percent of one core per process group over `seconds`: the game, the console host, the
    wine server, and wine's other services."""
    processes = wine_processes(prefix)
    before = {pid: cpu_seconds(pid) for pid, _ in processes}
    time.sleep(seconds)
    groups = {}
    for pid, name in processes:
        try:
            used = cpu_seconds(pid) - before[pid]
        except OSError:
            continue
        group = ("game" if name.startswith("glyph") else "console host" if name == "conhost.exe"
                 else "wineserver" if name.startswith("wineserver") else "other wine services")
        groups[group] = groups.get(group, 0.0) + 100.0 * used / seconds
    return groups


# ---- The measurements

def changes_of(lines, key):
    """(time, value) whenever the fact `key` takes a new value."""
    result, last = [], None
    for stamp, facts in lines:
        value = facts.get(key)
        if value is not None and value != last:
            result.append((stamp, value))
            last = value
    return result


def menu_response(game):
    def actions():
        sent = []
        for name in ("Down", "Down", "Up", "Up"):
            time.sleep(1.5)
            sent.append((game.key(name), name))
        time.sleep(1.5)
        return sent

    lines, sent = game.watch(8, actions)
    menu = [(stamp, facts["menu"]) for stamp, facts in lines if "menu" in facts]
    # "-": no box is Green, the selected one is drawn White at that moment (a flicker).
    latencies = []
    for sent_at, _ in sent:
        before = [value for stamp, value in menu if stamp < sent_at and value != "-"]
        after = [(stamp, value) for stamp, value in menu
                 if stamp >= sent_at and value not in ("-", before[-1] if before else None)]
        latencies.append((after[0][0] - sent_at) / 1000 if after else None)
    flicker = sum(1 for _, value in menu if len(value) != 1 or value == "-")
    return latencies, flicker, len(menu)


def play(game):
    def actions():
        time.sleep(1)
        right = game.hold("Right", 1.0)
        time.sleep(1)
        left = game.hold("Left", 1.0)
        time.sleep(1)
        taps = []
        for _ in range(3):
            taps.append(game.key("Right"))
            time.sleep(0.6)
        elsewhere = game.hold_elsewhere("Right", 1.0)
        time.sleep(0.5)
        return right, left, taps, elsewhere

    lines, (right, left, taps, elsewhere) = game.watch(14, actions)
    ticks = changes_of(lines, "time")
    intervals = [(b[0] - a[0]) / 1000 for a, b in zip(ticks, ticks[1:])]
    steps = [(stamp, int(value)) for stamp, value in changes_of(lines, "steps")]

    def steps_at(moment):
        count = steps[0][1]
        for stamp, value in steps:
            if stamp <= moment:
                count = value
        return count

    def moved(start, end):
        return [stamp for stamp, _ in steps if start <= stamp <= end]

    # A hold counts the moves from the press to one tick after the release.
    held = {}
    for name, (down, up) in (("Right", right), ("Left", left)):
        moves = moved(down, up + 150_000)
        span = (moves[-1] - moves[0]) / 1e6 if len(moves) > 1 else 0
        held[name] = (len(moves), span, (len(moves) - 1) / span if span else 0)
    tap_moves = [steps_at(t + 400_000) - steps_at(t) for t in taps]
    if elsewhere:
        held["Right, typed into another window"] = (len(moved(*elsewhere)), 0, 0)
    return intervals, held, tap_moves


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build/windows", type=pathlib.Path)
    parser.add_argument("--display", default=":95")
    parser.add_argument("--out", default="build/measure-win32", type=pathlib.Path)
    parser.add_argument("--probe", type=pathlib.Path,
                        help="console_probe.exe (default: the one in the build's tools folder)")
    parser.add_argument("--cpu-seconds", default=10, type=int)
    args = parser.parse_args()

    build = args.build.resolve()
    probe = (args.probe or build / "tools" / "console_probe.exe").resolve()
    args.out.mkdir(parents=True, exist_ok=True)
    prefix = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine"))
    env = dict(os.environ, DISPLAY=args.display, WINEDEBUG="-all", WINEPREFIX=prefix)

    display = Display(args.display)
    game = Game(build, probe, env)
    try:
        game.start()
        print(f"load before: {load()}")
        screenshot(args.display, args.out / "menu.png")

        for round_ in range(3):
            groups = measure_cpu(prefix, args.cpu_seconds)
            ours = sum(groups.get(g, 0) for g in ("game", "console host", "wineserver"))
            detail = ", ".join(f"{k} {v:.1f}%" for k, v in sorted(groups.items()))
            print(f"menu CPU, {args.cpu_seconds} s: game + console host + wineserver "
                  f"{ours:.1f}% ({detail}); load {load()}")

        latencies, flicker, samples = menu_response(game)
        print("menu: key to picture " +
              ", ".join("not shown" if ms is None else f"{ms:.0f} ms" for ms in latencies) +
              f"; {flicker} of {samples} pictures seen with the selected box not Green")
        screenshot(args.display, args.out / "menu-after-keys.png")

        game.key("Return")
        time.sleep(1.5)
        intervals, held, tap_moves = play(game)
        screenshot(args.display, args.out / "game.png")
        if intervals:
            print(f"tick: median {statistics.median(intervals):.1f} ms, mean "
                  f"{statistics.mean(intervals):.1f} ms, max {max(intervals):.1f} ms "
                  f"over {len(intervals)} ticks; load {load()}")
        for name, (cells, span, rate) in held.items():
            detail = (f" ({rate:.1f} per second while moving, first to last move {span:.2f} s)"
                      if span else "")
            print(f"1 s hold of {name}: {cells} cells{detail}")
        print(f"taps of Right: moved {tap_moves}")
        print(f"screenshots in {args.out}")
    finally:
        game.stop()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
