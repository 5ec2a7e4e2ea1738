#!/usr/bin/env bash
# The extension selection sheet's full list (every extension of the
# shared-mime-info database with type names and icons) against the plain read
# of the glob files, on an Xvfb screen of its own.
# Usage: bench/extlist.sh [--shot FILE.png]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh shared-mime-info xvfb
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target extlist_bench >/dev/null
if [ $# -ge 2 ] && [ "$1" = "--shot" ]; then set -- --shot "$(realpath -m "$2")"; fi
./tests/support/with_xvfb.sh ./build/bin/extlist_bench "$@"
