#!/usr/bin/env bash
# CTest's emulator for the MinGW builds: runs one Windows program under the platform that
# tools/winplatform.sh brought up (the test command sources its env.sh first).
# Exit 77 (a skipped test) for a 32-bit program on a machine whose kernel runs no 32-bit ELF
# programs, since Wine's 32-bit loader is one.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine-exec: no Windows test platform; run the tests with tools/test.sh" >&2
  exit 125
fi
program=$1
if [ "$(od -An -tx1 -j "$(( $(od -An -tu4 -j60 -N4 "$program") + 24 ))" -N2 "$program" | tr -d ' ')" = "0b01" ]; then
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "wine-exec: skipped: this kernel cannot run Wine's 32-bit loader (no 32-bit ELF support)" >&2
    exit 77
  fi
  exec /usr/lib/wine/wine "$@"
fi
exec "${WINELOADER:-/usr/lib/wine/wine64}" "$@"
