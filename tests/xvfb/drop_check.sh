#!/usr/bin/env bash
# Drags files and a folder from another program onto Orvane's list under Xvfb,
# as a person does from the file manager, and checks that the drag was taken.
# The drag source is DragSource.cpp, built here. Optionally saves a screenshot
# of the window with the new rows.
#
# usage: drop_check.sh PATH/TO/orvane [SCREENSHOT.png]
set -euo pipefail
program="$1"
shot="${2:-}"
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
trap 'kill "${source_pid:-0}" "${pid:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/home/Desktop" "$work/docs/Ünïcode – ПРИВЕТ"
: >"$work/docs/Report.docx"
: >"$work/docs/Ünïcode – ПРИВЕТ/Письмо.odt"
: >"$work/docs/.~lock.Report.docx#"
: >"$work/Letter.rtf"

# shellcheck disable=SC2046
g++ -std=c++17 -fPIC -o "$work/DragSource" "$here/DragSource.cpp" $(pkg-config --cflags --libs Qt6Widgets)

display=":$((90 + RANDOM % 400))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY="$display"

env -u QT_QPA_PLATFORM HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" \
    "$program" >/dev/null 2>&1 &
pid=$!
env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work" "$work/DragSource" "$work/docs" "$work/Letter.rtf" \
    >"$work/source.log" 2>/dev/null &
source_pid=$!

for _ in $(seq 100); do
    xwininfo -name Orvane >/dev/null 2>&1 && xwininfo -name DragSource >/dev/null 2>&1 && break
    sleep 0.1
done
info="$(xwininfo -name Orvane)"
left="$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info")"
top="$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")"
sleep 0.5

# Press on the source, move across in steps so both sides see the motion, and
# let go over the middle of the list.
xdotool mousemove 75 75 mousedown 1
sleep 0.3
for step in $(seq 1 10); do
    xdotool mousemove $((75 + (left + 260 - 75) * step / 10)) $((75 + (top + 90 - 75) * step / 10))
    sleep 0.1
done
sleep 0.3
xdotool mouseup 1
sleep 1

if [ -n "$shot" ]; then
    import -window root "$shot" 2>/dev/null || true
fi
cat "$work/source.log"
grep -q "drag ended: copied" "$work/source.log" || { echo "the list did not take the drop"; exit 1; }
echo "1 passed, 0 failed"
