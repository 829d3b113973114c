#!/usr/bin/env bash
# Fails when an object holds an aligned YMM/ZMM move whose memory operand is on the stack.
# GCC for x86_64 Windows keeps the stack 16-byte aligned only, yet may spill 32-byte vectors
# with aligned moves: such a move faults whenever the slot happens to be misaligned.
# usage: tools/check-vector-spills.sh OBJDUMP OBJECT...
set -euo pipefail
objdump=$1
shift
status=0
for object in "$@"; do
  hits=$("$objdump" -d --no-show-raw-insn "$object" |
    grep -E '\s(vmovaps|vmovapd|vmovdqa|vmovdqa32|vmovdqa64|vmovntps|vmovntpd|vmovntdq)\s' |
    grep -E '%[yz]mm' | grep -E '\(%(rsp|rbp|esp|ebp)' || true)
  if [ -n "$hits" ]; then
    echo "$(basename "$object") moves vectors to or from the stack with aligned moves:"
    echo "$hits" | head -5
    status=1
  fi
done
[ $status -ne 0 ] || echo "no aligned vector moves on the stack in $# objects"
exit $status
