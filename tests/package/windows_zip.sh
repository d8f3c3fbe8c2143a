#!/usr/bin/env bash
# The Windows zip: exactly the program, its tune and a README in one folder; unpacked somewhere
# and started under wine from another folder, the program finds the tune beside itself.
#   tests/package/windows_zip.sh build/windows/glyph-labyrinth-*-win64.zip   (WINE: which wine)
set -euo pipefail
zip=$(realpath "$1")
wine=${WINE:-wine}
export WINEDEBUG=-all
top=$(basename "$zip" .zip)

expected=$(printf '%s\n' "$top/README.txt" "$top/glyph-labyrinth.exe" "$top/res/" "$top/res/Glyph.wav")
listed=$(cmake -E tar tf "$zip" | sort)
[ "$listed" = "$expected" ] || { printf 'the zip holds:\n%s\nnot:\n%s\n' "$listed" "$expected" >&2; exit 1; }

work=$(mktemp -d /tmp/glyph-zip.XXXXXX)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
# Notepad of any age shows the README's lines apart.
[ "$(grep -c $'\r$' "$work/$top/README.txt")" -eq "$(wc -l < "$work/$top/README.txt")" ]

mkdir "$work/elsewhere"
cd "$work/elsewhere"
tune=$("$wine" winepath -w "$work/$top/res/Glyph.wav" 2>/dev/null | tr -d '\r')
answer=$("$wine" "../$top/glyph-labyrinth.exe" --help 2>/dev/null | tr -d '\r')
grep -qxF "Background tune: $tune" <<<"$answer" \
    || { printf 'expected the tune at %s; --help says:\n%s\n' "$tune" "$answer" >&2; exit 1; }
[ -z "$(ls -A)" ]  # answering --help wrote nothing
echo "unpacked in $work and started from elsewhere, the program finds $tune"
