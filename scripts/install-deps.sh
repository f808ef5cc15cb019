#!/usr/bin/env bash
# Debian 12 packages needed to build, run and test Setup (run as root).
set -euo pipefail
pkgs=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev
      libgtest-dev libgmock-dev googletest libxxhash-dev p7zip-full nginx curl python3
      binutils-mingw-w64-x86-64 libssl-dev openssl clang libclang-rt-14-dev
      fonts-dejavu-core xvfb openbox xdotool x11-utils libxcb1-dev qt6-translations-l10n strace
      patchelf zstd libzstd-dev debootstrap)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
