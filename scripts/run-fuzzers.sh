#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 60).
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
if [ ! -f fuzz/CMakeLists.txt ]; then echo "no fuzz targets"; exit 0; fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLUNE_FUZZ=ON >/dev/null
# Only the fuzz targets and what they link: the windows and tests are not needed here.
targets=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp; done)
cmake --build build-fuzz -j "$(nproc)" --target $targets
for target in build-fuzz/fuzz/fuzz_*; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=fuzz-corpus/$name
  mkdir -p "$corpus"
  seeds=fuzz/seeds/$name
  # Genuine character files seed the character reader where the shared test data lies beside the tree.
  extra=
  [ "$name" = fuzz_acs_reader ] && [ -d ../shared/testdata/acs ] && extra=../shared/testdata/acs
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) $extra 2>&1 | tail -n 15
done
