#!/usr/bin/env bash
# FTP over TLS against vsftpd demanding session reuse, in one run: 1 GiB up and down by the suite's client
# beside curl --ssl-reqd, and 2,000 small files in 110 folders by the walker beside lftp with ftp:ssl-force.
# Options go to bench/ftps_bench.py (--mib, --runs, --only big|tree).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh vsftpd curl lftp openssl time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target inet_put walker_run >/dev/null
/usr/bin/python3 bench/ftps_bench.py --inet-put build/bin/inet_put --walker build/bin/walker_run "$@"
