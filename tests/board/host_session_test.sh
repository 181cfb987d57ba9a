#!/usr/bin/env bash
# A host process on the Linux end of a pty pair polls the board responder that runs under
# Wine on the other end, the way a host program uses the real board:
#   host_session_test.sh RESPONDER_EXE MONITOR
# Run through with-pty-pair.sh, which provides OMBRIX_BOARD_COM and OMBRIX_HOST_PTY.
set -u
responder=$1
monitor=$2
dir=$(mktemp -d /tmp/ombrix-session.XXXXXX)
failures=0
check() {  # check NAME COMMAND...: runs the command, reports and counts a failure
  local name=$1
  shift
  if output=$("$@" 2>&1); then
    echo "ok   $name: $(echo "$output" | tail -2 | tr '\n' ' ')"
  else
    echo "FAIL $name: $output"
    failures=$((failures + 1))
  fi
}

# A port with no device behind it: the system's code reaches the caller.
out=$(wine "$responder" --port 249 </dev/null 2>&1)
if [ $? -eq 2 ] && echo "$out" | grep -q "open_failed error=2 "; then
  echo "ok   missing port reports error 2: $out"
else
  echo "FAIL missing port: $out"
  failures=$((failures + 1))
fi

mkfifo "$dir/in"
wine "$responder" --port "$OMBRIX_BOARD_COM" <"$dir/in" >"$dir/out" 2>&1 &
wine_pid=$!
exec 3>"$dir/in"
for _ in $(seq 300); do
  grep -q ready "$dir/out" 2>/dev/null && break
  sleep 0.1
done
grep -q ready "$dir/out" || { echo "FAIL responder did not start: $(cat "$dir/out")"; exit 1; }

# A fresh start's values: inputs A-D at 100 %, button up, light 0 % (1023), sound 0 % (18), slider 0.
expect_values() {
  "$monitor" --device "$OMBRIX_HOST_PTY" --rate 0 --count 2000 --quiet --stats |
    tee /dev/stderr | grep -qx "values=1023,1023,1023,1023,1023,1023,18,0"
}
check "2000 polls, each answered with the right reply" expect_values
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

exec 3>&-  # standard input closes: the responder stops like a run does
wait "$wine_pid"
rc=$?
stop=$(grep -o 'stop_ms=[0-9.]*' "$dir/out" | cut -d= -f2)
if [ $rc -eq 0 ] && [ -n "$stop" ] && awk "BEGIN { exit !($stop < 1000) }"; then
  echo "ok   stop with a silent host: ${stop} ms"
else
  echo "FAIL stop: rc=$rc $(cat "$dir/out")"
  failures=$((failures + 1))
fi
rm -rf "$dir"
echo "host session: $failures failure(s)"
[ $failures -eq 0 ]
