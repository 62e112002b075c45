#!/usr/bin/env bash
# Builds and starts a whole local game: the lobby (zblobby), a game server
# registered with it (zbserver, console window, started at once) and a player's
# window (zembrill) with the lobby window open. Closing the player's window
# ends all three.
#   --headless   only the lobby and a headless game server in the foreground:
#                its log on standard output, the operator's commands (kick N,
#                ban N, say TEXT) typed into this terminal; Ctrl+C ends both
# Further arguments go to zbserver (e.g. --room-name 部屋 --players 4).
# ZB_SKIP_BUILD=1 runs what is already built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZB_BUILD_DIR:-$root/build}
[ "${ZB_SKIP_BUILD:-0}" = 1 ] || ZB_WITH_XVFB=0 "$root/scripts/build.sh"
bin=$build/bin
lobby_port=${ZB_LOBBY_PORT:-29999}
lobby="localhost:$lobby_port"

headless=0
args=()
for a in "$@"; do
  if [ "$a" = --headless ]; then headless=1; else args+=("$a"); fi
done

pids=()
cleanup() { [ ${#pids[@]} -eq 0 ] || kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 130' INT TERM

"$bin/zblobby" --port "$lobby_port" &
pids+=($!)
# The game server registers at once, so give the lobby a moment to listen.
for _ in $(seq 50); do
  (exec 3<>"/dev/tcp/127.0.0.1/$lobby_port") 2>/dev/null && break
  sleep 0.1
done

if [ "$headless" = 1 ]; then
  # In the foreground: a background job would read nothing but /dev/null.
  "$bin/zbserver" --headless --lobby "$lobby" "${args[@]}"
else
  "$bin/zbserver" --start --lobby "$lobby" "${args[@]}" &
  pids+=($!)
  "$bin/zembrill" --lobby "$lobby" --open-lobby
fi
