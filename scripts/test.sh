#!/usr/bin/env bash
# Sets up what is missing on a Debian 12 machine, builds the suite with
# warnings as errors, and runs every test: once in a normal build, once
# built with AddressSanitizer and UndefinedBehaviorSanitizer, then fuzzes
# the parsers for a bounded time.
#   ./scripts/test.sh            everything
#   PARVEX_SKIP_SANITIZE=1 ...   skip the sanitizer build
#   PARVEX_SKIP_FUZZ=1 ...       skip the bounded fuzzing run (PARVEX_FUZZ_SECONDS, default 30 per target)
set -euo pipefail
cd "$(dirname "$0")/.."

# nkf and skkdic: the converter is checked against nkf on a real dictionary;
# pyftpdlib, vsftpd and proftpd (--proftpd: unpacked, never installed): the FTP client and the browser
# are tested against real servers;
# wx, Xvfb and a Japanese font: the window tests run real dialogs on a virtual screen;
# libnautilus-extension-dev, libnemo-extension-dev, libcaja-extension-dev: the menu modules for GNOME Files,
# Nemo and Caja.
# shared-mime-info and an icon theme: the extension sheet lists every registered extension with its icon.
# desktop-file-utils and appstream: the installed desktop entry and metainfo are validated.
# imagemagick: a window test reads the screen back as the X server shows it (import).
# openssl: the FTP-over-TLS tests make their own certificate authority and server certificates.
# The end-to-end test builds the package and checks it (dpkg-dev, fakeroot, file, lintian) and
# fills in the first-run wizard with the keyboard and the mouse (xdotool).
# libnotify-dev: dravik tells the desktop about a failed transfer; dbus, python3-dbus and python3-gi: the test
# runs a private session bus with a scripted notification service on it.
./scripts/deps.sh --proftpd nkf skkdic time python3-pyftpdlib python3-openssl vsftpd libwxgtk3.2-dev xvfb fonts-ipafont-gothic libnautilus-extension-dev \
  libnemo-extension-dev libcaja-extension-dev \
  shared-mime-info adwaita-icon-theme desktop-file-utils appstream imagemagick \
  dpkg-dev fakeroot file lintian xdotool libnotify-dev dbus python3-dbus python3-gi openssl gnome-keyring

jobs=$(nproc)

echo "== build (warnings are errors)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARVEX_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
echo "== tests"
(cd build && ctest --output-on-failure -j "$jobs")

if [ "${PARVEX_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== build with AddressSanitizer + UndefinedBehaviorSanitizer"
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPARVEX_WERROR=ON -DPARVEX_SANITIZE=ON \
        -DPARVEX_BUILD_BENCH=OFF >/dev/null
  cmake --build build-sanitize -j "$jobs"
  echo "== tests under the sanitizers"
  supp="$PWD/tests/support/lsan.supp"  # the desktop libraries' own lifetime allocations
  (cd build-sanitize && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
     LSAN_OPTIONS=suppressions=$supp:print_suppressions=0 \
     ctest --output-on-failure -j "$jobs")
fi

if [ "${PARVEX_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzzing (bounded)"
  ./scripts/fuzz.sh "${PARVEX_FUZZ_SECONDS:-30}"
fi
