#!/usr/bin/env bash
# Configures and builds into build/ (or $ZB_BUILD_DIR). Extra arguments go to CMake.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZB_BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja "$@" >/dev/null
cmake --build "$build" -j2
