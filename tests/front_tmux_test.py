#!/usr/bin/env python3
"""The whole program in a real terminal (tmux), driven by keys and read from the pane.

First run: the menu, the highlight moving, "Assistance" opened in the editor (a script that notes
its argument), the menu redrawn, the game started and the player walked into a walker's row until
caught. Second run: "Exit", which ends with status 0 and leaves the terminal as it was.
Usage: front_tmux_test.py PATH_TO_GAME
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

GAME = os.path.abspath(sys.argv[1])
SOCKET = f"glyph-front-{os.getpid()}"
PATIENCE_S = 60  # only so that a hung program fails the test instead of blocking the suite


def tmux(*args):
    return subprocess.run(["tmux", "-u", "-L", SOCKET, "-f", "/dev/null", *args],
                          check=True, capture_output=True, text=True).stdout


def fail(message):
    try:
        shown = screen()
    except subprocess.CalledProcessError:
        shown = "(the pane is gone)"
    print(f"FAIL: {message}\n--- screen:\n{shown}", file=sys.stderr)
    sys.exit(1)


def screen():
    return tmux("capture-pane", "-p", "-t", "game")


def wait_for(what, predicate):
    deadline = time.monotonic() + PATIENCE_S
    while time.monotonic() < deadline:
        if predicate():
            return
        time.sleep(0.1)
    fail(f"no {what}")


def green_box():
    """Index of the menu box (0 the heading) whose top-left corner shows in green, or None."""
    lines = tmux("capture-pane", "-p", "-e", "-t", "game").split("\n")
    for box in range(5):
        line = lines[6 * box]
        # The pane's escapes before the first visible character set that corner's colour.
        prefix = re.match(r"((?:\x1b\[[0-9;:]*m)*)╔", line)
        if prefix and re.search(r"\x1b\[(?:[0-9;]*;)?32(?:;[0-9;]*)?m", prefix.group(1)):
            return box
    return None


def start(directory, editor_log):
    editor = os.path.join(directory, "editor.sh")
    with open(editor, "w") as script:
        script.write(f'#!/bin/sh\necho "$1 $(test -f "$1" && echo present)" >> {editor_log}\n')
    os.chmod(editor, 0o755)
    env = f"env -u VISUAL EDITOR={editor} LANG=C.UTF-8 LC_ALL=C.UTF-8 SDL_AUDIODRIVER=dummy"
    # The shell around the game reports its status and whether the terminal modes came back.
    command = (f'before=$(stty -g); {env} {shlex.quote(GAME)}; status=$?; '
               f'[ "$(stty -g)" = "$before" ] && t=restored || t=changed; '
               f'echo "ended status=$status terminal=$t"; sleep 600')
    tmux("new-session", "-d", "-s", "game", "-x", "100", "-y", "30", "-c", directory,
         "sh", "-c", command)
    wait_for("menu", lambda: "Main Menu" in screen() and "Start game" in screen())
    wait_for("highlight on Start game", lambda: green_box() == 1)


def press(key, until, what):
    tmux("send-keys", "-t", "game", key)
    wait_for(what, until)


def player():
    """(column, row) of the player's square in the start area and the walkers' rows below it,
    where no other square is drawn; None elsewhere."""
    for row, line in enumerate(screen().split("\n")[:8]):
        column = line[:13].find("■")
        if column >= 0:
            return column, row
    return None


def first_run(directory):
    log = os.path.join(directory, "editor.log")
    start(directory, log)
    for name in ("Assistance.txt", "Information.txt"):
        if not os.path.isfile(os.path.join(directory, name)):
            fail(f"{name} not written at start")

    press("Down", lambda: green_box() == 2, "highlight on Assistance")
    press("Enter", lambda: os.path.exists(log), "editor run")
    wait_for("menu redrawn", lambda: "Main Menu" in screen() and green_box() == 2)
    time.sleep(0.5)  # a second editor run, if the Enter were taken twice, would show by now
    with open(log) as notes:
        if notes.read() != "Assistance.txt present\n":
            fail("the editor was not run once on Assistance.txt")

    press("Up", lambda: green_box() == 1, "highlight back on Start game")
    press("Enter", lambda: player() == (4, 2), "game with the player at (4,2)")
    # The player never meets a walker where it starts: step right to the gap in the wall below,
    # then down into the row where a walker patrols, and stand there until it comes.
    while "Score:" in screen():
        position = player()
        if position is None or position[1] >= 5:
            time.sleep(0.1)
            continue
        key = "Right" if position[0] < 10 else "Down"
        tmux("send-keys", "-t", "game", key)
        wait_for("the player to move", lambda: player() != position or "Score:" not in screen())
    wait_for("loss screen", lambda: "▒" in screen().split("\n")[1] and "Score:" not in screen())
    tmux("kill-session", "-t", "game")


def second_run(directory):
    for name in ("Assistance.txt", "Information.txt"):
        os.remove(os.path.join(directory, name))
    start(directory, os.path.join(directory, "editor.log"))
    for box in (2, 3, 4):
        press("Down", lambda: green_box() == box, f"highlight on box {box}")
    press("Enter", lambda: "ended status=" in screen(), "end of the program")
    if "ended status=0 terminal=restored" not in screen():
        fail("Exit did not end with status 0 and the terminal restored")
    if tmux("display-message", "-p", "-t", "game", "#{alternate_on} #{cursor_flag}").strip() != "0 1":
        fail("the alternate screen is still on or the cursor hidden")
    for name in ("Assistance.txt", "Information.txt"):
        if not os.path.isfile(os.path.join(directory, name)):
            fail(f"{name} not written again by the second run")


def main():
    directory = tempfile.mkdtemp(prefix="glyph-front-")
    try:
        first_run(directory)
        second_run(directory)
    finally:
        subprocess.run(["tmux", "-L", SOCKET, "kill-server"], capture_output=True)
        shutil.rmtree(directory, ignore_errors=True)
    print("ok")


if __name__ == "__main__":
    main()
