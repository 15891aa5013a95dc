#!/usr/bin/env bash
# Installs what building and testing need, from Debian's packages. Does
# nothing when everything is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ python3 libgtest-dev googletest
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
    dpkg-dev file zip unzip strace
    # the Linux build's music (loaded at run time) and a General MIDI sound
    # font, so the tests can render the tune
    libfluidsynth3 timgm6mb-soundfont
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}" >&2
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi
