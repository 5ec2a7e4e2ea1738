#!/usr/bin/env bash
# A minute with Parvex: what a right-click upload does, end to end.
# Installs what is missing, builds, starts a throwaway FTP server on
# 127.0.0.1, sets up a demo provider in a throwaway settings store with the
# reg tool, hands the sample site (demo/site) over as the file manager would,
# and runs the transfer program dravik twice: once to a directory entry
# (folders recreated) and once to the per-extension entry (files routed by
# extension). Then prints the tree that arrived on the server and shows it
# in the remote browser brovin. Last, the same site goes up encrypted (FTP
# over TLS) to a second throwaway server with a certificate made for the
# run, which the provider's entry trusts by its fingerprint.
#
# dravik opens on your display when there is one, else under Xvfb; there a
# screenshot of its dialog is saved (PARVEX_DEMO_SCREENSHOT, default
# build/demo/dravik.png; of the encrypted upload PARVEX_DEMO_TLS_SCREENSHOT,
# default build/demo/dravik-ftps.png).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
log=build/demo-setup.log
: >"$log"
# quiet LABEL COMMAND...: runs a setup step with its output in the log, shown only when it fails.
quiet() {
  local label=$1; shift
  if ! "$@" >>"$log" 2>&1; then
    echo "   $label failed; its output:" >&2
    tail -n 60 "$log" >&2
    exit 1
  fi
}
echo "== checking the packages the demo needs (apt-get's output goes to $log)"
quiet "installing packages" ./scripts/deps.sh python3-pyftpdlib python3-openssl openssl libwxgtk3.2-dev libnautilus-extension-dev \
  fonts-ipafont-gothic xvfb xauth x11-utils x11-apps netpbm
echo "== configuring"
quiet "configuring" cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== building (a few minutes the first time)"
# Ninja's "[done/total]" lines, boiled down to one line per tenth of the work.
if ! cmake --build build 2>&1 | tee -a "$log" | awk -F'[][/]' '
    /^\[[0-9]+\/[0-9]+\]/ { t = int($2 * 10 / $3); if (t > shown) { shown = t; printf "   %3d%% (%d of %d steps)\n", t * 10, $2, $3; fflush() } }'
then
  echo "   the build failed; its output:" >&2
  tail -n 60 "$log" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/parvex-demo-XXXXXX")
server_pid=""
tls_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$tls_pid" ] && kill "$tls_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export PARVEX_REGISTRY="$work/registry.db"
export NO_AT_BRIDGE=1
reg=./build/bin/reg
site="$PWD/demo/site"
shot="${PARVEX_DEMO_SCREENSHOT:-build/demo/dravik.png}"
mkdir -p "$(dirname "$shot")"

echo "== an FTP server on 127.0.0.1 serving $work/server"
mkdir -p "$work/server/www" "$work/server/images" "$work/server/text"
# Each upload waits a moment before it starts, so that the dialog can be watched.
/usr/bin/python3 tests/support/pyftpd.py --root "$work/server" --user demo --password demo \
  --port-file "$work/port" --stor-delay "${PARVEX_DEMO_DELAY:-0.4}" --log "$work/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(cat "$work/port")
echo "   port $port"

echo "== a provider \"デモ\" with a directory entry and the per-extension entry"
entry='HKCU\Software\PARVEX\PROVIDER\デモ\/www'
auto='HKCU\Software\PARVEX\PROVIDER\デモ\拡張子別転送'
for key in "$entry" "$auto"; do
  $reg add "$key" /v ServerAddr /d 127.0.0.1 /f >/dev/null
  $reg add "$key" /v Port /t REG_DWORD /d "$port" /f >/dev/null
  $reg add "$key" /v UserName /d demo /f >/dev/null
  $reg add "$key" /v Password /d demo /f >/dev/null
