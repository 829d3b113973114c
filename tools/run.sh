#!/usr/bin/env bash
# Builds the suite and plays the bundled sample under Wine with the console player.
# With a DISPLAY the video window opens there; without one the player runs under Xvfb and a
# screenshot of the playing video is written to build/run-screenshot.png.
#   tools/run.sh [MEDIA_FILE]      (default: the bundled colour-bars AVI with its tone)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
user_display=${DISPLAY:-}
user_runtime=${XDG_RUNTIME_DIR:-}

tools/install-deps.sh
tools/build-libpng-mingw.sh x86_64-w64-mingw32
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target qvrplay QVRPlayer procprobe qvr_connector

media=${1:-build/win64/bin/samples/bars.avi}
tools/winplatform.sh up build/wine
trap 'tools/winplatform.sh down build/wine >/dev/null 2>&1' EXIT
# shellcheck disable=SC1091
source build/wine/env.sh

if [ -n "$user_display" ]; then
  # The user's screen, and their sound server when they have one.
  if [ -S "$user_runtime/pulse/native" ]; then export XDG_RUNTIME_DIR=$user_runtime; fi
  DISPLAY=$user_display tools/wine-exec.sh build/win64/bin/qvrplay.exe "$media"
else
  shot=$root/build/run-screenshot.png
  tools/wine-exec.sh build/win64/bin/qvrplay.exe "$media" &
  player=$!
  sleep 2
  import -window root "$shot"
  wait "$player"
  echo "Screenshot of the playing video: $shot"
fi
