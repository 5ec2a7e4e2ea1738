#!/usr/bin/env bash
# Brovin's upload and download walks beside lftp mirror -R / mirror (--no-perms) and wget -r on 2,000
# small files in 110 folders (--per-leaf 40: 4,000), whole processes, minimum and median, copies compared.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib lftp wget time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target browser_tree_run >/dev/null
/usr/bin/python3 bench/browser_tree_bench.py --run build/bin/browser_tree_run "$@"
