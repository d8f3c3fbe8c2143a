#!/usr/bin/env bash
# Installs the Debian packages that a group of tasks needs, only those that are missing.
#   tools/install-deps.sh play     build and run the game
#   tools/install-deps.sh test     also build and run the test suite and benchmarks
#   tools/install-deps.sh web      build the browser page and test it in headless Chromium
#   tools/install-deps.sh ci       all of the above, and fuzz with clang, cross-build for Windows
#                                  under wine, build, lint and install the Debian package, and
#                                  play in real terminals on a virtual X display
set -euo pipefail

play=(g++ cmake make pkg-config libncurses-dev libsdl2-mixer-dev)
test=("${play[@]}" libgtest-dev libgmock-dev googletest libbenchmark-dev tmux python3 locales)
web=(cmake make emscripten chromium nodejs)
ci=("${test[@]}" clang libclang-rt-14-dev mingw-w64 wine wine64)
ci+=(dpkg-dev file lintian desktop-file-utils)  # cpack's .deb and the checks of it
ci+=(emscripten chromium nodejs)                # the browser page
ci+=(xvfb x11-xserver-utils xdotool xterm kitty libgl1-mesa-dri fonts-dejavu-core python3-pyte)

case "${1:-play}" in
    play) wanted=("${play[@]}") ;;
    test) wanted=("${test[@]}") ;;
    web) wanted=("${web[@]}") ;;
    ci) wanted=("${ci[@]}") ;;
    *) echo "usage: $0 play|test|web|ci" >&2; exit 2 ;;
esac
# npm comes inside some builds of nodejs, and as a package of its own beside Debian's.
if [[ " ${wanted[*]} " == *" nodejs "* ]] && ! command -v npm >/dev/null; then
    wanted+=(npm)
fi

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null; then
    echo "Missing packages: ${missing[*]}. Install them with your system's package manager." >&2
    exit 1
fi
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
