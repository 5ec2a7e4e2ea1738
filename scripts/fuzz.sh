#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   ./scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
./scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARVEX_FUZZ=ON \
  -DPARVEX_BUILD_TESTS=OFF -DPARVEX_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_tesvar fuzz_regfile fuzz_ftp fuzz_ini
for target in tesvar regfile ftp ini; do
  corpus="build-fuzz/corpus-$target"
  mkdir -p "$corpus"
  cp -n tests/fuzz/seeds/$target/* "$corpus"/
  echo "== fuzz_$target for ${seconds}s"
  log="build-fuzz/fuzz_$target.log"
  if ! (cd build-fuzz && ./bin/fuzz_$target -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
          "corpus-$target" >"fuzz_$target.log" 2>&1); then
    tail -n 40 "$log"
    echo "fuzz_$target failed: the failing input is in build-fuzz/ (crash-*)"
    exit 1
  fi
  grep -E 'stat::number_of_executed_units|DONE' "$log" | tail -n 2
done
