#!/usr/bin/env bash
# Starts the real program under Xvfb with an empty settings store and checks what
# a person would see: a window titled "Orvane" with a 536 x 379 client area, and
# the output folder written to Tessaly.ini. Optionally saves a screenshot.
#
# usage: window_check.sh PATH/TO/orvane [SCREENSHOT.png]
set -euo pipefail
program="$1"
shot="${2:-}"

work="$(mktemp -d)"
trap 'kill "${pid:-0}" 2>/dev/null || true; kill "${xvfb:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/home/Desktop"

# Xvfb picks a free display itself and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
display=":$(head -n1 "$work/display")"

env -u QT_QPA_PLATFORM DISPLAY="$display" HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work" "$program" >"$work/program.log" 2>&1 &
pid=$!

info=""
for _ in $(seq 300); do
    info="$(xwininfo -display "$display" -name Orvane 2>/dev/null || true)"
    [ -n "$info" ] && break
    sleep 0.1
done
[ -n "$info" ] || { echo "no window titled Orvane appeared; the program said:"; cat "$work/program.log"; exit 1; }
width="$(awk '/Width:/ {print $2}' <<<"$info")"
height="$(awk '/Height:/ {print $2}' <<<"$info")"
echo "window Orvane: ${width}x${height}"
[ "$width" = 536 ] && [ "$height" = 379 ] || { echo "expected a 536x379 client area"; exit 1; }

ini="$work/config/Tessaly.ini"
grep -q '^\[Orvane\]' "$ini" || { echo "no [Orvane] group in $ini"; exit 1; }
grep -qx "Text1=$work/home/Desktop/" "$ini" || { echo "Text1 not stored as the desktop folder:"; cat "$ini"; exit 1; }

if [ -n "$shot" ] && command -v import >/dev/null; then
    sleep 0.5
    import -display "$display" -window root "$shot" || true
fi
echo "1 passed, 0 failed"
