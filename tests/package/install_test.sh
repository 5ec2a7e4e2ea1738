#!/usr/bin/env bash
# Installs a built tree into a temporary DESTDIR and checks that the parts
# land where they look for each other: the layout, the command link, every
# installed program and library resolving its libraries without
# LD_LIBRARY_PATH, the tools running from there, regsvr32 finding parvex.so
# in the installed tree, and the desktop files passing their validators.
#   install_test.sh BUILD_DIR PREFIX EXTENSION_DIR NEMO_EXTENSION_DIR CAJA_EXTENSION_DIR
# (the folders where GNOME Files, Nemo and Caja load their extensions from).
# Exit 0 all good, 1 a check failed (each failure named), 77 a validator is
# not installed (the rest passed).
set -uo pipefail
build=$1 prefix=$2 extdir=$3 nemodir=$4 cajadir=$5
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR=$root cmake --install "$build" >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"; echo "FAIL: cmake --install"; exit 1
fi
p=$root$prefix
# installed_dir DIR: where an extension folder (absolute, or relative to the prefix) is in the install root.
installed_dir() { case $1 in /*) echo "$root$1" ;; *) echo "$p/$1" ;; esac; }
ext=$(installed_dir "$extdir")

# The layout: commands a user types in bin, the private programs beside morvane.
for f in bin/reg bin/tesvar bin/parvex-menu lib/parvex/morvane lib/parvex/dravik lib/parvex/brovin \
         lib/parvex/regsvr32 lib/parvex/libhalvex32.so lib/parvex/libtesvar.so.1 \
         lib/parvex/libparvex-registry.so lib/parvex/libparvex-settings-key.so; do
  [ -f "$p/$f" ] && [ ! -L "$p/$f" ] || fail "$f is not installed as a file"
done
[ -f "$ext/parvex.so" ] || fail "parvex.so is not in the extension folder $extdir"
[ -f "$(installed_dir "$nemodir")/parvex-nemo.so" ] || fail "parvex-nemo.so is not in Nemo's extension folder $nemodir"
[ -f "$(installed_dir "$cajadir")/parvex-caja.so" ] || fail "parvex-caja.so is not in Caja's extension folder $cajadir"
# Dolphin's service menu, executable as KIO wants it.
servicemenu=$p/share/kio/servicemenus/parvex.desktop
[ -f "$servicemenu" ] && [ -x "$servicemenu" ] || fail "share/kio/servicemenus/parvex.desktop is not installed executable"
for f in bin/morvane; do
  [ "$(readlink "$p/$f")" = ../lib/parvex/morvane ] || fail "$f is not a relative link to ../lib/parvex/morvane"
done
# Names other packages own, and the private programs, stay out of bin.
for f in regsvr32 regedit dravik brovin; do
  [ ! -e "$p/bin/$f" ] || fail "bin/$f must not be installed"
done
for f in share/applications/org.parvex.Morvane.desktop share/metainfo/org.parvex.Morvane.metainfo.xml \
         share/doc/parvex/copyright share/doc/parvex/changelog.Debian.gz share/man/man1/morvane.1.gz \
         share/man/man1/reg.1.gz share/man/man1/tesvar.1.gz share/man/man1/parvex-menu.1.gz \
         share/icons/hicolor/scalable/apps/parvex.svg; do
  [ -f "$p/$f" ] || fail "$f is not installed"
done
for s in 16 24 32 48 64 128 256; do
  png=$p/share/icons/hicolor/${s}x$s/apps/parvex.png
  if [ ! -f "$png" ]; then fail "no ${s}x$s icon"; continue; fi
  # PNG header: width and height are the big-endian words at bytes 16 and 20.
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print ($3*256+$4) "x" ($7*256+$8)}')
  [ "$size" = "${s}x$s" ] || fail "the ${s}x$s icon is $size"
done

# Every ELF file: all libraries found with a clean environment, and no RPATH
# that points into the build tree or anywhere but relative to itself.
while IFS= read -r -d '' f; do
  head -c4 "$f" | cmp -s - <(printf '\177ELF') || continue
  missing=$(env -i PATH=/usr/bin:/bin ldd "$f" 2>&1 | grep 'not found')
  [ -z "$missing" ] || fail "${f#"$root"}: $missing"
  readelf -d "$f" | grep -E 'R(UN)?PATH' | grep -oE '\[[^]]*\]' | tr -d '[]' | tr ':' '\n' | while read -r dir; do
    case $dir in '$ORIGIN'|'$ORIGIN/'*) ;; *) echo "FAIL: ${f#"$root"} searches $dir" ;; esac
  done | tee -a "$tmp/rpath.log"
done < <(find "$root" -type f -print0)
[ ! -s "$tmp/rpath.log" ] || failures=$((failures + $(wc -l <"$tmp/rpath.log")))

# The tools run from the installed tree, on a store of their own.
export PARVEX_REGISTRY=$tmp/registry.db
# Through the link, $ORIGIN must still be the private folder (the loader
# resolves the program's real path); without a display it stops at the toolkit.
out=$(env -i PATH=/usr/bin:/bin PARVEX_REGISTRY="$PARVEX_REGISTRY" timeout 20 "$p/bin/morvane" 2>&1)
case $out in
  *"error while loading shared libraries"*) fail "bin/morvane does not start: $out" ;;
  *DISPLAY*) ;;
  *) fail "bin/morvane without a display said: $out" ;;
esac
env -u LD_LIBRARY_PATH "$p/bin/reg" add 'HKCU\Software\PARVEX\Option' /v TextMode /d '.txt;' /f >/dev/null ||
  fail "installed reg cannot write a setting"
env -u LD_LIBRARY_PATH "$p/bin/reg" query 'HKCU\Software\PARVEX\Option' /v TextMode | grep -q '\.txt;' ||
  fail "installed reg does not read the setting back"
printf '\xa4\xb3\xa4\xf3\xa4\xcb\xa4\xc1\xa4\xcf\n' >"$tmp/euc.txt"
env -u LD_LIBRARY_PATH "$p/bin/tesvar" --guess "$tmp/euc.txt" | grep -q 'EUC-JP' ||
  fail "installed tesvar does not recognise EUC-JP text"
# regsvr32 beside morvane, as morvane's first run starts it, must find the
# parvex.so of the same installation, not one installed on this machine.
out=$(env -u LD_LIBRARY_PATH "$p/lib/parvex/regsvr32" parvex.so 2>&1)
loaded=$(printf '%s\n' "$out" | sed -n 's/^DllRegisterServer in \(.*\) succeeded\.$/\1/p')
if [ -z "$loaded" ]; then
  fail "installed regsvr32 parvex.so: $out"
elif [ "$(realpath "$loaded")" != "$(realpath "$ext/parvex.so")" ]; then
  fail "installed regsvr32 loaded $loaded, not the installed $ext/parvex.so"
fi

skipped=""
desktop=$p/share/applications/org.parvex.Morvane.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  grep -qx 'Categories=Network;FileTransfer;' "$desktop" || fail "desktop entry categories"
  grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Comment\[ja\]=' "$desktop" || fail "desktop entry lacks Japanese texts"
  desktop-file-validate "$servicemenu" || fail "desktop-file-validate on Dolphin's service menu"
else
  skipped+=" desktop-file-validate (package desktop-file-utils)"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$p/share/metainfo/org.parvex.Morvane.metainfo.xml" >"$tmp/as.log" 2>&1 ||
    { cat "$tmp/as.log"; fail "appstreamcli validate"; }
else
  skipped+=" appstreamcli (package appstream)"
fi

if [ "$failures" -gt 0 ]; then echo "$failures check(s) failed"; exit 1; fi
if [ -n "$skipped" ]; then echo "SKIPPED, not installed:$skipped"; exit 77; fi
echo "installed layout OK"
