#!/usr/bin/env bash
# Installs what building and testing Vontaro needs on Debian 12. Safe to run again.
set -euo pipefail
# Building, the libraries, Qt's own Polish texts (file choosers, text field
# menus), the tests (GoogleTest; dbus-daemon for the private test buses),
# unzip (theme packages are unpacked with it) and the certificates the HTTPS
# cover search and theme gallery need. The benchmarks need libbenchmark-dev
# as well; it is not installed here.
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev qt6-image-formats-plugins
  libqt6svgwidgets6 qt6-qpa-plugins libgl-dev
  libtag1-dev libssl-dev libtiff-dev libwebp-dev
  libgtest-dev libgmock-dev
  qt6-translations-l10n
  unzip dbus-daemon ca-certificates
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The FAT32 stage of the tests (scripts/fat32.sh): a user-mode Linux kernel
# with vfat and device-mapper modules, the FAT tools, insmod and dmsetup.
# Optional: where they can't be installed the stage says so and is skipped.
fat=(user-mode-linux dosfstools kmod dmsetup)
missing=()
for p in "${fat[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >/dev/null 2>&1 ||
    echo "FAT32 tools not installed (${missing[*]}); the FAT32 test stage will be skipped."
fi
