#!/usr/bin/env bash
# Installs what is missing, builds the game with its tests and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test
cmake --preset default -DGLYPH_BUILD_TESTS=ON
cmake --build --preset default --parallel "$(nproc)"
ctest --preset default --parallel "$(nproc)"
