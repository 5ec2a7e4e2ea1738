#!/usr/bin/env bash
# Publishing a site again with "send changed files only" on, beside lftp mirror -R --only-newer, on a server
# whose replies are held back 30 ms (as over a slow link), on pyftpdlib and on vsftpd, the walker over one connection
# and over several; see bench/publish_bench.py.
# Options: --runs N, --delayed-runs N, --delay MS, --levels N, --servers delayed,pyftpdlib,vsftpd, --per-leaf N
# (files in each of the 100 leaf folders, 20), --connections N (the walker's, 4).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib lftp time vsftpd
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target walker_run >/dev/null
/usr/bin/python3 bench/publish_bench.py --walker build/bin/walker_run "$@"
