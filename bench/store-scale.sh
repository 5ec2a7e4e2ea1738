#!/usr/bin/env bash
# The settings store at scale: 1,000 providers of 10 entries in a temporary
# store; the context menu, a full load through SettingKey and
# `reg query ... /s`, each beside SQLite reading the same rows in the same
# run. Prints minimum and median. Arguments: runs (default 5), providers.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target store_scale_run >/dev/null
./build/bin/store_scale_run "$@"
