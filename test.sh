#!/usr/bin/env bash
# Installs what is missing, builds the game with its tests and runs the whole test suite, then
# builds the browser page and plays it in headless Chromium where those tools are installed
# (GLYPH_SKIP_WEB=1 leaves that out).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test
cmake --preset default -DGLYPH_BUILD_TESTS=ON
cmake --build --preset default --parallel "$(nproc)"
ctest --preset default --parallel "$(nproc)"
[ "${GLYPH_SKIP_WEB:-0}" = 1 ] || tools/test-web.sh