done
$reg add "$entry" /v Root /d /www /f >/dev/null
$reg add "$entry" /v MenuName /d "ホームページ" /f >/dev/null
$reg add "$auto" /v Root /d / /f >/dev/null
$reg add "$auto" /v MenuName /d "拡張子別転送" /f >/dev/null
$reg add 'HKCU\Software\PARVEX\AutoTransfer\デモ\images' /v AutoTransferExt /d ".gif;.jpg;.png;" /f >/dev/null
$reg add 'HKCU\Software\PARVEX\AutoTransfer\デモ\images' /v AutoTransferDir /d images /f >/dev/null
$reg add 'HKCU\Software\PARVEX\AutoTransfer\デモ\text' /v AutoTransferExt /d ".txt;" /f >/dev/null
$reg add 'HKCU\Software\PARVEX\AutoTransfer\デモ\text' /v AutoTransferDir /d text /f >/dev/null
$reg add 'HKCU\Software\PARVEX\Option' /v TextMode /d ".htm;.html;.txt;.cgi;.csv;" /f >/dev/null
# Japanese text goes up as EUC-JP, as many Unix web servers of the time wanted it.
$reg add 'HKCU\Software\PARVEX\Option' /v CodeConvert /t REG_DWORD /d 1 /f >/dev/null
$reg add 'HKCU\Software\PARVEX\Option' /v UploadConvert /t REG_DWORD /d 1 /f >/dev/null
$reg add 'HKCU\Software\PARVEX\Option' /v UploadConvCode /t REG_DWORD /d 2 /f >/dev/null
$reg query 'HKCU\Software\PARVEX\PROVIDER' /s

# run_dravik SHOT DELAY: dravik on the display, or under Xvfb with a
# screenshot of its dialog saved to SHOT DELAY seconds after it appears.
run_dravik() {
  if [ -n "${DISPLAY:-}" ] && xwininfo -root >/dev/null 2>&1; then
    ./build/bin/dravik
  else
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
      ./build/bin/dravik & pid=$!
      for _ in $(seq 100); do xwininfo -name "Parvex - DVK" >/dev/null 2>&1 && break; sleep 0.05; done
      sleep "$1"
      xwd -silent -name "Parvex - DVK" | xwdtopnm 2>/dev/null | pnmtopng > "$0" 2>/dev/null || true
      wait "$pid"' "$1" "$2"
  fi
}

hand_off() {  # hand_off ENTRY [PROVIDER]: the selection the file manager passes for a right-click on the site
  local sel="HKCU\\Software\\PARVEX\\Selected\\${2:-デモ}\\$1"
  $reg add "$sel" /v Selected0 /d "$site" /f >/dev/null
  $reg add "$sel" /v RootDir /d "$(dirname "$site")" /f >/dev/null
}

echo "== right-click on $site, Parvex ▸ デモ ▸ ホームページ"
hand_off /www
start=$(date +%s%N)
run_dravik "$shot" "${PARVEX_DEMO_SHOT_AFTER:-1.0}"
echo "   dravik ended after $(( ($(date +%s%N) - start) / 1000000 )) ms"
if [ -s "$shot" ]; then echo "   screenshot of the dialog: $shot"; fi

echo "== Parvex ▸ デモ ▸ 拡張子別転送: every file by its extension"
hand_off 拡張子別転送
run_dravik "$work/second.png" 0.1

echo "== what arrived on the server"
(cd "$work/server" && find . -type f | sort | while read -r f; do printf '%8d  %s\n' "$(stat -c %s "$f")" "$f"; done)
echo "== www/site/docs/japanese.txt as stored (EUC-JP, shown here as UTF-8)"
iconv -f EUC-JP -t UTF-8 "$work/server/www/site/docs/japanese.txt"
if $reg query 'HKCU\Software\PARVEX\Selected' >/dev/null 2>&1; then
  echo "the hand-off was left behind" >&2
  exit 1
fi
echo "== the hand-off is consumed"

# run_brovin SHOT: the remote browser on the display, or under Xvfb with a
# screenshot of its window saved to SHOT once the listing has arrived.
run_brovin() {
  if [ -n "${DISPLAY:-}" ] && xwininfo -root >/dev/null 2>&1; then
    ./build/bin/brovin
  else
    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
      ./build/bin/brovin & pid=$!
      for _ in $(seq 200); do xwininfo -root -tree 2>/dev/null | grep -q "現在のディレクトリ" && break; sleep 0.05; done
      sleep 1
      id=$(xwininfo -root -tree | grep "現在のディレクトリ" | head -n1 | awk "{print \$1}")
      xwd -silent -id "$id" -frame | xwdtopnm 2>/dev/null | pnmtopng > "$0" 2>/dev/null || true
      kill "$pid"; wait "$pid" 2>/dev/null || true' "$1"
  fi
}
echo "== Shift + Parvex ▸ デモ ▸ ホームページ: the remote browser on /www"
hand_off /www
run_brovin "${PARVEX_DEMO_BROVIN_SCREENSHOT:-build/demo/brovin.png}"
if [ -s "${PARVEX_DEMO_BROVIN_SCREENSHOT:-build/demo/brovin.png}" ]; then
  echo "   screenshot of the browser: ${PARVEX_DEMO_BROVIN_SCREENSHOT:-build/demo/brovin.png}"
