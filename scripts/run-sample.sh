#!/usr/bin/env bash
# Builds Veldrin and starts it on a small sample game installation in ./sample-setup, a
# Wine-style prefix: the game folder is C:\Games\Black & White\, Veldrin's own C:\Veldrin\.
# Extra arguments are passed on to veldrin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target veldrin
veldrin="$(pwd)/build/src/app/veldrin"
root="$(pwd)/sample-setup"
"$veldrin" --sample-setup "$root"
# Started from its own folder on drive C:, Veldrin finds its options file and skips the first run.
cd "$root/drive_c/Veldrin"
WINEPREFIX="$root" exec "$veldrin" "$@"
