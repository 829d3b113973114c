#!/usr/bin/env bash
# The equaliser panel driven with xdotool on the test display: open it from the main menu (the
# logo in the top bar), drag the fourth band down, close it by its Close button. Screenshots of
# each step stay in OUT_DIR.
#
# Two ways to use it:
#   tools/panels-e2e.sh BIN_DIR OUT_DIR      # starts QVRPlayer.exe on the sample itself
#   source tools/panels-e2e.sh; equalizer_e2e_step WINDOW OUT_DIR
#                                            # one step inside another end-to-end script, on a
#                                            # running player's window (an xdotool window id)
# Runs under the Windows test platform (source build/wine/env.sh first; tools/test.sh does).
# Exits 77 (skipped) when the main menu does not open the panel, so it can run before the menu.

# The menu: Open Files, Recent files, Zoom, Aspect Ratio, Color Controls, Equalizer (hidden
# items and separators are skipped by the keyboard), so six steps down.
equalizer_e2e_step() {
  local window=${1:?window} out=${2:?output folder} panel= X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --sync $((X + 2 + 30)) $((Y + 2 + 12)) click 1
  sleep 1
  import -window root "$out/eq-1-menu.png"
  xdotool key --delay 120 Down Down Down Down Down Down Return
  for _ in $(seq 50); do
    panel=$(xdotool search --name '^Equalizer$' 2>/dev/null | head -1) && [ -n "$panel" ] && break
    sleep 0.1
  done
  [ -n "$panel" ] || { echo "panels-e2e: the menu did not open the equaliser" >&2; return 77; }
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$panel")"
  [ "$WIDTH" = 257 ] && [ "$HEIGHT" = 159 ] || { echo "panels-e2e: the panel is ${WIDTH}x$HEIGHT" >&2; return 1; }
  import -window root "$out/eq-2-open.png"
  # Band 4 ("600") sits at 102,6 (16 x 120); its thumb starts in the middle.
  local bx=$((X + 110)) by=$((Y + 66)) i
  xdotool mousemove --sync $bx $by
  sleep 0.2
  xdotool mousedown 1
  for i in 1 2 3 4 5 6; do xdotool mousemove $bx $((by + i * 8)); sleep 0.1; done
  xdotool mouseup 1
  sleep 0.3
  import -window root "$out/eq-3-dragged.png"
  # The thumb went down: row 70 of the slider, lit (white) below the thumb before, is grey now.
  local colour
  colour=$(convert "$out/eq-3-dragged.png" -crop "1x1+$((X + 110))+$((Y + 6 + 70))" -format '%[fx:int(255*r)]' info:)
  [ "$colour" = 128 ] || { echo "panels-e2e: band 4 still lit at its middle ($colour)" >&2; return 1; }
  xdotool search --name '^Equalizer$' >/dev/null 2>&1 || { echo "panels-e2e: the panel closed during the drag" >&2; return 1; }
  xdotool mousemove --sync $((X + 152 + 26)) $((Y + 136 + 8)) click 1
  for _ in $(seq 30); do
    xdotool search --name '^Equalizer$' >/dev/null 2>&1 || { import -window root "$out/eq-4-closed.png"; return 0; }
    sleep 0.1
  done
  echo "panels-e2e: Close did not close the panel" >&2
  return 1
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  bin=${1:?folder of QVRPlayer.exe and samples}
  out=${2:?output folder}
  root=$(cd "$(dirname "$0")/.." && pwd)
  rm -rf "$out"
  mkdir -p "$out/app"
  cp "$bin/QVRPlayer.exe" "$out/app/"
  cp "$bin/samples/bars.avi" "$out/"
  "$WINELOADER" reg delete 'HKCU\Software\QVRPlayer' /f >/dev/null 2>&1 || true
  # Past the first run, whose file-association dialog is the subject of associations-e2e.sh.
  "$WINELOADER" reg add 'HKCU\Software\QVRPlayer' /v Run /t REG_DWORD /d 1 /f >/dev/null 2>&1
  "$root/tools/wine-exec.sh" "$out/app/QVRPlayer.exe" "$(cd "$out" && pwd)/bars.avi" >>"$out/player.log" 2>&1 &
  player=$!
  cleanup() {
    kill "$player" 2>/dev/null || true
    "$WINELOADER" reg delete 'HKCU\Software\QVRPlayer' /f >/dev/null 2>&1 || true
  }
  trap cleanup EXIT
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --name 'bars\.avi$' 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "panels-e2e: no player window" >&2; exit 1; }
  sleep 1.5
  status=0
  equalizer_e2e_step "$window" "$out" || status=$?
  [ "$status" = 0 ] && echo "panels-e2e: passed; screenshots in $out"
  exit "$status"
fi
