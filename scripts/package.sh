#!/usr/bin/env bash
# Builds the Debian package: a Release tree installed under /usr, packed by
# CPack (dependencies from dpkg-shlibdeps plus the run-time ones), then
# checked by lintian when it is installed.
#   ./scripts/package.sh            -> build-package/parvex_<version>_<arch>.deb
#   PARVEX_PACKAGE_DIR=DIR ...      build there instead of build-package
#   PARVEX_JOBS=N ...               parallel build jobs (default: all cores)
#   PARVEX_SKIP_LINTIAN=1 ...       do not run lintian
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh dpkg-dev fakeroot file lintian

build=${PARVEX_PACKAGE_DIR:-build-package}
# A build folder configured for another checkout (this one was copied, or
# PARVEX_PACKAGE_DIR names a folder another checkout used): cmake refuses a
# cache made for other sources, so the configuration starts afresh. Only
# what cmake made goes; the folder itself may be the user's.
cache=$build/CMakeCache.txt
if [ -f "$cache" ]; then
  home=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
  if [ "$(cd "$home" 2>/dev/null && pwd -P)" != "$(pwd -P)" ]; then
    echo "== $build was configured for ${home:-another folder}: configuring it afresh for $(pwd -P)"
    rm -rf "$cache" "$build/CMakeFiles" "$build/build.ninja" "$build/.ninja_deps" "$build/.ninja_log" \
           "$build/CPackConfig.cmake" "$build/CPackSourceConfig.cmake" "$build/_CPack_Packages"
  fi
fi
# Debian's hardening flags (fortified string functions, stack protector,
# read-only relocations bound at start-up): these programs read file names
# and server replies from outside.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
      -DCMAKE_MODULE_LINKER_FLAGS="$(flags LDFLAGS)" \
      -DPARVEX_BUILD_TESTS=OFF -DPARVEX_BUILD_BENCH=OFF -DPARVEX_SANITIZE=OFF >/dev/null
cmake --build "$build" -j "${PARVEX_JOBS:-$(nproc)}"
rm -f "$build"/parvex_*.deb
# fakeroot: the files in the package belong to root whoever builds it.
(cd "$build" && fakeroot cpack -G DEB)
deb=$(ls "$build"/parvex_*.deb)
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

if [ "${PARVEX_SKIP_LINTIAN:-0}" != 1 ] && command -v lintian >/dev/null; then
  echo "== lintian"
  # Errors fail the script; warnings and notes are printed.
  lintian --fail-on error --info "$deb"
fi
