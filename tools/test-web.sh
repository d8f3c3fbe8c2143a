#!/usr/bin/env bash
# Builds the browser page (the web preset, through emcmake) and plays it in headless Chromium.
# Where emscripten, Node.js or npm is missing it says so and ends without failing, so that
# ./test.sh runs the whole suite that applies on any machine; the browser tests themselves skip
# where Chromium is missing. `tools/install-deps.sh web` installs all of it. With
# GLYPH_REQUIRE_WEB=1 (CI) anything missing is a failure instead.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
for tool in emcmake node npm; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "The browser page is not built or tested: ${missing[*]} missing (tools/install-deps.sh web)."
    [ "${GLYPH_REQUIRE_WEB:-0}" = 1 ] && exit 1
    exit 0
fi

emcmake cmake --preset web >/dev/null
cmake --build --preset web --parallel "$(nproc)"
ctest --preset web
