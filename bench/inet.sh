#!/usr/bin/env bash
# The FTP client's upload throughput beside curl's, against pyftpdlib and vsftpd on 127.0.0.1, in one run.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib vsftpd curl time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target inet_put >/dev/null
/usr/bin/python3 bench/inet_bench.py --inet-put build/bin/inet_put "$@"
