#!/bin/sh
# Runs the window-manager test in six fresh starts of the program under Xvfb and
# openbox: the frame is not always known at once after a start.
set -eu
test_program="$1"
screen_dir=$(mktemp -d)
trap 'kill "$wm" "$x" 2>/dev/null || true; rm -rf "$screen_dir"' EXIT
display=:$((90 + $$ % 900))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
x=$!
export DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$screen_dir"
for _ in 1 2 3 4 5 6 7 8 9 10; do xdpyinfo >/dev/null 2>&1 && break; sleep 0.3; done
openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break; sleep 0.2; done
for start in 1 2 3 4 5 6; do
    "$test_program" -silent || { echo "start $start failed" >&2; exit 1; }
done
echo "six fresh starts under openbox: frame centred, menus at their points"
