#!/usr/bin/env bash
# Runs every benchmark program of a build folder configured with -DPARLUNE_BENCH=ON.
set -euo pipefail
build=${1:?usage: run-benchmarks.sh BUILD_DIR}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
export PARLUNE_DRY_POWER_OFF=1
found=0
for program in "$build"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  found=1
  echo "== $(basename "$program")"
  "$program" --benchmark_counters_tabular=true
done
[ "$found" -eq 1 ] || { echo "no benchmark programs in $build/bench" >&2; exit 1; }
# Lab benchmarks run real instances in network namespaces: root only, skipped otherwise (status 77).
for script in "$(dirname "$0")/../bench"/lab_*.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script" "$build" || [ $? -eq 77 ]
done
# What the program costs while idle under Xvfb with a tray; skipped without Xvfb or trayer (status 77).
echo "== idle.sh"
bash "$(dirname "$0")/../bench/idle.sh" "$build" || [ $? -eq 77 ]
