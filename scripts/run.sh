#!/usr/bin/env bash
# Builds and starts the game server with its console window.
# --headless runs it without a window (log on standard output).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZB_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
exec "$build/bin/zbserver" "$@"
