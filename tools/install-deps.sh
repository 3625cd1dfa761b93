#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Tarnwick need.
# Skips what is installed; when not root, prints the command to run instead.
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libx11-dev libsodium-dev fonts-dejavu-core
  xvfb trayer openbox xdotool x11-utils imagemagick
  libisal-dev libbrotli-dev zlib1g-dev
  curl apache2-utils goaccess python3
  clang libclang-rt-14-dev
  chromium nginx-light openssl
  libglib2.0-bin gsettings-desktop-schemas firefox-esr
  desktop-file-utils man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y ${missing[*]}" >&2
  exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
