#!/usr/bin/env bash
# Builds everything and runs the whole test suite (offscreen, loopback only).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZB_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" -DZB_WERROR=ON "$@"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
