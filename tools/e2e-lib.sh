# The xdotool moves the end-to-end scripts share; sourced by them. The caller defines fail().

# The first window whose name matches, within 30 s.
find_window() {
  local w=
  for _ in $(seq 300); do
    w=$(xdotool search --name "$1" 2>/dev/null | head -1) && [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  return 1
}

# X, Y, WIDTH and HEIGHT of a window.
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }

# The geometry of a window that has just appeared, once it holds still (as xdotool's --shell
# lines): Wine may map a new window where it was created and move it to its place a moment later.
settled_shell() {
  local last= now
  for _ in $(seq 50); do
    now=$(xdotool getwindowgeometry --shell "$1")
    [ "$now" = "$last" ] && break
    last=$now
    sleep 0.2
  done
  echo "$now"
}
settled_geometry() { eval "$(settled_shell "$1")"; }

# drag X1 Y1 X2 Y2 with the left button, in steps of about 10 pixels (under Wine, a window in
# the system's move loop stops following after a first jump of some 50 pixels; a hand moves in
# small steps anyway).
drag() {
  xdotool mousemove --sync "$1" "$2"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.3
  local dx=$(($3 - $1)) dy=$(($4 - $2)) n i
  n=$(( (${dx#-} > ${dy#-} ? ${dx#-} : ${dy#-}) / 10 + 1 ))
  for i in $(seq 0 "$n"); do xdotool mousemove $(($1 + dx * i / n)) $(($2 + dy * i / n)); sleep 0.08; done
  sleep 0.3
  xdotool mouseup 1
  sleep 0.5
}

# Closes the player's $window by its close button and answers the exit question Yes; $player
# is its process. An optional argument names a screenshot of the question (needs shot()).
close_and_answer() {
  geometry "$window"
  xdotool mousemove --sync $((X + WIDTH - 12)) $((Y + 17)) click 1
  local dialog=
  for _ in $(seq 100); do
    dialog=$(xdotool search --name '^QVR Player$' 2>/dev/null | grep -vx "$window" | head -1) && [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || fail "the exit question did not appear"
  sleep 0.3
  [ -z "${1:-}" ] || shot "$1"
  xdotool key Return
  for _ in $(seq 100); do kill -0 "$player" 2>/dev/null || return 0; sleep 0.1; done
  fail "the player did not end after Yes"
}
