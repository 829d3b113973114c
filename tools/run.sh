#!/usr/bin/env bash
# Builds the suite and starts the player (QVRPlayer.exe) on the bundled sample under Wine.
# With a DISPLAY the player opens there; without one it runs under a private Xvfb and, once its
# window is on screen and painted, a screenshot is written to build/run-screenshot.png.
#   tools/run.sh [MEDIA_FILE]      (default: the bundled colour-bars AVI with its tone)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
user_display=${DISPLAY:-}
user_runtime=${XDG_RUNTIME_DIR:-}

tools/install-deps.sh
tools/build-libpng-mingw.sh x86_64-w64-mingw32
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target QVRPlayer qvrplay procprobe qvr_connector qvr_samples

media=${1:-build/win64/bin/samples/bars.avi}
tools/winplatform.sh up build/wine
trap 'tools/winplatform.sh down build/wine >/dev/null 2>&1' EXIT
# shellcheck disable=SC1091
source build/wine/env.sh

if [ -n "$user_display" ]; then
  # The user's screen, and their sound server when they have one.
  if [ -S "$user_runtime/pulse/native" ]; then export XDG_RUNTIME_DIR=$user_runtime; fi
  DISPLAY=$user_display tools/wine-exec.sh build/win64/bin/QVRPlayer.exe "$media"
else
  shot=$root/build/run-screenshot.png
  tools/wine-exec.sh build/win64/bin/QVRPlayer.exe "$media" &
  player=$!
  # Wait for the window (class TfrmQVRPlayer, caption the file), then for its painted top bar.
  window=
  for _ in $(seq 600); do
    window=$(xdotool search --name "$(basename "$media")\$" 2>/dev/null | head -1) && [ -n "$window" ] && break
    kill -0 $player 2>/dev/null || { echo "run.sh: the player ended before its window appeared" >&2; exit 1; }
    sleep 0.1
  done
  [ -n "$window" ] || { echo "run.sh: no player window after 60 s" >&2; exit 1; }
  # The place is read each time: Wine may map the window where it was made and move it after.
  for _ in $(seq 100); do
    eval "$(xdotool getwindowgeometry --shell "$window")"
    import -window root "$shot"
    [ "$(convert "$shot" -crop "1x1+$((X + 1))+$((Y + 100))" -format '%[hex:p{0,0}]' info:)" = 6C7881 ] && break
    sleep 0.1
  done
  sleep 1  # let the first frames and the sound start
  import -window root "$shot"
  echo "Screenshot of the player: $shot (close the player with its close button; here it is ended)"
  kill $player 2>/dev/null || true
fi
