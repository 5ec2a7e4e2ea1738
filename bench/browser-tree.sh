#!/usr/bin/env bash
# Brovin's upload and download walks beside lftp mirror -R / mirror on 2,000 small files in 110 folders.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib lftp time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target browser_tree_run >/dev/null
/usr/bin/python3 bench/browser_tree_bench.py --run build/bin/browser_tree_run "$@"
