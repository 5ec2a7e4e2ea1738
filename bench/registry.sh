#!/usr/bin/env bash
# 1,000 WriteDword calls on one open key, beside raw SQLite in the store's own
# mode (WAL, synchronous=NORMAL) and at the rollback journal with FULL sync;
# minimum and median of several runs (first argument: runs, default 7).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target registry_bench >/dev/null
./build/bin/registry_bench "$@"
