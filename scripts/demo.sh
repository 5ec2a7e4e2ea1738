#!/usr/bin/env bash
# A minute with Parvex: builds the suite, sets up a demo provider in a
# throwaway settings store with the reg tool, shows the settings tree and
# the hand-off the file manager passes to the transfer engine, and converts
# the sample site's Shift_JIS text the way an upload would.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/parvex-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
export PARVEX_REGISTRY="$work/registry.db"
reg=./build/bin/reg
site="$PWD/demo/site"

echo "== a provider with a directory entry and the per-extension entry"
entry='HKCU\Software\PARVEX\PROVIDER\デモ\/pub/www'
$reg add "$entry" /v ServerAddr /d 127.0.0.1 /f >/dev/null
$reg add "$entry" /v Port /t REG_DWORD /d 2121 /f >/dev/null
$reg add "$entry" /v UserName /d demo /f >/dev/null
$reg add "$entry" /v Password /d demo /f >/dev/null
$reg add "$entry" /v Root /d /pub/www /f >/dev/null
$reg add "$entry" /v MenuName /d "ホームページ" /f >/dev/null
auto='HKCU\Software\PARVEX\PROVIDER\デモ\拡張子別転送'
$reg add "$auto" /v Root /d / /f >/dev/null
$reg add "$auto" /v MenuName /d "拡張子別転送" /f >/dev/null
$reg add 'HKCU\Software\PARVEX\AutoTransfer\デモ\images' /v AutoTransferExt /d ".gif;.jpg;" /f >/dev/null
$reg add 'HKCU\Software\PARVEX\AutoTransfer\デモ\images' /v AutoTransferDir /d images /f >/dev/null
$reg add 'HKCU\Software\PARVEX\Option' /v TextMode /d ".htm;.html;.txt;.cgi;.csv;" /f >/dev/null

echo "== the hand-off of a right-click on $site"
sel='HKCU\Software\PARVEX\Selected\デモ\/pub/www'
$reg add "$sel" /v Selected0 /d "$site" /f >/dev/null
$reg add "$sel" /v RootDir /d "$(dirname "$site")" /f >/dev/null

$reg query 'HKCU\Software\PARVEX' /s
echo "== the Japanese text as the upload would convert it (\"UploadConvCode\" 2: EUC)"
./build/bin/tesvar --guess "$site/docs/japanese.txt"
./build/bin/tesvar euc "$site/docs/japanese.txt" "$work/japanese.euc"
./build/bin/tesvar --guess "$work/japanese.euc"
iconv -f EUC-JP -t UTF-8 "$work/japanese.euc"

echo "== exported as a .reg file"
$reg export 'HKCU\Software\PARVEX' "$work/parvex.reg" /y >/dev/null
cat "$work/parvex.reg"
