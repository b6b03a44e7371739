#!/usr/bin/env bash
# The second pass of the real-Wine test: with Debian's 32-bit Wine (wine32) installed, the
# 32-bit test program, like the game, must run where the first pass (without wine32) had it
# refused with a message. Installs wine32 when it is missing and leaves it installed.
# Usage: scripts/test-wine32.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
export QT_QPA_PLATFORM=offscreen
if ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "Installing wine32 (adds the i386 architecture)"
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wine32:i386
fi
test -x /usr/lib/wine/wine || { echo "test-wine32: wine32 is installed but /usr/lib/wine/wine is not there" >&2; exit 1; }
VELDRIN_EXPECT_WINE32=1 ctest --test-dir "$build" -L wine --output-on-failure
