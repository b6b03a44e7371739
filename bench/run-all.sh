#!/usr/bin/env bash
# Every figure of the speed targets in one run: package create, install and reinstall against
# cat, cp and mv+cp each followed by one sync (10 MB and SIZE, 1 GB with --huge), peak memory
# of create, install, verify and list, peak memory of an install of 4,000 against 40,000
# entries, the map window's load and install, and start-up against a bare Qt program.
#
#   bench/run-all.sh [--size MB] [--files N] [--runs N] [--huge] [--counts N,M] [--no-map]
#                    [--build DIR] [--work DIR]
#
# Defaults: 100 MB, 2000 files, 3 runs, build dir build-bench (configured as a Release build
# without tests when it does not exist). Exit status 0 when every target is met.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=$source_dir/build-bench
pass=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --size|--files|--runs|--work|--counts|--count-mb) pass+=("$1" "$2"); shift 2 ;;
    --huge|--no-map) pass+=("$1"); shift ;;
    *) echo "usage: $0 [--size MB] [--files N] [--runs N] [--huge] [--counts N,M] [--no-map] [--build DIR] [--work DIR]" >&2; exit 2 ;;
  esac
done

if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=
  command -v ccache >/dev/null 2>&1 && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELDRIN_TESTS=OFF -DVELDRIN_BENCH=ON \
    $launcher >/dev/null
fi
cmake --build "$build" -j2 --target veldrin-brx brx_gen map_bench veldrin veldrin_bare_baseline >/dev/null

status=0
python3 "$here/run_all.py" --tool "$build/tools/veldrin-brx/veldrin-brx" --gen "$build/bench/brx_gen" \
  --map-bench "$build/bench/map_bench" "${pass[@]}" || status=1
echo
"$here/startup.sh" "$build" 15 || status=1
exit $status
