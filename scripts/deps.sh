#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only
# those that are missing. Safe to run again; needs root (or sudo) to install.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsqlite3-dev sqlite3 libgtest-dev googletest
  clang libclang-rt-14-dev
  libwxgtk3.2-dev libnautilus-extension-dev libnotify-dev
)
# Optional groups the later parts of the suite bring in are appended by name.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
