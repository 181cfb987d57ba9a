#!/usr/bin/env bash
# A host process on the Linux end of a pty pair polls the virtual board that runs under
# Wine on the other end (virtual_board.exe --port N), the way a host program uses the real
# board:
#   host_session_test.sh VIRTUAL_BOARD_EXE MONITOR
# Run through with-pty-pair.sh, which provides OMBRIX_BOARD_COM and OMBRIX_HOST_PTY.
set -u
board=$1
monitor=$2
dir=$(mktemp -d /tmp/ombrix-session.XXXXXX)
failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() {  # check NAME COMMAND...: runs the command, reports and counts a failure
  local name=$1
  shift
  if output=$("$@" 2>&1); then
    pass "$name: $(echo "$output" | tail -2 | tr '\n' ' ')"
  else
    fail "$name: $output"
  fi
}

# A port with no device behind it: the system's text reaches the user, status 2.
out=$(wine "$board" --port 249 </dev/null 2>&1)
rc=$?
if [ $rc -eq 2 ] && echo "$out" | grep -q "cannot open COM249: File not found"; then
  pass "missing port: $out"
else
  fail "missing port: rc=$rc $out"
fi

start_board() {  # start_board ARGS...: runs the board with standard input held open on fd 3
  rm -f "$dir/in" "$dir/out"
  mkfifo "$dir/in"
  wine "$board" --port "$OMBRIX_BOARD_COM" "$@" <"$dir/in" >"$dir/out" 2>&1 &
  wine_pid=$!
  exec 3>"$dir/in"
  for _ in $(seq 300); do
    grep -q "^COM$OMBRIX_BOARD_COM" "$dir/out" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "FAIL the board did not start: $(cat "$dir/out")"
  exit 1
}

start_board
# A fresh window's values: inputs A-D at 100 %, button up, light 0 % (1023), sound 0 % (18), slider 0.
expect_values() {  # expect_values VALUES: 2000 polls as fast as replies come, each checked
  "$monitor" --device "$OMBRIX_HOST_PTY" --rate 0 --count 2000 --quiet --stats |
    tee /dev/stderr | grep -qx "values=$1"
}
check "2000 polls, each answered with the right reply" expect_values 1023,1023,1023,1023,1023,1023,18,0
# Into a pipe the monitor prints its summary only, never a live line per poll.
summary_only() {
  local lines
  lines=$("$monitor" --device "$OMBRIX_HOST_PTY" --rate 0 --count 300 | tee /dev/stderr | wc -l)
  [ "$lines" -eq 2 ]
}
check "300 polls into a pipe: two summary lines" summary_only
check "no answer to any other byte" "$monitor" --device "$OMBRIX_HOST_PTY" --silence
check "1 MiB of random bytes: one reply per poll byte" \
  "$monitor" --device "$OMBRIX_HOST_PTY" --burst 1048576 --seed 7
# The host closes its end, stays away a while, and comes back.
sleep 1
check "host reopened: still answered" "$monitor" --device "$OMBRIX_HOST_PTY" --rate 0 --count 200 --quiet

# Standard input closes: without a script or --stay the board stops and says what it did.
start=$(date +%s%N)
exec 3>&-
wait "$wine_pid"
rc=$?
stop_ms=$(( ($(date +%s%N) - start) / 1000000 ))
if [ $rc -eq 0 ] && [ $stop_ms -lt 2000 ] && grep -q "^polls_answered=[1-9][0-9]* other_bytes_ignored=[1-9]" "$dir/out"; then
  pass "end of input stops the board in ${stop_ms} ms (Wine's process exit included): $(tail -1 "$dir/out")"
else
  fail "stop: rc=$rc ${stop_ms} ms $(cat "$dir/out")"
fi

# A script moves the values; a quit on standard input ends the run.
printf 'set A 50\nset light 30\nset Sensor de som 50\npress\nwait 60s\n' >"$dir/scenario.txt"
start_board --script "Z:$dir/scenario.txt"
check "a script's values reach the host" expect_values 1023,1023,1023,0,521,623,268,0
echo quit >&3
wait "$wine_pid"
rc=$?
[ $rc -eq 0 ] && pass "quit on standard input ends the run" || fail "quit: rc=$rc $(cat "$dir/out")"
exec 3>&-

rm -rf "$dir"
echo "host session: $failures failure(s)"
[ $failures -eq 0 ]
