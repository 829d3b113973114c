#!/usr/bin/env bash
# The console player on files a new user might hand it: an item of zero length must end, and a
# file it cannot play must be refused in words. Each run has a time limit of its own, so a hang
# is named. Runs under the Windows test platform (source build/wine/env.sh first; tools/test.sh
# does).
#   qvrplay-files.sh QVRPLAY_EXE WORK_DIR
set -uo pipefail
exe=${1:?qvrplay.exe}
work=${2:?work folder}
root=$(cd "$(dirname "$0")/../../../.." && pwd)
mkdir -p "$work"
work=$(cd "$work" && pwd)
failures=0

fail() {
  echo "qvrplay-files: $*" >&2
  failures=$((failures + 1))
}
# Wine's Z: drive is the Unix root.
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
# run CASE ARGS...: the player's output in $work/CASE.log, its exit code in $rc.
run() {
  local name=$1
  shift
  timeout 30 "$root/tools/wine-exec.sh" "$exe" "$@" >"$work/$name.log" 2>&1
  rc=$?
  [ "$rc" -eq 124 ] && fail "$name: still running after 30 s (output in $work/$name.log)"
  return 0
}
expect_output() {  # CASE TEXT
  grep -qF -- "$2" "$work/$1.log" || fail "$1: no \"$2\" in: $(tr -d '\r' <"$work/$1.log" | head -5)"
}
expect_rc() {  # CASE CODE
  [ "$rc" -eq "$2" ] || fail "$1: exit code $rc, not $2"
}

# A PCM WAV whose data chunk holds nothing: 44.1 kHz, 16-bit stereo.
wav_header() {  # FORMAT_TAG (as \xLL\xHH) DATA_BYTES
  printf 'RIFF\x24\x00\x00\x00WAVEfmt \x10\x00\x00\x00%b\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x00\x00\x00\x00' "$1"
}
wav_header '\x01\x00' >"$work/empty-data.wav"
# A format tag no decoder knows, with a second of "audio".
{
  printf 'RIFF\x24\xb1\x02\x00WAVEfmt \x10\x00\x00\x00\x34\x12\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00data\x00\xb1\x02\x00'
  head -c 176400 /dev/zero
} >"$work/unknown-codec.wav"
printf 'Not a media file.\r\nJust words.\r\n' >"$work/words.txt"
rm -f "$work/no-such-file.wav"

run empty-data "$(windows_path "$work/empty-data.wav")"
expect_rc empty-data 0
expect_output empty-data "Duration: 0.000 s"
expect_output empty-data "State: closed"

run missing "$(windows_path "$work/no-such-file.wav")"
expect_rc missing 1
expect_output missing ": no such file"

run words "$(windows_path "$work/words.txt")"
expect_rc words 1
expect_output words ": not a media file we can read"

run unknown-codec "$(windows_path "$work/unknown-codec.wav")"
expect_rc unknown-codec 1
expect_output unknown-codec ": no renderer for its streams"

# Arguments are checked before anything is opened.
run bad-seconds "$(windows_path "$work/empty-data.wav")" --seconds soon
expect_rc bad-seconds 2
expect_output bad-seconds "usage: qvrplay"

[ "$failures" -eq 0 ] || exit 1
echo "qvrplay-files: all cases passed"
