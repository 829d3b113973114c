#!/usr/bin/env bash
# Brings the Windows test platform up and down: a private Wine prefix (booted once, cached as a
# tarball in the build tree, unpacked fresh for every run), Xvfb, PulseAudio with a null sink
# and a persistent wineserver with the prefix pre-booted. It stops only what it started.
#
# 32-bit programs get a prefix and a warm wineserver of their own. Where the kernel runs 32-bit
# ELF programs, Wine's 32-bit loader runs directly ("native"); where it does not, the loader runs
# under qemu-i386, registered for i386 ELF in a private binfmt_misc inside a user namespace that
# a holder process keeps alive ("qemu"; nothing changes for the rest of the machine).
# tools/wine-exec.sh enters that namespace for each 32-bit test. QVR_WINE32=native|qemu|none
# forces a mode.
#
#   tools/winplatform.sh up   STATE_DIR   # writes STATE_DIR/env.sh: source it to use the platform
#   tools/winplatform.sh down STATE_DIR
set -euo pipefail

cmd=${1:?up|down}
state=$(mkdir -p "${2:?state dir}" && cd "$2" && pwd)
env_file=$state/env.sh
cache=$state/prefix-cache.tar.zst
prefix=$state/prefix
prefix32=$state/prefix32
cache32=$state/prefix32-cache.tar.zst
holder_pid_file=$state/ns32.pid
holder_tag="qvr-wine32-namespace:$state"
loader32=/usr/lib/wine/wine

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

# Boots a new prefix (8-12 s; about 35 s for the 32-bit one under qemu) and caches it; later
# runs only unpack the cache (2-3 s). Wine runs through "$@" (empty, or into the namespace).
# Uses WINEPREFIX and names the cache after the prefix's folder.
make_cache() {
  local dir=$WINEPREFIX name
  name=$(basename "$dir")
  log "booting a new Wine prefix ($name)"
  rm -rf "$dir"
  "$@" "$WINELOADER" wineboot -i </dev/null >/dev/null 2>&1
  # Without this a crashing program waits forever on a dialog under Xvfb.
  "$@" "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  # Windows 10, not Wine's default of Windows 7: on 6.1 the player picks the Enhanced Video
  # Renderer, whose 64-bit build under Wine crashes on the first frame.
  "$@" "$WINELOADER" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f </dev/null >/dev/null 2>&1
  "$@" wineserver -k || true
  "$@" wineserver -w || true
  [ -f "$dir/system.reg" ] && [ -f "$dir/user.reg" ] || { log "wineboot made no prefix"; return 1; }
  tar -C "$state" -cf - "$name" | zstd -q -T0 -1 -o "$state/$name-cache.tar.zst.tmp" -f
  mv -f "$state/$name-cache.tar.zst.tmp" "$state/$name-cache.tar.zst"
}

unpack_cache() {
  local dir=$WINEPREFIX
  rm -rf "$dir"
  zstd -q -d -c "$state/$(basename "$dir")-cache.tar.zst" 2>/dev/null | tar -C "$state" -xf - 2>/dev/null &&
    [ -f "$dir/system.reg" ]
}

# ---- 32-bit programs ----------------------------------------------------------------------

# i386 ELF executables and shared objects (e_type 2 or 3) -> qemu. F opens the interpreter at
# registration, so it is found from every mount namespace.
binfmt_i386=':qemu-i386:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F'

# Runs as the first process of the new user and mount namespace: registers qemu in the
# namespace's own binfmt_misc (Linux 6.7 or later), then keeps the namespace alive.
hold_namespace() {
  local mnt=$state/binfmt
  mkdir -p "$mnt"
  mount -t binfmt_misc binfmt_misc "$mnt" || exit 1
  printf '%s' "$binfmt_i386" >"$mnt/register" || exit 1
  : >"$state/ns32.ready"
  exec -a "$holder_tag" sleep infinity
}

holder_pid() {  # the pid of this state's namespace holder, if it runs
  local pid
  [ -f "$holder_pid_file" ] || return 1
  pid=$(cat "$holder_pid_file")
  [ -r "/proc/$pid/cmdline" ] && [ "$(tr '\0' ' ' <"/proc/$pid/cmdline")" = "$holder_tag infinity " ] &&
    echo "$pid"
}

# Runs "$@" where the 32-bit programs run: inside the namespace in qemu mode.
in32() {
  if [ "$mode32" = qemu ]; then
    nsenter --target "$(holder_pid)" --user --mount --preserve-credentials --wd="$PWD" -- "$@"
  else
    "$@"
  fi
}

start_namespace() {
  rm -f "$state/ns32.ready"
  setsid unshare --user --map-root-user --mount "$0" hold-namespace "$state" </dev/null >/dev/null 2>&1 &
  echo $! >"$holder_pid_file"
  for _ in $(seq 50); do
    [ -f "$state/ns32.ready" ] && holder_pid >/dev/null && return 0
    kill -0 "$(cat "$holder_pid_file")" 2>/dev/null || break
    sleep 0.1
  done
  kill "$(cat "$holder_pid_file")" 2>/dev/null || true
  rm -f "$holder_pid_file"
  return 1
}