fi
echo "== the same site over FTP with TLS (FTPS) to a second server that demands it"
# A self-signed certificate, as shared hosting often shows: no authority vouches for it, so the entry
# trusts it by its SHA-256 fingerprint, as the user's answer to the certificate question stores it.
quiet "making a certificate" openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 \
  -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout "$work/tls.key" -out "$work/tls.pem"
fingerprint=$(openssl x509 -in "$work/tls.pem" -noout -fingerprint -sha256 | cut -d= -f2 | tr -d : | tr A-F a-f)
mkdir -p "$work/tls-server/www"
# Its first CWD waits a moment, so that dravik's status line about the login can be read.
/usr/bin/python3 tests/support/pyftpd.py --root "$work/tls-server" --user demo --password demo \
  --port-file "$work/tls-port" --tls-cert "$work/tls.pem" --tls-key "$work/tls.key" --log "$work/tls-server.log" \
  --stor-delay "${PARVEX_DEMO_DELAY:-0.4}" --first-cwd-delay 1.5 &
tls_pid=$!
for _ in $(seq 100); do [ -s "$work/tls-port" ] && break; sleep 0.05; done
tls_port=$(cat "$work/tls-port")
echo "   port $tls_port; certificate SHA-256 $fingerprint"
tls_entry='HKCU\Software\PARVEX\PROVIDER\デモFTPS\/www'
$reg add "$tls_entry" /v ServerAddr /d 127.0.0.1 /f >/dev/null
$reg add "$tls_entry" /v Port /t REG_DWORD /d "$tls_port" /f >/dev/null
$reg add "$tls_entry" /v UserName /d demo /f >/dev/null
$reg add "$tls_entry" /v Password /d demo /f >/dev/null
$reg add "$tls_entry" /v Root /d /www /f >/dev/null
$reg add "$tls_entry" /v MenuName /d "ホームページ (FTPS)" /f >/dev/null
$reg add "$tls_entry" /v Encryption /t REG_DWORD /d 2 /f >/dev/null  # TLS 必須
$reg add "$tls_entry" /v TrustedCertificate /d "$fingerprint" /f >/dev/null
$reg query "$tls_entry"
echo "== right-click on $site, Parvex ▸ デモFTPS ▸ ホームページ (FTPS)"
hand_off /www デモFTPS
tls_shot="${PARVEX_DEMO_TLS_SCREENSHOT:-build/demo/dravik-ftps.png}"
run_dravik "$tls_shot" 0.8
if [ -s "$tls_shot" ]; then
  echo "   screenshot of the dialog as its status line reports the login (\"127.0.0.1接続完了しました (TLS1.3)\"): $tls_shot"
fi
if ! diff -r "$work/server/www/site" "$work/tls-server/www/site" >/dev/null; then
  echo "the encrypted upload differs from the plain one" >&2
  exit 1
fi
echo "   every file arrived byte for byte as over plain FTP"
first=$(grep -m1 -o '<- .*' "$work/tls-server.log" | cut -c4-)
secured=$(grep -m1 -o 'control connection secured with .*' "$work/tls-server.log" || true)
if [ "$first" != "AUTH TLS" ] || [ -z "$secured" ] || ! grep -q '<- PROT P' "$work/tls-server.log"; then
  echo "the upload did not go encrypted (first command: $first)" >&2
  exit 1
fi
echo "   it went encrypted: the server's log shows AUTH TLS first, then \"$secured\" and PROT P (files encrypted too)"
echo "== 変更されたファイルだけ転送する: a copy of the site published, one file edited, published again"
$reg add 'HKCU\Software\PARVEX\Option' /v SendChangedOnly /t REG_DWORD /d 1 /f >/dev/null
mkdir -p "$work/copy" && cp -r demo/site "$work/copy/" && site="$work/copy/site"
stors() { grep -c '<- STOR' "$work/server.log" || true; }
hand_off /www
run_dravik "$work/publish-1.png" 0.1
before=$(stors)
echo "<p>edited</p>" >> "$site/index.html"
hand_off /www
publish_shot="${PARVEX_DEMO_PUBLISH_SCREENSHOT:-build/demo/dravik-publish.png}"
run_dravik "$publish_shot" 1.0
files=$(find "$site" -type f | wc -l)
sent=$(( $(stors) - before ))
echo "   the second upload sent $sent file(s) and left $(( files - sent )) up to date (the server's log: $sent STOR)"
if [ -s "$publish_shot" ]; then echo "   screenshot of its closing status: $publish_shot"; fi
if [ "$sent" -ne 1 ]; then
  echo "only the edited file should have gone" >&2
  exit 1
fi
echo "== done"
