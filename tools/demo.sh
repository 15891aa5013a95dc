#!/usr/bin/env bash
# Builds the native installer and runs it, interactively, in a fresh copy of
# the sample game folder (build/demo/Varnholt). Pass "windows" to run the
# Windows build under Wine instead.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-native}"

tools/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

game="build/demo/Varnholt"
rm -rf "$game"
mkdir -p build/demo
cp -r "build/$preset/demo-game" "$game"
if [ "$preset" = windows ]; then
    cp build/windows/VarnholtZhInstaller.exe "$game/"
    cd "$game"
    export WINEPREFIX="$PWD/../wineprefix" WINEDEBUG=-all
    exec wine VarnholtZhInstaller.exe
else
    cp build/native/varnholt-zh-installer "$game/"
    cd "$game"
    exec ./varnholt-zh-installer
fi
