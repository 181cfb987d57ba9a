#!/usr/bin/env bash
# The packaged virtual_board must start on CI images with an older C library: either fully
# static, or asking for no symbol version newer than GLIBC_2.17.
#   old_libc_check.sh VIRTUAL_BOARD
set -u
board=$1
if file -L "$board" | grep -q "statically linked"; then
  echo "ok   $board: statically linked"
  exit 0
fi
newest=$(objdump -T "$board" | grep -o 'GLIBC_[0-9][0-9.]*' | sort -uV | tail -1)
if [ -z "$newest" ] || [ "$(printf '%s\nGLIBC_2.17\n' "$newest" | sort -V | tail -1)" = GLIBC_2.17 ]; then
  echo "ok   $board: needs at most ${newest:-no versioned symbol}"
  exit 0
fi
echo "FAIL $board needs $newest, newer than GLIBC_2.17"
exit 1
