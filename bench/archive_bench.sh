#!/usr/bin/env bash
# Archive benchmark: a 1 GiB zip (16 entries of 64 MiB that do not compress, stored) installed
# with veldrin-brx, checking that memory stays bounded by the largest entry: the peak resident
# size must stay under 64 MiB plus the largest entry. Prints the time, the peak and the limit.
# Usage: bench/archive_bench.sh [BUILD_DIR] [ENTRIES] [ENTRY_MB]   (needs the target veldrin-brx)
set -euo pipefail
build=${1:-build}
entries=${2:-16}
entry_mb=${3:-64}
tool=$(realpath "$build/tools/veldrin-brx/veldrin-brx")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix"
c="$WINEPREFIX/drive_c"
mkdir -p "$c/Game/Data/Landscape" "$c/Veldrin"

# Written a block at a time: the generator itself never holds an entry.
python3 - "$work/big.zip" "$entries" "$entry_mb" <<'PY'
import os, sys, zipfile
path, entries, mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED, allowZip64=True) as z:
    for i in range(entries):
        info = zipfile.ZipInfo(f"Big-v1/Black & White/Data/Landscape/part{i:02}.lnd", (2001, 3, 23, 0, 0, 0))
        with z.open(info, "w", force_zip64=True) as f:
            for _ in range(mb):
                f.write(os.urandom(1 << 20))
PY
size=$(stat -c %s "$work/big.zip")

# Peak resident size of the tool alone, in KiB, from the kernel's accounting of the child.
run() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
t = time.monotonic()
code = subprocess.call(sys.argv[1:], stdout=subprocess.DEVNULL)
print(f"{code} {time.monotonic() - t:.2f} {resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss}")
PY
}
read -r code secs peak < <(run "$tool" install "$work/big.zip" --program-folder "$c/Veldrin" --game-folder "$c/Game")
limit=$(( (64 + entry_mb) * 1024 ))
printf 'archive %d MiB, %d entries of %d MiB: exit %d, %s s, peak %d MiB (limit %d MiB)\n' \
  $((size >> 20)) "$entries" "$entry_mb" "$code" "$secs" $((peak >> 10)) $((limit >> 10))
[ "$code" -eq 0 ] && [ "$peak" -lt "$limit" ]
