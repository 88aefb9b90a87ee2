#!/bin/sh
# Runs a window test under Xvfb and openbox: wm_test.sh PROGRAM [ARGUMENTS...]. The
# window-manager test runs in six fresh starts (the frame is not always known at once
# after a start); STARTS=1 runs a test once.
set -eu
test_program="$1"
shift
scratch=$(mktemp -d)
trap 'kill "$wm" "$x" 2>/dev/null || true; rm -rf "$scratch"' EXIT
# Xvfb picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >"$scratch/x.log" 2>&1 &
x=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$scratch/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$scratch"
openbox >"$scratch/wm.log" 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.2; done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" || { cat "$scratch"/*.log >&2; exit 1; }
for start in $(seq "${STARTS:-6}"); do
    "$test_program" -silent "$@" || { echo "start $start failed" >&2; cat "$scratch"/*.log >&2; exit 1; }
done
echo "$start fresh start(s) under openbox passed"
