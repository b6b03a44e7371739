#!/usr/bin/env bash
# Installs what is missing, builds Veldrin twice (plain, and with AddressSanitizer + UBSan),
# warnings as errors, and runs every test headless in both builds, and the threaded ones in a
# third build with ThreadSanitizer; then installs Debian's 32-bit Wine and runs the real-Wine
# test once more, so it is proven with and without wine32.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRIN_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" -LE 'windows|wine'
# Window and Wine tests three times in a row: one that depends on timing fails here, not on a
# new contributor's machine.
ctest --test-dir build --output-on-failure -j"$jobs" -L 'windows|wine' --repeat until-fail:3
bash scripts/ci-package.sh build

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVELDRIN_WERROR=ON -DVELDRIN_SANITIZE=ON -DVELDRIN_BENCH=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

# The tests of what runs on more than one thread, once more under ThreadSanitizer: only they
# and the programs they start are built.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVELDRIN_WERROR=ON -DVELDRIN_SANITIZE_THREAD=ON -DVELDRIN_BENCH=OFF
cmake --build build-tsan -j"$jobs" --target veldrin-brx \
  $(ctest --test-dir build -L threads -N | sed -n 's/^ *Test *#[0-9]*: //p')
ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L threads

# Fuzz the package reader and writer, the settings-file line reader, the path mapping, the
# whole-picture check and the archive reader and plan for about a minute each (a fixed number
# of runs), in a clang build of their own. Each run works on a copy of its seed corpus; a crash leaves its input in
# build-fuzz/crashes/ and fails the run.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELDRIN_WERROR=ON \
  -DVELDRIN_FUZZ=ON -DVELDRIN_TESTS=OFF -DVELDRIN_BENCH=OFF
cmake --build build-fuzz -j"$jobs" --target fuzz_all
mkdir -p build-fuzz/crashes
# A fixed seed and run count make the run repeatable: what passes here passes in CI, and a
# crash found once can be replayed from its saved input.
declare -A runs=([brx_reader]=300000 [brx_roundtrip]=350000 [options_lines]=150000 [winpath]=40000 [picture_check]=500000 [archive_plan]=200000)
for target in brx_reader brx_roundtrip options_lines winpath picture_check archive_plan; do
  work=$(mktemp -d)
  cp fuzz/corpus/"$target"/* "$work"/
  dict=()
  case "$target" in brx_*) dict=(-dict=fuzz/brx.dict) ;; esac
  build-fuzz/fuzz/fuzz_"$target" -seed=1 -runs="${runs[$target]}" -max_total_time=120 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix=build-fuzz/crashes/"$target"- "${dict[@]}" "$work"
  rm -rf "$work"
done

# Last, as it changes the machine: the real-Wine test again, now with wine32.
bash scripts/test-wine32.sh build