# Sets mode32 (native, qemu or none) and, for none, reason32.
choose_mode32() {
  mode32=${QVR_WINE32:-auto}
  reason32=
  if [ "$mode32" = auto ]; then
    if [ ! -x "$loader32" ]; then
      mode32=none reason32="Wine's 32-bit loader is not installed (wine32:i386)"
    elif "$loader32" --version >/dev/null 2>&1; then
      mode32=native
    elif [ -x /usr/bin/qemu-i386-static ] && command -v unshare >/dev/null && command -v nsenter >/dev/null; then
      mode32=qemu
    else
      mode32=none reason32="this kernel cannot run Wine's 32-bit loader (no 32-bit ELF support) and qemu-user-static is not installed"
    fi
    if [ "$mode32" = qemu ] && ! start_namespace; then
      mode32=none reason32="this kernel runs no 32-bit ELF programs and gives a user namespace no binfmt_misc of its own (Linux 6.7 or later), so qemu-i386 cannot be registered"
    fi
  elif [ "$mode32" = qemu ]; then
    start_namespace || { log "cannot register qemu-i386 in a user namespace"; return 1; }
  elif [ "$mode32" = none ]; then
    reason32="32-bit programs are switched off (QVR_WINE32=none)"
  elif [ "$mode32" != native ]; then
    log "QVR_WINE32 must be native, qemu or none"
    return 1
  fi
}

env32() {
  export WINEPREFIX=$prefix32
  # Under qemu 7.2 a locale file can land on Wine's fixed shared-data address unless the C locale
  # is used (c0000018 at start), and a reserved guest space of 0x81000000 brings a start from
  # about a minute down to a few seconds (smaller values bring back c0000018). No
  # WINELOADERNOEXEC: with binfmt registered the preloader runs under qemu too, and without it
  # the 32-bit tests hang or lose their server connection ("write: Bad file descriptor").
  export LC_ALL=C QEMU_RESERVED_VA=0x81000000
}

# The session's first process is 64-bit (Wine's services inherit its stdio and live as long as
# the server); then the 32-bit loader itself, so that the first test does not pay for it.
warm32() {
  in32 wineserver -p &&
    in32 timeout 120 "$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1 &&
    in32 timeout 180 "$loader32" cmd /c exit </dev/null >/dev/null 2>&1
}

up32() {
  choose_mode32
  [ "$mode32" = none ] && { log "32-bit programs are skipped: $reason32"; return 0; }
  log "32-bit programs run $([ "$mode32" = qemu ] && echo "under qemu-i386 in a user namespace" || echo natively)"
  (
    env32
    if [ ! -f "$cache32" ] || ! unpack_cache; then
      make_cache in32
      unpack_cache || { log "cannot unpack the 32-bit prefix cache"; exit 1; }
    fi
    if ! warm32; then
      log "the cached 32-bit prefix does not start; booting a new one"
      in32 wineserver -k || true
      rm -f "$cache32"
      make_cache in32 && unpack_cache && warm32 || { log "32-bit programs do not start ($mode32)"; exit 1; }
    fi
  )
}

down32() {
  local pid
  pid=$(holder_pid) || pid=
  if [ -d "$prefix32" ]; then
    if [ -n "$pid" ]; then
      WINEPREFIX=$prefix32 nsenter --target "$pid" --user --mount --preserve-credentials -- wineserver -k >/dev/null 2>&1 || true
    else
      WINEPREFIX=$prefix32 wineserver -k >/dev/null 2>&1 || true
    fi
  fi
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
  fi
  rm -f "$holder_pid_file" "$state/ns32.ready"
}

# ---- the platform -----------------------------------------------------------------------------

# Tests talk to 127.0.0.1 only. A player started with fresh settings checks for updates on the
# maker's host two seconds after start: WinINet's configured proxy is a closed loopback port for
# every other host, so no such request leaves the machine (Wine then resolves only 127.0.0.1 and
# fails at once with 12029). Loopback names bypass it.
block_network() {
  local reg=$state/no-network.reg
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Internet Settings]' \
    '"ProxyEnable"=dword:00000001' '"ProxyServer"="127.0.0.1:9"' '"ProxyOverride"="127.0.0.1;localhost;<local>"' >"$reg"
  timeout 60 "$WINELOADER" regedit /S "Z:${reg//\//\\}" </dev/null >/dev/null 2>&1
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
  block_network || { log "cannot set the loopback-only proxy"; return 1; }
  up32
  rm -f "$state/qemu-deaths.log"
  cat >"$env_file" <<ENV
export WINEPREFIX='$WINEPREFIX'
export WINEDEBUG='$WINEDEBUG'
export WINEDLLOVERRIDES='$WINEDLLOVERRIDES'
export WINEARCH='$WINEARCH'
export WINELOADER='$WINELOADER'
export DISPLAY='$DISPLAY'
export XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR'
export QVR_WINE_PLATFORM='$state'
export QVR_WINE32_MODE='$mode32'
export QVR_WINE32_PREFIX='$prefix32'
export QVR_WINE32_NAMESPACE='$(holder_pid || true)'
export QVR_WINE32_SKIP_REASON='$reason32'
ENV
  trap - ERR
}

down() {
  base_env
  wineserver -k >/dev/null 2>&1 || true
  down32
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
  hold-namespace) hold_namespace ;;
  *) echo "usage: $0 up|down STATE_DIR" >&2; exit 2 ;;
esac
