#!/usr/bin/env bash
# Drives the playlist window of QVRPlayer.exe as a user would, with xdotool on the test display:
# three files opened (one on the command line, two handed over by second starts), the third row
# dragged to the top with the mouse, double-clicked and played, the playlist dragged away and
# back until it snaps to the main window, the main window moved with the playlist following,
# then close and restart with the list in the same order. Screenshots stay in OUT_DIR.
# Runs under the Windows test platform (source build/wine/env.sh first; tools/test.sh does).
#   tools/playlist-e2e.sh BIN_DIR OUT_DIR
set -euo pipefail
bin=${1:?folder of QVRPlayer.exe and samples}
out=${2:?output folder}
root=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$out"
mkdir -p "$out/app"
cp "$bin/QVRPlayer.exe" "$out/app/"
# Two minutes each: no item ends while the windows are dragged (an end starts the next row,
# and opening it would move the windows under the pointer).
for name in one two third; do
  python3 - "$out/$name.wav" <<'PY'
import math, struct, sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000)
    w.writeframes(b"".join(struct.pack("<h", int(3000 * math.sin(i * 0.2))) for i in range(8000 * 120)))
PY
done
exe=$out/app/QVRPlayer.exe
media=$(cd "$out" && pwd)

fail() { echo "playlist-e2e: $*" >&2; shot failure || true; exit 1; }
shot() { import -window root "$out/$1.png"; }
source "$root/tools/e2e-lib.sh"
"$WINELOADER" reg delete 'HKCU\Software\QVRPlayer' /f >/dev/null 2>&1 || true
# Past the first run, whose file-association dialog is the subject of associations-e2e.sh.
"$WINELOADER" reg add 'HKCU\Software\QVRPlayer' /v Run /t REG_DWORD /d 1 /f >/dev/null 2>&1

players=()
cleanup() { for p in "${players[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
start() {
  "$root/tools/wine-exec.sh" "$exe" "$@" >>"$out/player.log" 2>&1 &
  players+=($!)
  player=$!
}
hand_over() {
  "$root/tools/wine-exec.sh" "$exe" "$1" >>"$out/player.log" 2>&1 &
  local second=$!
  for _ in $(seq 100); do kill -0 $second 2>/dev/null || return 0; sleep 0.1; done
  fail "the second start with $1 did not end"
}
saved_order() { tr -d '\r' <"$out/app/default.m3u" | sed 's|.*[\\/]||' | tr '\n' ' '; }
# Row i of the playlist's list, in screen pixels: the list starts 38 pixels down, rows are 19 high.
row_y() { echo $((PY + 38 + 19 * $1 + 9)); }

# 1. Three files: the first on the command line, two handed over; the playlist shows itself.
start "$media/one.wav"
window=$(find_window 'one\.wav$') || fail "no player window"
sleep 1
hand_over "$media/two.wav"
hand_over "$media/third.wav"
playlist=$(find_window '^QVR PlayList$') || fail "no playlist window"
sleep 1
shot 1-three-files
eval "$(settled_shell "$playlist" | sed 's/^/P/')"

# 2. Drag the third row to the top.
drag $((PX + 100)) "$(row_y 2)" $((PX + 100)) "$(row_y 0)"
shot 2-dragged

# 3. Double-click the top row: the main window plays it.
xdotool mousemove --sync $((PX + 100)) "$(row_y 0)" click --repeat 2 --delay 80 1
find_window 'third\.wav$' >/dev/null || fail "the top row did not play after the drag"
sleep 1
shot 3-playing

# 4. Drag the playlist by its title bar to the top left, clear of the main window...
x0=$PX y0=$PY
drag $((PX + 120)) $((PY + 15)) $((PX + 120 - 380)) $((PY + 15 - 230))
eval "$(xdotool getwindowgeometry --shell "$playlist" | sed 's/^/P/')"
geometry "$window"
[ $((x0 - PX)) -ge 300 ] && [ $((y0 - PY)) -ge 150 ] || fail "the playlist did not move ($x0,$y0 -> $PX,$PY)"
shot 4-away
# ...and dragged back within 10 pixels of the main window's right edge and top, it snaps there.
drag $((PX + 120)) $((PY + 15)) $((X + WIDTH + 6 + 120)) $((Y + 7 + 15))
eval "$(xdotool getwindowgeometry --shell "$playlist" | sed 's/^/P/')"
[ "$PX $PY" = "$((X + WIDTH)) $Y" ] || fail "the playlist did not snap ($PX $PY against $((X + WIDTH)) $Y)"
shot 5-snapped

# 5. Move the main window by its top bar: the docked playlist follows.
drag $((X + 250)) $((Y + 18)) $((X + 250 - 300)) $((Y + 18 + 60))
geometry "$window"
eval "$(xdotool getwindowgeometry --shell "$playlist" | sed 's/^/P/')"
[ "$PX $PY" = "$((X + WIDTH)) $Y" ] || fail "the playlist did not follow ($PX $PY against $((X + WIDTH)) $Y)"
shot 6-followed

# 6. Close and restart: the list comes back in the dragged order.
close_and_answer
order=$(saved_order)
[ "$order" = "third.wav one.wav two.wav " ] || fail "saved order '$order'"
start
window=$(find_window '^QVR Player$') || fail "no player window at the second start"
sleep 1
shot 7-restarted
close_and_answer
order=$(saved_order)
[ "$order" = "third.wav one.wav two.wav " ] || fail "order after the restart '$order'"
trap - EXIT
"$WINELOADER" reg delete 'HKCU\Software\QVRPlayer' /f >/dev/null 2>&1 || true
echo "playlist-e2e: passed; screenshots in $out"
