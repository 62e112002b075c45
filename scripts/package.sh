#!/usr/bin/env bash
# Builds the Debian package `zembrill` from the plain build folder (build/, or
# $ZB_BUILD_DIR) without compiling again, checks it with lintian and the menu
# entry and AppStream validators, unpacks it into a temporary root and
# smoke-runs the programs from there. The package lands in build/package/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZB_BUILD_DIR:-$root/build}
out=$build/package

# Tools only packaging and its checks need.
"$root/scripts/deps.sh" dpkg-dev file lintian desktop-file-utils appstream

[ -f "$build/CMakeCache.txt" ] || { echo "package: build first (./scripts/build.sh)" >&2; exit 1; }
# The package installs under /usr, and its units and /etc files name that prefix.
if ! grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr' "$build/CMakeCache.txt"; then
  cmake -S "$root" -B "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
fi
# Nothing to compile after the test build; this only makes sure of it.
cmake --build "$build" -j2

rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" || {
  cat "$out/cpack.log" >&2
  exit 1
}
deb=$(ls "$out"/zembrill_*.deb)
echo "== $deb"
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"

echo "== lintian"
# Errors fail the build; warnings are shown.
lintian --fail-on error "$deb"
echo "lintian: no errors"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unpacked=$work/root
dpkg-deb -x "$deb" "$unpacked"

echo "== contents"
expect=(usr/games/zembrill usr/games/zbserver usr/games/zbserverd usr/games/zblobby usr/share/zembrill/default.dat
  usr/share/applications/org.zembrill.Zembrill.desktop
  usr/share/applications/org.zembrill.Zembrill.Server.desktop
  usr/share/metainfo/org.zembrill.Zembrill.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/zembrill.svg
  usr/lib/systemd/system/zblobby.service etc/default/zblobby
  usr/lib/systemd/system/zbserverd.service etc/default/zbserverd usr/share/man/man6/zbserverd.6.gz
  usr/lib/systemd/system/zbserverd@.service etc/zembrill/rooms/PORT.conf.example
  usr/share/man/man6/zembrill.6.gz usr/share/man/man6/zbserver.6.gz usr/share/man/man6/zblobby.6.gz
  usr/share/doc/zembrill/copyright usr/share/doc/zembrill/changelog.gz)
for f in "${expect[@]}"; do
  [ -e "$unpacked/$f" ] || { echo "package: $f is missing" >&2; exit 1; }
done
echo "all expected files present"

echo "== desktop-file-validate"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
echo "desktop entries valid"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml

echo "== systemd-analyze verify"
if command -v systemd-analyze >/dev/null; then
  # The units as they are, but starting the unpacked programs, which verify looks for.
  units=$work/units
  mkdir "$units"
  for unit in "$unpacked"/usr/lib/systemd/system/*.service; do
    sed "s|^ExecStart=/|ExecStart=$unpacked/|" "$unit" >"$units/$(basename "$unit")"
  done
  report=$(cd "$units" && systemd-analyze verify --man=no ./*.service 2>&1)
  [ -z "$report" ] || { echo "$report" >&2; exit 1; }
  echo "units valid"
else
  echo "systemd-analyze not installed: units not verified"
fi

echo "== smoke run of the unpacked programs"
version=$(dpkg-deb -f "$deb" Version)
"$root/scripts/smoke-installed.sh" "$unpacked" "$build/bin/tst_installed" "$version"
