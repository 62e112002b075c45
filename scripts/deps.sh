#!/usr/bin/env bash
# Installs what building, testing and running need, when it is missing (Debian 12, as root or with sudo).
# Further packages a script needs besides (packaging tools, clang-format) come as arguments.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-multimedia-dev libqt6multimedia6 fonts-noto-cjk
          qt6-translations-l10n libminiupnpc-dev libnatpmp-dev qt6-websockets-dev iproute2)
if [ "${ZB_WITH_XVFB:-0}" = 1 ]; then packages+=(xvfb xauth); fi
# The browser tests (built under the same switch): a real browser, headless and offline.
if [ "${ZB_WITH_BROWSER:-0}" = 1 ]; then packages+=(chromium chromium-driver python3-selenium); fi
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
