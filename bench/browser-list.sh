#!/usr/bin/env bash
# Brovin listing a directory of 10,000 entries beside curl fetching the same
# listing, both timed as whole processes (the inner spans printed apart),
# and its resident memory over repeated refreshes; on an X server of
# its own (Xvfb), so that the figures do not depend on the desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh python3-pyftpdlib curl time xvfb
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target browser_list_run >/dev/null
tests/support/with_xvfb.sh /usr/bin/python3 bench/browser_list_bench.py --run build/bin/browser_list_run "$@"
