#!/usr/bin/env bash
# The plain walker beside lftp mirror -R --no-perms on 2,000 small files in 110 folders, whole processes,
# minimum and median, uploads compared file by file.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib lftp time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target walker_run inet_put >/dev/null
/usr/bin/python3 bench/walker_bench.py --walker build/bin/walker_run --inet-put build/bin/inet_put "$@"
