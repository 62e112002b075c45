#!/usr/bin/env bash
# Runs the programs of an installed tree (a staged install or the unpacked
# package): each prints its version, then tst_installed plays a whole game of
# three raw clients against the tree's room server.
#   smoke-installed.sh ROOT TST_INSTALLED [VERSION]
set -euo pipefail
root=$(cd "$1" && pwd)
test_binary=$2
version=${3:-}
bin=$root/usr/games

# The room server under test is the dedicated one.
room_server=$bin/zbserverd
[ -x "$room_server" ] || { echo "smoke: no zbserverd in $bin" >&2; exit 1; }

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
found=0
for program in zembrill zbserver zbserverd zblobby; do
  [ -e "$bin/$program" ] || continue
  found=$((found + 1))
  # No display: printing the version must not need one.
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="$home" "$bin/$program" --version)
  echo "smoke: $program --version: $out"
  if [ -n "$version" ] && [[ "$out" != *"$version"* ]]; then
    echo "smoke: $program does not print version $version" >&2
    exit 1
  fi
done
[ "$found" -gt 0 ] || { echo "smoke: no programs in $bin" >&2; exit 1; }

# Never ask the real router of the machine to open a port.
ZB_NO_ROUTER_SEARCH=1 ZB_INSTALL_ROOT=$root ZB_ROOM_SERVER=$room_server QT_QPA_PLATFORM=offscreen "$test_binary"
