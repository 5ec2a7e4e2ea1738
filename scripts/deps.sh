#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, only
# those that are missing; with --proftpd also unpacks the proftpd the tests
# run. Safe to run again; needs root (or sudo) to install.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsqlite3-dev sqlite3 libgtest-dev googletest
  clang libclang-rt-14-dev
  libwxgtk3.2-dev libnautilus-extension-dev libnemo-extension-dev libcaja-extension-dev libnotify-dev libgnutls28-dev
  libsecret-1-dev
)
# Optional groups the later parts of the suite bring in are appended by name.
want_proftpd=0
for a in "$@"; do
  if [ "$a" = --proftpd ]; then want_proftpd=1; else packages+=("$a"); fi
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# proftpd, the third real server of the FTP tests, conflicts with vsftpd, so it is never installed: its
# package, its TLS module (mod_tls, in proftpd-mod-crypto) and the libraries it needs beyond the build's are
# unpacked into build-proftpd/ below the source tree, where the tests look for it (or where
# PARVEX_PROFTPD_ROOT says). A folder unpacked before the TLS module was wanted is unpacked again.
proftpd="$(cd "$(dirname "$0")/.." && pwd)/build-proftpd"
if [ "$want_proftpd" = 1 ] && [ ! -f "$proftpd/root/usr/lib/proftpd/mod_tls.so" ]; then
  echo "Unpacking proftpd for the tests into $proftpd"
  rm -rf "$proftpd" && mkdir -p "$proftpd/debs"
  [ ${#missing[@]} -gt 0 ] || $sudo apt-get update -qq
  (cd "$proftpd/debs" && apt-get download -qq proftpd-core proftpd-mod-crypto libmemcached11 libmemcachedutil2 \
     libhashkit2)
  for deb in "$proftpd"/debs/*.deb; do dpkg-deb -x "$deb" "$proftpd/unpacking"; done
  mv "$proftpd/unpacking" "$proftpd/root"
fi
