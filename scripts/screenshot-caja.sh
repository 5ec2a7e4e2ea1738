#!/usr/bin/env bash
# Takes docs/parvex-menu-caja.png by hand: the "Parvex" submenu in Caja (the
# MATE file manager) on a virtual screen, from the built tree. Needs caja,
# Xvfb, xdotool, ImageMagick and dbus (apt-get install caja xvfb xdotool
# imagemagick dbus), a build in build/, and root (or sudo) to put the module
# into Caja's extension folder for the run; a module that was there before is
# put back afterwards. Everything else (the settings store, the home folder)
# is a throwaway one.
#   ./scripts/screenshot-caja.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
src=$(pwd)
out=$(realpath -m "${1:-docs/parvex-menu-caja.png}")
bin=$src/build/bin
for t in caja Xvfb xdotool import dbus-run-session; do
  command -v "$t" >/dev/null || { echo "screenshot-caja: $t is not installed" >&2; exit 2; }
done
[ -f "$bin/parvex-caja.so" ] || { echo "screenshot-caja: build first (cmake --build build)" >&2; exit 2; }

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
extdir=$(pkg-config --variable=extensiondir libcaja-extension 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/caja/extensions-2.0)
tmp=$(mktemp -d)
restore() {
  if [ -f "$tmp/previous.so" ]; then $sudo cp "$tmp/previous.so" "$extdir/parvex-caja.so"
  else $sudo rm -f "$extdir/parvex-caja.so"; fi
  rm -rf "$tmp"
}
trap restore EXIT
[ -f "$extdir/parvex-caja.so" ] && cp "$extdir/parvex-caja.so" "$tmp/previous.so"
$sudo mkdir -p "$extdir"
$sudo cp "$bin/parvex-caja.so" "$extdir/"

# Two providers, as the wizard would have left them, and the handler registered.
export HOME=$tmp/home PARVEX_REGISTRY=$tmp/registry.db LANG=C.UTF-8
export LD_LIBRARY_PATH=$bin  # the built module finds the store library beside it
# Local files only: no GVFS daemons started for the run that would outlive it.
export GIO_USE_VFS=local GIO_USE_VOLUME_MONITOR=unix
mkdir -p "$HOME" "$tmp/site/img"
echo '<html></html>' >"$tmp/site/index.html"
echo text >"$tmp/site/readme.txt"
"$bin/reg" add 'HKCU\Software\PARVEX\PROVIDER\example.jp\/www' /v MenuName /d 'ホームページ' /f >/dev/null
"$bin/reg" add 'HKCU\Software\PARVEX\PROVIDER\example.jp\/www/blog' /v MenuName /d 'ブログ' /f >/dev/null
"$bin/reg" add 'HKCU\Software\PARVEX\PROVIDER\test-server\/pub' /v MenuName /d '公開フォルダ' /f >/dev/null
"$bin/regsvr32" "$bin/parvex.so" /s

cat >"$tmp/shoot.sh" <<SHOT
#!/usr/bin/env bash
set -uo pipefail
dbus-run-session -- caja --no-desktop --browser "$tmp/site" >"$tmp/caja.log" 2>&1 &
session=\$!
for ((i = 0; i < 100; i++)); do xdotool search --name '^site\$' >/dev/null 2>&1 && break; sleep 0.2; done
sleep 2
# Without a window manager the window sits at the top left: index.html is the
# second icon. Right-click it, then along Parvex > example.jp.
xdotool mousemove 396 145 click 1; sleep 0.5
xdotool mousemove 396 145 click 3; sleep 1
xdotool mousemove 450 392; sleep 1
xdotool mousemove 600 392; sleep 0.3
xdotool mousemove 700 392; sleep 1
import -window root -crop 960x470+0+0 +repage "$out"
# Caja ends, then its session bus with everything the bus started.
pkill -P \$session -x caja
wait \$session
SHOT
chmod +x "$tmp/shoot.sh"
tests/support/with_xvfb.sh "$tmp/shoot.sh"
echo "screenshot: $out"
