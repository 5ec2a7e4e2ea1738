#!/usr/bin/env bash
# scripts/package.sh in a checkout copied together with its build-package
# folder, whose cmake cache names the first checkout: the package is still
# built, from the copy's own sources. A tiny project stands in for the
# suite's sources so that no second full build runs; cmake, cpack and
# fakeroot are the real ones.
#   copied_checkout_test.sh SOURCE_DIR
# Exit 0 all good, 1 a check failed.
set -uo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

first=$tmp/first
mkdir -p "$first/scripts"
cp "$src/scripts/package.sh" "$src/scripts/deps.sh" "$first/scripts/"
cat >"$first/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(parvex VERSION 1.0 LANGUAGES NONE)
file(WRITE ${PROJECT_BINARY_DIR}/made-from "${PROJECT_SOURCE_DIR}\n")
install(FILES ${PROJECT_BINARY_DIR}/made-from DESTINATION share/parvex)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Parvex test <test@example.org>")
include(CPack)
CMAKE

run() { PARVEX_SKIP_LINTIAN=1 PARVEX_JOBS=1 "$1/scripts/package.sh" >"$tmp/log" 2>&1; }
run "$first" || { cat "$tmp/log"; fail "the package was not built in the first checkout"; }

copy=$tmp/copy
cp -a "$first" "$copy"
run "$copy" || { cat "$tmp/log"; fail "the package was not built in the copied checkout"; }
grep -q "configuring it afresh" "$tmp/log" || fail "the stale build folder was not noticed"
deb=$(ls "$copy"/build-package/parvex_*.deb 2>/dev/null)
[ -n "$deb" ] || fail "no package in the copy's build-package"
made=$(dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/parvex/made-from)
[ "$made" = "$(cd "$copy" && pwd -P)" ] || fail "the package was made from $made, not from the copy"

# Built again where it was configured: nothing is thrown away.
run "$copy" || { cat "$tmp/log"; fail "a second build in the copy failed"; }
! grep -q "configuring it afresh" "$tmp/log" || fail "a build folder of this checkout was configured afresh"
echo "ok"
