#!/usr/bin/env bash
# Runs a window test on an X server of its own: a fresh Xvfb with a
# 1024 x 768 screen, so that tests running side by side never share
# windows, focus or the pointer, and every test sees the same screen.
set -euo pipefail
case " $* " in
  *" --gtest_list_tests "*) exec "$@" ;;  # listing the tests opens no window
esac
fifo=$(mktemp -u "${TMPDIR:-/tmp}/parvex-xvfb-XXXXXX")
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
xvfb=$!
# Bounded: an X server that never says its display would otherwise hang the test until CTest's own limit.
if ! read -r -t 30 display <"$fifo"; then
  rm -f "$fifo"
  kill "$xvfb" 2>/dev/null || true
  echo "with_xvfb.sh: Xvfb did not start within 30 s" >&2
  exit 1
fi
rm -f "$fifo"
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=":$display"
export NO_AT_BRIDGE=1 GTK_A11Y=none
"$@"
