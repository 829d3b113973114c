#!/usr/bin/env bash
# Drives the skinned-controls gallery (qvrplay --controls) as a user would, with xdotool on the
# test display: hover a button, latch the repeat toggle, drag the seek thumb, close by the close
# button. Each step leaves a screenshot in OUT_DIR and checks that the screen really changed.
# Runs under the Windows test platform (source build/wine/env.sh first; tools/test.sh does).
#   tools/controls-e2e.sh QVRPLAY_EXE OUT_DIR
set -euo pipefail
exe=${1:?qvrplay.exe}
out=${2:?output folder}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
rm -f "$out"/*.png

fail() { echo "controls-e2e: $*" >&2; exit 1; }
# shellcheck source=tools/e2e-lib.sh
source "$root/tools/e2e-lib.sh"
shot() { import -window root "$out/$1.png"; }
# The md5 of a screen region (WxH+X+Y) of a screenshot.
region() { convert "$out/$1.png" -crop "$2" +repage rgb:- | md5sum | cut -d' ' -f1; }

"$root/tools/wine-exec.sh" "$exe" --controls >"$out/qvrplay.log" 2>&1 &
player=$!
trap 'kill $player 2>/dev/null || true' EXIT

xdotool mousemove 0 0
window=$(find_window '^QVR Player controls$') || fail "the gallery window did not appear"
settled_geometry "$window"
[ "$WIDTH" = 460 ] && [ "$HEIGHT" = 250 ] || fail "the gallery is ${WIDTH}x$HEIGHT, not 460x250"
# Wait for the first paint at the window's place: the title bar's skin colour at its left end.
painted=
for _ in $(seq 50); do
  shot 1-shown
  geometry "$window"
  [ "$(convert "$out/1-shown.png" -crop "1x1+$((X + 2))+$((Y + 16))" -format '%[hex:p{0,0}]' info:)" != 000000 ] && painted=1 && break
  sleep 0.1
done
[ -n "$painted" ] || fail "the gallery was not painted where it stands"

at() { xdotool mousemove --sync $((X + $1)) $((Y + $2)); }

# Hover over Play: its hot frame shows.
play="56x23+$((X + 187))+$((Y + 41))"
xdotool mousemove 0 0
sleep 0.2
at 210 50
at 215 52
hot=
for _ in $(seq 20); do
  sleep 0.1
  shot 2-hover
  [ "$(region 1-shown "$play")" != "$(region 2-hover "$play")" ] && hot=1 && break
done
[ -n "$hot" ] || fail "Play showed no hot frame under the pointer"
sleep 1.2
shot 2-hover  # with its hint

# Latch the repeat toggle: it stays down after the click, with the pointer moved away. Under
# load the repaint may come late, so look for up to two seconds.
repeat="16x16+$((X + 430))+$((Y + 45))"
at 438 53
xdotool click 1
at 300 150
latched=
for _ in $(seq 20); do
  sleep 0.1
  shot 3-repeat-down
  [ "$(region 1-shown "$repeat")" != "$(region 3-repeat-down "$repeat")" ] && latched=1 && break
done
[ -n "$latched" ] || fail "Repeat did not stay down"

# Drag the seek thumb from 1500 to the right; the value shows in the text above it.
seek="300x12+$((X + 10))+$((Y + 206))"
at 104 212
xdotool mousedown 1
for x in 130 170 200 230; do at "$x" 212; done
xdotool mouseup 1
sleep 0.3
shot 4-seek-dragged
[ "$(region 3-repeat-down "$seek")" != "$(region 4-seek-dragged "$seek")" ] || fail "the seek thumb did not move"
text="200x14+$((X + 10))+$((Y + 188))"
[ "$(region 3-repeat-down "$text")" != "$(region 4-seek-dragged "$text")" ] || fail "the dragged value was not shown"

# Close by the close button: the program ends by itself.
at 442 16
xdotool click 1
for _ in $(seq 50); do kill -0 $player 2>/dev/null || break; sleep 0.1; done
kill -0 $player 2>/dev/null && fail "the close button did not end the program"
wait $player || fail "qvrplay --controls ended with an error"
trap - EXIT
echo "controls-e2e: passed; screenshots in $out"
