#!/usr/bin/env bash
# CTest's emulator for the MinGW builds: runs one Windows program under the platform that
# tools/winplatform.sh brought up (the test command sources its env.sh first).
# 32-bit programs run in the platform's 32-bit prefix: natively, or under qemu-i386 inside the
# platform's user namespace. Exit 77 (a skipped test, with the reason on stderr) where this
# machine can run neither.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec: no Windows test platform; run the tests with tools/test.sh" >&2
  exit 125
fi
program=$1
if [ "$(od -An -tx1 -j "$(( $(od -An -tu4 -j60 -N4 "$program") + 24 ))" -N2 "$program" | tr -d ' ')" != "0b01" ]; then
  exec "${WINELOADER:-/usr/lib/wine/wine64}" "$@"
fi

case ${QVR_WINE32_MODE:-none} in
  native)
    export WINEPREFIX=$QVR_WINE32_PREFIX
    exec /usr/lib/wine/wine "$@"
    ;;
  qemu) ;;
  *)
    echo "wine-exec: skipped: ${QVR_WINE32_SKIP_REASON:-the platform runs no 32-bit programs}" >&2
    exit 77
    ;;
esac

# Under qemu. Tests read this to skip what qemu-user cannot do (another process's memory,
# hardware exception codes).
export WINEPREFIX=$QVR_WINE32_PREFIX QVR_WINE32_QEMU=1 LC_ALL=C QEMU_RESERVED_VA=0x81000000
ulimit -c 0  # qemu dumps core where it dies

# qemu-i386 7.2 itself sometimes dies of a signal while a Wine thread waits in a system call
# (it says "qemu: uncaught target signal"; Wine's fault handler never runs). That says nothing
# about the program, so such a death, and only that, is run again a bounded number of times and
# reported. A fault in the program is an exception Wine catches and reports: never retried.
attempts=$(( ${QVR_QEMU_RETRIES:-3} + 1 ))
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for attempt in $(seq "$attempts"); do
  : >"$log"
  nsenter --target "$QVR_WINE32_NAMESPACE" --user --mount --preserve-credentials --wd="$PWD" -- \
    /usr/lib/wine/wine "$@" 2> >(tee "$log" >&2)
  rc=$?
  # tee ends when the last writer does; children the dead program left may hold stderr a while.
  for _ in $(seq 20); do kill -0 $! 2>/dev/null || break; sleep 0.1; done
  death=$(grep -a -m1 -E '^qemu: uncaught target signal|QEMU internal SIG' "$log")
  if [ "$rc" -lt 128 ] || [ -z "$death" ]; then
    exit "$rc"
  fi
  note="wine-exec: qemu-i386 itself died (signal $((rc - 128)), \"${death%% - core dumped*}\") running $(basename "$program") ${*:2}: attempt $attempt of $attempts"
  echo "$note" >&2
  [ -n "${QVR_WINE_PLATFORM:-}" ] && echo "$note" >>"$QVR_WINE_PLATFORM/qemu-deaths.log"
  if [ "$attempt" -lt "$attempts" ]; then
    sleep 1  # let the processes the dead one started see their pipes close and end
  fi
done
exit "$rc"
