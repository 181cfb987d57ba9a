#!/usr/bin/env bash
# Runs the examples the way the README's CI step does, so that they cannot rot: the
# virtual board on examples/scenario.txt, and examples/host.py polling it until the
# scenario's quit takes the board away.
#   examples_test.sh VIRTUAL_BOARD
set -u
board=$1
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
dir=$(mktemp -d /tmp/ombrix-examples.XXXXXX)
trap 'rm -rf "$dir"' EXIT

"$board" --script "$examples/scenario.txt" --link "$dir/board" >"$dir/board.log" 2>&1 &
board_pid=$!
for _ in $(seq 50); do [ -e "$dir/board" ] && break; sleep 0.1; done
kill -0 $board_pid && [ -e "$dir/board" ] || { echo "FAIL no board: $(cat "$dir/board.log")"; exit 1; }
python3 "$examples/host.py" "$dir/board" >"$dir/host.log" 2>&1
host_rc=$?
wait "$board_pid"
board_rc=$?
cat "$dir/host.log"

failures=0
expect() {  # expect TEXT: a line of the host's output holds it
  grep -qF -- "$1" "$dir/host.log" || { echo "FAIL the host never showed '$1'"; failures=$((failures + 1)); }
}
expect "light=1023 sound=18 slider=0 button=up"  # a fresh board
expect "light=0 sound=500"                       # the lamp fully on, the clap at 80 %
expect "slider=1023 button=pressed"
expect "B=700 A=521"
expect " 0 missing or malformed replies"
[ $host_rc -eq 0 ] || { echo "FAIL host.py ended with $host_rc"; failures=$((failures + 1)); }
[ $board_rc -eq 0 ] && grep -q "^polls_answered=[1-9]" "$dir/board.log" && [ ! -L "$dir/board" ] ||
  { echo "FAIL the board: status $board_rc, $(cat "$dir/board.log")"; failures=$((failures + 1)); }
echo "examples: $failures failure(s)"
[ $failures -eq 0 ]
