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
# The engine on a real network: root and network namespaces, else skipped.
if [ -x "$build/parlune" ]; then
  echo "== lab_engine"
  status=0
  bash "$(dirname "$0")/../bench/lab_engine.sh" "$build" || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
fi
