#!/usr/bin/env bash
# Installs what is missing, builds the game and starts it in this terminal.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh play
cmake --preset default -DGLYPH_BUILD_TESTS=OFF >/dev/null
cmake --build --preset default --parallel "$(nproc)" >/dev/null
# The game writes its help files into, and finds res/Glyph.wav below, the directory it runs in.
exec build/default/front/glyph-labyrinth
