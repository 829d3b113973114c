#!/usr/bin/env bash
# Brings the Windows test platform up and down: a private Wine prefix (booted once, cached as a
# tarball in the build tree, unpacked fresh for every run), Xvfb, PulseAudio with a null sink
# and a persistent wineserver with the prefix pre-booted. It stops only what it started.
#
#   tools/winplatform.sh up   STATE_DIR   # writes STATE_DIR/env.sh: source it to use the platform
#   tools/winplatform.sh down STATE_DIR
set -euo pipefail

cmd=${1:?up|down}
state=$(mkdir -p "${2:?state dir}" && cd "$2" && pwd)
env_file=$state/env.sh
cache=$state/prefix-cache.tar.zst
prefix=$state/prefix

log() { echo "winplatform: $*" >&2; }

base_env() {
  export WINEPREFIX=$prefix
  export WINEDEBUG=-all
  # No Mono/Gecko installers; the ALSA driver is off so that audio goes to PulseAudio.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv=d"
  export WINEARCH=win64
  # The 64-bit loader directly: /usr/bin/wine prefers the 32-bit loader, which cannot start on
  # machines whose kernel runs no 32-bit ELF programs.
  export WINELOADER=/usr/lib/wine/wine64
}

start_xvfb() {
  local fd_file=$state/xvfb.display
  rm -f "$fd_file"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || { log "Xvfb did not start"; return 1; }
  export DISPLAY=:$(tr -d '\n' <"$fd_file")
}

start_pulse() {
  export XDG_RUNTIME_DIR=$state/xdg
  rm -rf "$XDG_RUNTIME_DIR"
  mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
  # Without a sound server Wine has no DirectSound renderer and no audio graph renders.
  HOME=$state pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=null" --load="module-native-protocol-unix" >/dev/null 2>&1 || {
    log "PulseAudio did not start"; return 1; }
  local pid_file=$XDG_RUNTIME_DIR/pulse/pid
  for _ in $(seq 50); do
    [ -s "$pid_file" ] && break
    sleep 0.1
  done
  cp "$pid_file" "$state/pulse.pid"
}

# Boots a new prefix (8-12 s) and caches it; later runs only unpack the cache (2-3 s).
make_cache() {
  log "booting a new Wine prefix"
  rm -rf "$prefix"
  "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
  # Without this a crashing program waits forever on a dialog under Xvfb.
  "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  # Windows 10, not Wine's default of Windows 7: on 6.1 the player picks the Enhanced Video
  # Renderer, whose 64-bit build under Wine crashes on the first frame.
  "$WINELOADER" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f </dev/null >/dev/null 2>&1
  wineserver -k || true
  wineserver -w || true
  [ -f "$prefix/system.reg" ] && [ -f "$prefix/user.reg" ] || { log "wineboot made no prefix"; return 1; }
  tar -C "$state" -cf - prefix | zstd -q -T0 -1 -o "$cache.tmp" -f
  mv -f "$cache.tmp" "$cache"
}

unpack_cache() {
  rm -rf "$prefix"
  zstd -q -d -c "$cache" 2>/dev/null | tar -C "$state" -xf - 2>/dev/null && [ -f "$prefix/system.reg" ]
}

up() {
  down  # leftovers of an earlier run that was interrupted
  trap 'down' ERR
  base_env
  start_xvfb
  start_pulse
  if [ ! -f "$cache" ] || ! unpack_cache; then
    make_cache
    unpack_cache || { log "cannot unpack the prefix cache"; return 1; }
  fi
  wineserver -p
  # The first wine process starts Wine's services, which inherit its stdio and live as long as
  # the server: it must not be a process whose output anyone waits on.
  if ! timeout 120 "$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1; then
    log "the cached prefix does not start; booting a new one"
    wineserver -k || true
    rm -f "$cache"
    make_cache && unpack_cache
    wineserver -p
    timeout 120 "$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1
  fi
  cat >"$env_file" <<ENV
export WINEPREFIX='$WINEPREFIX'
export WINEDEBUG='$WINEDEBUG'
export WINEDLLOVERRIDES='$WINEDLLOVERRIDES'
export WINEARCH='$WINEARCH'
export WINELOADER='$WINELOADER'
export DISPLAY='$DISPLAY'
export XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR'
export QVR_WINE_PLATFORM='$state'
ENV
  trap - ERR
}

down() {
  base_env
  wineserver -k >/dev/null 2>&1 || true
  local pid
  for name in pulse xvfb; do
    if [ -f "$state/$name.pid" ]; then
      pid=$(cat "$state/$name.pid")
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
      rm -f "$state/$name.pid"
    fi
  done
  rm -f "$env_file"
}

case $cmd in
  up) up ;;
  down) down ;;
  *) echo "usage: $0 up|down STATE_DIR" >&2; exit 2 ;;
esac
