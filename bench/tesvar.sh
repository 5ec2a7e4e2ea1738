#!/usr/bin/env bash
# tesvar beside iconv and nkf on ~50 MB of Japanese text, three directions: best and median MB/s,
# outputs compared byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh nkf skkdic time
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tesvar_cli >/dev/null
/usr/bin/python3 bench/tesvar_bench.py --tesvar build/bin/tesvar "$@"
