#!/usr/bin/env bash
# Lumeno's move of the settings file's passwords into the desktop keyring,
# timed on a fresh store of 100 providers (two entries each; the first
# argument changes the number) against gnome-keyring-daemon on a private
# session bus, unlocked, with its keyrings in a temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh gnome-keyring dbus
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target keyring_migration_run >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/parvex-keyring-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
export PARVEX_REGISTRY="$work/registry.db"
# The bus ends with the command; the daemon with the bus.
dbus-run-session -- /bin/sh -c '
  printf "bench-password" | HOME="$1" XDG_DATA_HOME="$1/data" XDG_RUNTIME_DIR="$1" \
    /usr/bin/gnome-keyring-daemon --foreground --components=secrets --unlock >/dev/null 2>&1 &
  daemon=$!
  XDG_RUNTIME_DIR="$1" ./build/bin/keyring_migration_run "$2"
  status=$?
  kill "$daemon" 2>/dev/null
  exit $status
' sh "$work" "${1:-100}"
