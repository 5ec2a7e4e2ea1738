#!/usr/bin/env bash
# The plain walker beside lftp mirror -R --no-perms on one folder nested 500 levels deep, whole processes,
# minimum and median, uploads compared file by file.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib lftp time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target walker_run >/dev/null
/usr/bin/python3 bench/deeptree_bench.py --walker build/bin/walker_run "$@"
