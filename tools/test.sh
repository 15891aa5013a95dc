#!/usr/bin/env bash
# Builds both builds from scratch-or-cache and runs every test of each.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
for preset in native windows; do
    echo "== $preset: configure and build" >&2
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
status=0
for preset in native windows; do
    echo "== $preset: tests" >&2
    ctest --preset "$preset" || status=1
done
exit $status
