#!/bin/sh
# Start-up cost of Veldrin against a bare Qt Widgets program with a frame and an MDI area:
# wall time until the program reports "ready", and peak resident memory, each the median
# of N runs taken alternately so that both see the same machine load.
#
#   bench/startup.sh [build-dir] [runs]        (defaults: build-bench in the source tree, 15)
#
# Brings the two programs in build-dir up to date first. A build dir that does not exist yet
# is configured as an optimised build without the tests: start-up measured on a debug build
# says more about the compiler's settings than about the program.
# Prints both medians and the ratios Veldrin / baseline; the target is 1.2 or below.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=${1:-$source_dir/build-bench}
runs=${2:-15}

find_exe() { find "$build" -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1; }

if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=
    command -v ccache >/dev/null 2>&1 && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
    cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELDRIN_TESTS=OFF -DVELDRIN_BENCH=ON \
        $launcher >/dev/null
fi
cmake --build "$build" -j2 --target veldrin veldrin_bare_baseline >/dev/null
veldrin=$(find_exe veldrin)
baseline=$(find_exe veldrin_bare_baseline)
if [ -z "$veldrin" ] || [ -z "$baseline" ]; then
    echo "startup.sh: veldrin or veldrin_bare_baseline missing in $build" >&2
    exit 2
fi
veldrin=$(realpath "$veldrin")
baseline=$(realpath "$baseline")

# A throw-away Wine-style prefix whose program folder holds a complete options.txt, so
# that Veldrin starts as on any day after the first, without the first-run dialog.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/drive_c/Veldrin/Backup" "$work/drive_c/Games/Black & White/Scripts/Playgrounds"
printf 'C:\\Games\\Black & White\\\r\nC:\\Veldrin\\\r\n\r\n\r\n\r\n\r\n\r\n' >"$work/drive_c/Veldrin/options.txt"

cd "$work/drive_c/Veldrin"
WINEPREFIX=$work VELDRIN_BENCH_EXIT=1 VELDRIN_SPLASH_MS=0 QT_QPA_PLATFORM=offscreen \
    python3 - "$veldrin" "$baseline" "$runs" <<'PY'
import os, statistics, subprocess, sys, time, select

veldrin, baseline, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
TIMEOUT = 30.0

def run_once(exe):
    """Seconds until "ready" on stdout, and the child's peak RSS in KiB."""
    start = time.monotonic()
    proc = subprocess.Popen([exe], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    ready_at, seen = None, b""
    while ready_at is None:
        left = TIMEOUT - (time.monotonic() - start)
        if left <= 0 or not select.select([proc.stdout], [], [], left)[0]:
            proc.kill()
            break
        chunk = os.read(proc.stdout.fileno(), 4096)
        if not chunk:
            break
        seen += chunk
        if b"ready" in seen:
            ready_at = time.monotonic() - start
    _, status, usage = os.wait4(proc.pid, 0)
    proc.returncode = os.waitstatus_to_exitcode(status)
    proc.stdout.close()
    return ready_at, usage.ru_maxrss

results = {veldrin: [], baseline: []}
missing = set()
for i in range(runs):
    for exe in (veldrin, baseline):
        if exe in missing:
            continue
        seconds, rss = run_once(exe)
        if seconds is None:
            missing.add(exe)
            print(f"{os.path.basename(exe)}: never printed \"ready\" (no VELDRIN_BENCH_EXIT support?)",
                  file=sys.stderr)
            continue
        results[exe].append((seconds, rss))

def medians(exe):
    samples = results[exe]
    return statistics.median(s for s, _ in samples), statistics.median(r for _, r in samples)

print(f"runs: {runs} each, alternating")
for exe in (veldrin, baseline):
    if results[exe]:
        t, m = medians(exe)
        print(f"{os.path.basename(exe):24s} median time to ready {t * 1000:8.1f} ms   median peak RSS {m / 1024:7.1f} MiB")
if results[veldrin] and results[baseline]:
    (tv, mv), (tb, mb) = medians(veldrin), medians(baseline)
    print(f"ratio time   veldrin/baseline: {tv / tb:.2f}   (target <= 1.2)")
    print(f"ratio memory veldrin/baseline: {mv / mb:.2f}   (target <= 1.2)")
    sys.exit(0 if tv / tb <= 1.2 and mv / mb <= 1.2 else 1)
sys.exit(2)
PY
