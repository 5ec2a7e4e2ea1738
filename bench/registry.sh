#!/usr/bin/env bash
# 1,000 WriteDword calls on one open key, beside raw SQLite at FULL sync.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target registry_bench >/dev/null
./build/bin/registry_bench "$@"
