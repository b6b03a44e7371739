#!/usr/bin/env bash
# Package benchmark: builds a package of 2,000 files with veldrin-brx and installs it (2,000
# entries and 2,000 backup copies), against the floor of the same work done by plain tools in
# the same run: cat of every file into one (building), one cp of every file into the game and
# one into the backups (installing). Prints the times, the ratios and the time per MB at 10 MB
# and 100 MB.
# Usage: bench/brx_bench.sh [BUILD_DIR]    (needs the targets veldrin-brx and brx_gen)
set -euo pipefail
build=${1:-build}
tool=$(realpath "$build/tools/veldrin-brx/veldrin-brx")
gen=$(realpath "$build/bench/brx_gen")
count=2000

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

printf '%-6s %-10s %9s %9s %7s %10s\n' "MB" "step" "veldrin" "floor" "ratio" "ms/MB"
for mb in 10 100; do
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export WINEPREFIX="$work/prefix"
  c="$WINEPREFIX/drive_c"
  mkdir -p "$work/src" "$c/Game/Data" "$c/Veldrin/Backup/brx" "$work/floor/game" "$work/floor/backup"
  "$gen" "$work/src" "$count" $((mb * 1024 * 1024))
  pairs=()
  for f in "$work"/src/*; do pairs+=("$f=C:\\Game\\Data\\$(basename "$f")"); done
  cat "$work"/src/* > /dev/null # the same warm cache for both sides

  t=$(now); "$tool" create "$work/p.brx" "${pairs[@]}"; create=$(since "$t")
  t=$(now); cat "$work"/src/* > "$work/floor/all"; catfloor=$(since "$t")

  t=$(now); "$tool" install "$work/p.brx" --program-folder "$c/Veldrin" --game-folder "$c/Game" 2>/dev/null >/dev/null
  install=$(since "$t")
  t=$(now); cp "$work"/src/* "$work/floor/game/"; cp "$work"/src/* "$work/floor/backup/"; cpfloor=$(since "$t")

  # Again over the installed files: every old file is now kept aside before it is replaced.
  t=$(now); "$tool" install "$work/p.brx" --program-folder "$c/Veldrin" --game-folder "$c/Game" 2>/dev/null >/dev/null
  reinstall=$(since "$t")

  [ "$(ls "$c/Game/Data" | wc -l)" -eq "$count" ] || { echo "install wrote the wrong number of files" >&2; exit 1; }
  for step in create install reinstall; do
    case $step in
      create) ours=$create floor=$catfloor ;;
      install) ours=$install floor=$cpfloor ;;
      reinstall) ours=$reinstall floor=$cpfloor ;;
    esac
    printf '%-6s %-10s %9s %9s %7s %10s\n' "$mb" "$step" "$ours" "$floor" "$(ratio "$ours" "$floor")" \
      "$(awk -v s="$ours" -v m="$mb" 'BEGIN { printf "%.1f", s * 1000 / m }')"
  done
  rm -rf "$work"
  trap - EXIT
done
