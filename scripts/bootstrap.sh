#!/usr/bin/env bash
# Installs, from Debian packages, whatever the build and the tests need and
# this machine lacks. Safe to run again: it does nothing when all is present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libgtest-dev libgmock-dev libbenchmark-dev
  libblkid-dev libudev-dev
  dosfstools mtools sleuthkit e2fsprogs ntfs-3g fdisk
  exfatprogs forensics-samples-exfat xz-utils
  clang libclang-rt-14-dev
  shared-mime-info
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins
  fonts-liberation2 fonts-dejavu-core xdg-utils dbus-daemon
  dpkg-dev file
  desktop-file-utils appstream
  xvfb openbox xdotool x11-utils
  mingw-w64 g++-mingw-w64-x86-64-posix wine64 wine googletest
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "bootstrap: installing ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "bootstrap: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if ! "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  "${as_root[@]}" apt-get update -q
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
