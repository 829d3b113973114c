#!/usr/bin/env bash
# Fails unless BINARY takes the process-status functions from psapi.dll (PSAPI_VERSION=1), not
# the K32 forms from kernel32.dll, which setup programs on older systems do not expect.
# usage: tools/check-psapi-imports.sh OBJDUMP BINARY
set -euo pipefail
table=$("$1" -p "$2")
if grep -Eq '\sK32[A-Za-z]+' <<<"$table"; then
  echo "$(basename "$2") imports K32 functions from kernel32:"
  echo "$table" | grep -E '\sK32[A-Za-z]+'
  exit 1
fi
psapi=$(echo "$table" | sed -n '/DLL Name: [Pp][Ss][Aa][Pp][Ii]\.[Dd][Ll][Ll]/,/DLL Name:/p')
for name in EnumProcesses GetModuleBaseNameA; do
  if ! grep -Eq "\s$name\b" <<<"$psapi"; then
    echo "$(basename "$2") does not import $name from psapi.dll"
    exit 1
  fi
done
echo "$(basename "$2") takes its process-status functions from psapi.dll"
