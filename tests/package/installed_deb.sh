#!/usr/bin/env bash
# The Debian package as a player gets it, on a Debian machine as root (CI): lintian's verdict,
# then installed with apt, started from a folder of its own in a real terminal (tmux), played
# until it opens its tune from the installed data folder, and removed again.
#   tests/package/installed_deb.sh build/package/glyph-labyrinth_*.deb
set -euo pipefail
deb=$(realpath "$1")
program=/usr/games/glyph-labyrinth
tune=/usr/share/games/glyph-labyrinth/Glyph.wav

echo "-- lintian (errors fail; warnings and notes listed)"
status=0
findings=$(lintian --fail-on error --display-info --pedantic "$deb" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$findings" || true
[ "$status" -eq 0 ] || { echo "lintian reports errors" >&2; exit 1; }

echo "-- apt-get install ./$(basename "$deb")"
apt-get install -y -qq "$deb" >/dev/null
trap 'apt-get purge -y -qq glyph-labyrinth >/dev/null 2>&1 || true' EXIT

work=$(mktemp -d /tmp/glyph-installed.XXXXXX)  # the player's folder: no res/ in it
socket="$work/tmux"
cd "$work"
"$program" --help | grep -qxF "Background tune: $tune" \
    || { echo "--help does not name $tune:" >&2; "$program" --help >&2; exit 1; }
[ "$("$program" --version)" = "glyph-labyrinth $(dpkg-deb -f "$deb" Version)" ]

# SDL's dummy driver plays in real time on a machine without sound hardware. The shell execs
# the game, so the pane's process is the game's.
echo "set -g default-terminal tmux-256color" > "$work/tmux.conf"
tmux -S "$socket" -f "$work/tmux.conf" new-session -d -x 100 -y 30 -c "$work" \
    -e LANG=C.UTF-8 -e SDL_AUDIODRIVER=dummy "exec $program"
trap 'tmux -S "$socket" kill-server 2>/dev/null || true; cd /; rm -rf "$work";
      apt-get purge -y -qq glyph-labyrinth >/dev/null 2>&1 || true' EXIT
screen() { tmux -S "$socket" capture-pane -p; }
wait_for() {  # what, then a command that succeeds once it is there
    local what=$1; shift
    for _ in $(seq 300); do "$@" && return 0; sleep 0.1; done
    echo "no $what after 30 s; the screen:" >&2; screen >&2; exit 1
}
shows() { screen | grep -qF "$1"; }
wait_for "menu" shows "Start game"
tmux -S "$socket" send-keys Enter
wait_for "game" shows "Score:"
pid=$(tmux -S "$socket" list-panes -F '#{pane_pid}')
# The tune streams from its file for as long as it is loaded.
opened() { ls -l "/proc/$pid/fd" 2>/dev/null | grep -qF -- "-> $tune"; }
wait_for "open $tune in the game" opened
echo "the game, started from $work, plays $tune"
[ -s Assistance.txt ] && [ -s Information.txt ]
tmux -S "$socket" send-keys C-c

echo "-- apt-get purge glyph-labyrinth"
apt-get purge -y -qq glyph-labyrinth >/dev/null
[ ! -e "$program" ] && [ ! -e "$tune" ]
echo "installed, played and removed"
