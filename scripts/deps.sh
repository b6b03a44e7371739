#!/usr/bin/env bash
# Installs what building and testing Veldrin needs on Debian, when it is missing.
set -euo pipefail
packages=(cmake g++ make qt6-base-dev qt6-webengine-dev libgl-dev clang libclang-rt-14-dev python3)
# The install journal lives in SQLite through Qt SQL.
packages+=(libqt6sql6-sqlite)
# Reading downloaded add-on archives (zip, 7z, rar, tar and its compressions).
packages+=(libarchive-dev pkg-config)
# Hashing what an install writes and keeps, with the processor's SHA instructions.
packages+=(libssl-dev)
# Real Wine, a prefix made by wineboot, and tiny Windows programs built for the launch tests.
packages+=(wine wine64 gcc-mingw-w64-x86-64)
# The folder lock's Windows side, compiled as C++ and run under 64-bit Wine.
packages+=(g++-mingw-w64-x86-64)
# A 32-bit Windows program, as the game is, to see the message when 32-bit Wine is missing.
packages+=(gcc-mingw-w64-i686)
# Checking and building what a packager ships: desktop entry, AppStream data, the .deb.
packages+=(desktop-file-utils appstream dpkg-dev file)
# The default-program check after installing the .deb.
packages+=(xdg-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
