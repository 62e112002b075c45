#!/usr/bin/env bash
# Builds everything and runs the whole test suite (offscreen, loopback only).
# The browser tests run too (a headless chromium, installed with the rest);
# ZB_WITH_BROWSER=0 leaves them out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZB_BUILD_DIR:-$root/build}
export ZB_WITH_BROWSER=${ZB_WITH_BROWSER:-1}
browser=OFF
[ "$ZB_WITH_BROWSER" = 1 ] && browser=ON
"$root/scripts/build.sh" -DZB_WERROR=ON -DZB_BROWSER_TESTS=$browser "$@"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
