#!/usr/bin/env bash
# Fails when a Windows binary imports a DLL that a bare Windows does not have (the MinGW
# runtime, libstdc++, winpthread, zlib1 and the like): the deliverables are linked statically.
# usage: tools/check-imports.sh OBJDUMP BINARY...
set -euo pipefail
objdump=$1
shift
allowed='^(kernel32|user32|gdi32|gdiplus|advapi32|shell32|shlwapi|ole32|oleaut32|comdlg32|comctl32|winmm|wininet|wintrust|crypt32|psapi|msvcrt|version|uxtheme|dwmapi|windowscodecs|quartz|winspool|imm32|msimg32|ws2_32|api-ms-win-.*|xpcom|mozalloc)\.dll$'
status=0
for binary in "$@"; do
  while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
      echo "$(basename "$binary") imports $dll, which a bare Windows does not provide"
      status=1
    fi
  done < <("$objdump" -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done
[ $status -ne 0 ] || echo "imports of $# binaries are all system DLLs"
exit $status
