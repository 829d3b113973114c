#!/usr/bin/env bash
# The first run of QVRPlayer.exe as a user meets it, with xdotool on the test display: the
# file-association dialog appears two seconds after the main window, AVI is ticked by its state
# image and OK pressed; the player is closed, and the sample .avi is opened through the shell
# (Wine's `start` on the file, the "open" verb of its association), which starts the player on
# it. Screenshots of each step stay in OUT_DIR. Every registry key the run writes is removed or
# put back at the end.
# Runs under the Windows test platform (source build/wine/env.sh first; tools/test.sh does).
#   tools/associations-e2e.sh BIN_DIR OUT_DIR
set -euo pipefail
bin=${1:?folder of QVRPlayer.exe and samples}
out=${2:?output folder}
root=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$out"
mkdir -p "$out/app"
cp "$bin/QVRPlayer.exe" "$out/app/"
cp "$bin/samples/bars.avi" "$out/"
exe=$out/app/QVRPlayer.exe
reg() { "$WINELOADER" reg "$@" </dev/null 2>&1 | tr -d '\r'; }

fail() { echo "associations-e2e: $*" >&2; exit 1; }
shot() { import -window root "$out/$1.png"; }

# What the run changes, as it was.
saved=()
for key in 'HKCR\.avi' 'HKCU\Software\Classes\.avi' 'HKCU\Software\RegisteredApplications' \
  'HKCU\Software\Clients\Media' 'HKCU\Software\Clients' 'HKCU\Software\Classes'; do
  file="$out/before-${#saved[@]}.reg"
  "$WINELOADER" reg export "$key" "$file" /y </dev/null >/dev/null 2>&1 || file=
  saved+=("$key|$file")
done
reg delete 'HKCU\Software\QVRPlayer' /f >/dev/null || true

players=()
restore() {
  for p in "${players[@]}"; do kill "$p" 2>/dev/null || true; done
  reg delete 'HKCR\QVRPlayer.avi' /f >/dev/null || true
  reg delete 'HKCU\Software\QVRPlayer' /f >/dev/null || true
  # The keys as exported before, or gone when they did not exist.
  local entry
  for entry in "${saved[@]}"; do
    reg delete "${entry%%|*}" /f >/dev/null || true
    [ -z "${entry#*|}" ] || "$WINELOADER" reg import "${entry#*|}" </dev/null >/dev/null 2>&1 || true
  done
}
trap restore EXIT
source "$root/tools/e2e-lib.sh"
click() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.4; }
close_player() {  # by the close button; "ForceExit" keeps the exit question away
  reg add 'HKCU\Software\QVRPlayer' /v ForceExit /t REG_DWORD /d 1 /f >/dev/null
  geometry "$1"
  click $((X + WIDTH - 12)) $((Y + 17))
  for _ in $(seq 100); do kill -0 "$2" 2>/dev/null || return 0; sleep 0.1; done
  fail "the player did not end"
}

# 1. First run: the dialog comes two seconds after the main window, centred over it.
"$root/tools/wine-exec.sh" "$exe" >>"$out/player.log" 2>&1 &
player=$!
players+=($player)
main=$(find_window '^QVR Player$') || fail "no player window"
dialog=$(find_window '^File Associations$') || fail "no file-association dialog on the first run"
sleep 0.5
shot 1-dialog
[ "$(reg query 'HKCU\Software\QVRPlayer' /v Run | grep -c '0x1')" = 1 ] || fail '"Run" is not 1 while the dialog shows'
settled_geometry "$dialog"
[ "$WIDTH" = 327 ] && [ "$HEIGHT" = 291 ] || fail "the dialog is ${WIDTH}x$HEIGHT, not 327x291"
dx=$X dy=$Y

# 2. AVI is the ninth node (Audio and its five, Video, ASF, AVI), 16 pixels a row from the top
# of the tree at (8, 8); its state image sits left of its text. Then OK at (244, 8).
click $((dx + 56)) $((dy + 8 + 1 + 8 * 16 + 8))
shot 2-avi-ticked
click $((dx + 244 + 37)) $((dy + 8 + 11))
for _ in $(seq 50); do xdotool search --onlyvisible --name '^File Associations$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --onlyvisible --name '^File Associations$' >/dev/null 2>&1 && fail "the dialog did not close on OK"
shot 3-applied
reg query 'HKCR\.avi' /ve | grep -q 'QVRPlayer.avi' || fail ".avi is not associated: $(reg query 'HKCR\.avi' /ve)"
reg query 'HKCR\QVRPlayer.avi\shell\open\command' /ve | grep -qF "QVRPlayer.exe\" \"%1\"" ||
  fail "no open command: $(reg query 'HKCR\QVRPlayer.avi\shell\open\command' /ve)"
reg query 'HKCR\.mp3' /ve | grep -q 'QVRPlayer' && fail ".mp3 was associated too"
close_player "$main" "$player"

# 3. The shell's "open" verb of the .avi starts the player on it.
"$WINELOADER" start /unix "$(cd "$out" && pwd)/bars.avi" </dev/null >>"$out/player.log" 2>&1
window=$(find_window 'bars\.avi$') || fail "opening bars.avi through the shell started no player on it"
sleep 1.5
shot 4-opened-by-the-shell
# The player started by the shell, found by its command line.
app_win="Z:$(cd "$out/app" && pwd | tr / '\\')\\QVRPlayer.exe"
pid=$(pgrep -af 'QVRPlayer\.exe' | grep -F "$app_win" | grep -F 'bars.avi' | head -1 | cut -d' ' -f1) || true
[ -n "$pid" ] || fail "no player process with bars.avi on its command line"
players+=($pid)
close_player "$window" "$pid"
echo "associations-e2e: passed; screenshots in $out"
