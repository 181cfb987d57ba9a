#!/usr/bin/env bash
# The virtual board as a host developer's test uses it: the real tool on a real
# pseudo-terminal (or a serial device), polled by a host process, the board monitor.
#   virtual_board_test.sh VIRTUAL_BOARD MONITOR
# The expected replies are worked out here from the board's curves, not by the tool's code.
set -u
board=$1
monitor=$2
dir=$(mktemp -d /tmp/ombrix-vboard.XXXXXX)
socat_pid=
cleanup() {
  [ -n "${board_pid:-}" ] && kill "$board_pid" 2>/dev/null
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

start_board() {  # start_board NAME ARGS...: standard input held open on fd 3; sets board_pid, host
  local name=$1
  shift
  rm -f "$dir/in"
  mkfifo "$dir/in"
  "$board" "$@" <"$dir/in" >"$dir/$name.out" 2>"$dir/$name.err" &
  board_pid=$!
  exec 3>"$dir/in"
  for _ in $(seq 100); do
    host=$(head -1 "$dir/$name.out" 2>/dev/null)
    [ -n "$host" ] && return 0
    sleep 0.05
  done
  fail "$name: the board did not start: $(cat "$dir/$name.err")"
  return 1
}
reap() {  # reap: waits up to 5 s for the board to end; returns its exit status
  for _ in $(seq 100); do
    kill -0 "$board_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$board_pid" 2>/dev/null && { fail "the board did not end within 5 s"; kill -KILL "$board_pid"; }
  wait "$board_pid"
  local rc=$?
  board_pid=
  return $rc
}
stop_board() {  # stop_board: standard input closes; returns the board's exit status
  exec 3>&-
  reap
}
wait_for() {  # wait_for FILE PATTERN: up to 5 s
  for _ in $(seq 100); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}
poll_values() {  # poll_values: one poll; prints the eight values
  "$monitor" --device "$host" --count 1 --quiet | sed -n 's/^values=//p'
}

# --- A script moves light, sound, A and the slider through points of their curves and
# presses the button; the host sees each stage in turn. Wire order: D C B button A light
# sound slider. Light: trunc(1023 - p*998/75) up to 75 %, 100 - p above. Sound: 2p + 18
# below 25 %, trunc((p - 24)*580/75 + 67) from 25 %. A and the slider: 0 at 0 %, 1023 at
# 100 %, 1016 at 99 %, else trunc((p + 1)*1023/100).
cat >"$dir/points.txt" <<'EOF'
wait 1s                  # time for the host to open its end
set light 30
set sound 10
set A 1
set slider 50
wait 400ms
set light 75
set sound 24
set Entrada A 50
press
wait 400ms
set Sensor de luz 76
set sound 25
set a 99
release
wait 400ms
set light 100
set sound 100
set A 0
raw 7 1000               # a wire value as it is
wait 400ms
set light 0
raw 5 512
set sound 50
set A 100
wait 3s
quit
EOF
expected=(
  1023,1023,1023,1023,1023,1023,18,0
  1023,1023,1023,1023,20,623,38,521
  1023,1023,1023,0,521,25,66,521
  1023,1023,1023,1023,1016,24,74,521
  1023,1023,1023,1023,0,0,654,1000
  1023,1023,1023,1023,1023,512,268,1000
)
# Time-bound checks get a second or third try on a busy machine; a fault fails them all.
for attempt in 1 2; do
  start_board points --script "$dir/points.txt" || break
  "$monitor" --device "$host" --rate 500 --count 1500 --changes --quiet >"$dir/points.host"
  stop_board
  rc=$?
  seen=$(sed -n 's/^t_ms=[0-9.]* values=//p' "$dir/points.host")
  found=0
  while read -r line; do
    [ $found -lt ${#expected[@]} ] && [ "$line" = "${expected[$found]}" ] && found=$((found + 1))
  done <<<"$seen"
  missing="${expected[*]:$found}"
  [ -n "$missing" ] && [ $attempt -lt 2 ] && { echo "     stages missed ($missing), again"; continue; }
  if [ -z "$missing" ] && [ $rc -eq 0 ] && grep -q "^polls=1500 missing=0 malformed=0" "$dir/points.host" &&
    grep -qx "polls_answered=1500 other_bytes_ignored=0 replies_lost=0" "$dir/points.out"; then
    pass "script stages reach the host in order; 1500 polls, 1500 answered"
  else
    fail "script stages: rc=$rc missing: $missing; seen: $(echo $seen); $(tail -2 "$dir/points.host"; tail -1 "$dir/points.out")"
  fi
  break
done

# --- A ramp: the host sees A rise monotonically from 0 to 1023, and the end value comes
# within one 10 ms step of the ramp's end (host-side times, polled every millisecond).
printf 'wait 1s\nramp A 0 100 1s\nwait 2s\nquit\n' >"$dir/ramp.txt"
for attempt in 1 2 3; do
  start_board ramp --script "$dir/ramp.txt" --log || break
  "$monitor" --device "$host" --rate 1000 --count 2500 --changes --quiet >"$dir/ramp.host"
  stop_board
  verdict=$(awk -F'[= ,]' '/^t_ms=/ { t = $2; a = $8
      if (!started && a == 0) { started = 1; t0 = t; last = 0; next }
      if (started && !ended) { if (a < last) bad = bad " " last "->" a; last = a; if (a == 1023) { ended = 1; t1 = t } } }
    END { if (!started || !ended) print "no full ramp seen"
          else if (bad != "") print "not monotonic:" bad
          else if (t1 - t0 < 990 || t1 - t0 > 1012) print "end after " t1 - t0 " ms"
          else print "ok " t1 - t0 " ms" }' "$dir/ramp.host")
  case "$verdict" in
    ok*) pass "ramp: monotonic, end value ${verdict#ok } after its start" ;;
    "end after"*) [ $attempt -lt 3 ] && { echo "     ramp: $verdict, again"; continue; }
      fail "ramp: $verdict" ;;
    *) fail "ramp: $verdict" ;;
  esac
  break
done

# --- Bad script lines: status 2, the file and line named with what was expected, and
# nothing opened: no host end printed, no link.
bad_cases=(
  $'set A 5\nfly 3|:2: unknown command \'fly\'; expected set, raw'
  $'# light\n\nset light 101|:3: percentage \'101\' is not valid; expected a whole number from 0 to 100'
  $'wait 5|:1: malformed duration \'5\'; expected a number followed by ms or s'
  $'set A 5\nset Q 5|:2: unknown channel \'Q\'; expected A, B, C, D'
  $'raw 3 0|:1: wire channel \'3\' cannot be set raw'
  $'drop 1\ndelay 5ms 1|:2: malformed duration \'1\''
)
for case in "${bad_cases[@]}"; do
  printf '%s\n' "${case%%|*}" >"$dir/bad.txt"
  said="${case#*|}"
  "$board" --script "$dir/bad.txt" --link "$dir/bad-link" </dev/null >"$dir/bad.out" 2>"$dir/bad.err"
  rc=$?
  if [ $rc -eq 2 ] && grep -qF -- "$dir/bad.txt$said" "$dir/bad.err" && [ ! -s "$dir/bad.out" ] &&
    [ ! -e "$dir/bad-link" ] && [ ! -L "$dir/bad-link" ]; then
    pass "bad script refused: $(cat "$dir/bad.err")"
  else
    fail "bad script '${case%%|*}': rc=$rc out=$(cat "$dir/bad.out") err=$(cat "$dir/bad.err")"
  fi
done

# --- Bad options: the argument named first, then the usage, status 2.
option_cases=(
  "--bogus|unknown option '--bogus'"
  "stray|unexpected argument 'stray'"
  "--script|--script needs a value"
  "--port 0|--port takes a number from 1 to 99999999, not '0'"
)
for case in "${option_cases[@]}"; do
  # shellcheck disable=SC2086 # the options are words
  "$board" ${case%%|*} </dev/null >"$dir/opt.out" 2>"$dir/opt.err"
  rc=$?
  if [ $rc -eq 2 ] && [ "$(head -1 "$dir/opt.err")" = "virtual_board: ${case#*|}" ] &&
    sed -n 2p "$dir/opt.err" | grep -q "^usage: virtual_board"; then
    pass "bad option: $(head -1 "$dir/opt.err")"
  else
    fail "bad option ${case%%|*}: rc=$rc $(cat "$dir/opt.err")"
  fi
done

# The monitor refuses a malformed number instead of reading it as 0 (a flood, or no end).
for args in "--rate x|--rate takes polls per second" "--count 5x|--count takes a whole number"; do
  # shellcheck disable=SC2086 # the options are words
  out=$(timeout 10 "$monitor" --device /dev/null ${args%%|*} 2>&1)
  rc=$?
  [ $rc -eq 2 ] && echo "$out" | head -1 | grep -q "^board_monitor: ${args#*|} from 0 to" &&
    pass "monitor: $(echo "$out" | head -1)" || fail "monitor ${args%%|*}: rc=$rc $out"
done

# Before anything opens: with a device that does not exist, it is the script that is refused.
printf 'set A 5\nset A 500\n' >"$dir/bad.txt"
out=$("$board" --script "$dir/bad.txt" --device "$dir/none" </dev/null 2>&1)
rc=$?
if [ $rc -eq 2 ] && [ "$out" = "virtual_board: $dir/bad.txt:2: percentage '500' is not valid; expected a whole number from 0 to 100" ]; then
  pass "bad script refused before the device is opened"
else
  fail "bad script with a missing device: rc=$rc $out"
fi

# --- Standard input: a command takes effect before the host's next poll once the board
# has logged it; a bad one is refused and changes nothing. The host closes and reopens its
# end. End of input with --stay keeps the board; SIGTERM ends it and removes the link.
if start_board input --log --stay --link "$dir/board"; then
  host=$dir/board
  echo "set A 50" >&3
  wait_for "$dir/input.out" "values=1023,1023,1023,1023,521,"
  v1=$(poll_values)
  echo "set A 101" >&3
  wait_for "$dir/input.err" "<stdin>:2: percentage '101'"
  v2=$(poll_values)
  echo "set slider 100" >&3
  wait_for "$dir/input.out" "values=1023,1023,1023,1023,521,1023,18,1023"
  v3=$(poll_values)
  # The log: the start values and one line per change, none for the bad line.
  logged=$(sed -n 's/^t=[0-9.]* values=//p' "$dir/input.out" | tr '\n' ' ')
  if [ "$v1" = 1023,1023,1023,1023,521,1023,18,0 ] && [ "$v2" = "$v1" ] && [ "$v3" = 1023,1023,1023,1023,521,1023,18,1023 ] &&
    grep -q "<stdin>:2: percentage '101' is not valid; expected a whole number from 0 to 100" "$dir/input.err" &&
    [ "$logged" = "1023,1023,1023,1023,1023,1023,18,0 $v1 $v3 " ]; then
    pass "standard input: a command reaches the next poll, a bad one changes nothing"
  else
    fail "standard input: after set A 50: $v1, after set A 101: $v2, after set slider 100: $v3; logged: $logged; $(cat "$dir/input.err")"
  fi
  if "$monitor" --device "$host" --rate 0 --count 200 --quiet >/dev/null && sleep 0.3 &&
    "$monitor" --device "$host" --rate 0 --count 200 --quiet >/dev/null; then
    pass "host closed and reopened its end: served again"
  else
    fail "host reopened: not served"
  fi
  "$monitor" --device "$host" --silence >/dev/null || fail "an other byte was answered"
  exec 3>&-
  sleep 0.5
  if kill -0 "$board_pid" 2>/dev/null && [ -n "$(poll_values)" ]; then
    pass "end of standard input with --stay: still answering"
  else
    fail "end of standard input with --stay: the board went"
  fi
  kill -TERM "$board_pid"
  reap
  rc=$?
  # 1 + 1 + 1 + 200 + 200 + 1 polls, and the 255 other bytes of --silence.
  # The log also counts the polls answered every second; the run lasted more than one.
  if [ $rc -eq 0 ] && [ ! -L "$dir/board" ] &&
    grep -qx "polls_answered=404 other_bytes_ignored=255 replies_lost=0" "$dir/input.out" &&
    grep -q "^t=[0-9.]* polls_answered=[0-9]* last_second=[0-9]*$" "$dir/input.out"; then
    pass "SIGTERM: clean end, link removed, $(tail -1 "$dir/input.out")"
  else
    fail "SIGTERM: rc=$rc link=$(ls -l "$dir/board" 2>&1) $(tail -1 "$dir/input.out")"
  fi
fi

# --- End of standard input ends the board once its script is done, not before.
printf 'set A 0\nwait 800ms\n' >"$dir/short.txt"
start=$(date +%s%N)
"$board" --script "$dir/short.txt" </dev/null >"$dir/short.out" 2>&1 &
board_pid=$!
sleep 0.4
alive=no
kill -0 "$board_pid" 2>/dev/null && alive=yes
reap
rc=$?
ran_ms=$((($(date +%s%N) - start) / 1000000))
if [ $alive = yes ] && [ $rc -eq 0 ] && [ $ran_ms -ge 800 ]; then
  pass "end of input waits for the script: ended after ${ran_ms} ms"
else
  fail "end of input with a script: alive at 400 ms: $alive, rc=$rc after ${ran_ms} ms"
fi

# --- A serial device: one end of a socat pair; a second opener is refused as busy, a
# missing device says so, SIGINT ends a run, and a device that goes ends the board with 2.
out=$("$board" --device "$dir/none" </dev/null 2>&1)
rc=$?
if [ $rc -eq 2 ] && echo "$out" | grep -q "cannot open $dir/none: No such file or directory"; then
  pass "missing device: $out"
else
  fail "missing device: rc=$rc $out"
fi
socat pty,raw,echo=0,link="$dir/dev-board" pty,raw,echo=0,link="$dir/dev-host" &
socat_pid=$!
for _ in $(seq 50); do [ -e "$dir/dev-host" ] && break; sleep 0.1; done
if start_board device --device "$dir/dev-board" && [ "$host" = "$dir/dev-board" ]; then
  if "$monitor" --device "$dir/dev-host" --rate 0 --count 500 --quiet >"$dir/device.host"; then
    pass "device: $(head -1 "$dir/device.host")"
  else
    fail "device: $(cat "$dir/device.host")"
  fi
  out=$("$board" --device "$dir/dev-board" </dev/null 2>&1)
  rc=$?
  # The refused board must leave the first board's exclusive mode set (TIOCGEXCL; root may
  # open the device despite it, which is how the second board got that far).
  excl=$(python3 -c 'import fcntl, os, struct, sys
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
print(struct.unpack("i", fcntl.ioctl(fd, 0x80045440, b"\0" * 4))[0])' "$dir/dev-board" 2>&1)
  if [ $rc -eq 2 ] && echo "$out" | grep -q "$dir/dev-board is busy" && [ "$excl" = 1 ]; then
    pass "second opener: $out"
  else
    fail "second opener: rc=$rc $out; exclusive afterwards: $excl"
  fi
  kill -INT "$board_pid"
  stop_board
  rc=$?
  [ $rc -eq 0 ] && grep -q "^polls_answered=500 " "$dir/device.out" && pass "SIGINT: clean end" ||
    fail "SIGINT: rc=$rc $(cat "$dir/device.out" "$dir/device.err")"
fi
if start_board gone --device "$dir/dev-board"; then
  kill "$socat_pid"
  wait "$socat_pid" 2>/dev/null
  socat_pid=
  for _ in $(seq 50); do kill -0 "$board_pid" 2>/dev/null || break; sleep 0.1; done
  stop_board
  rc=$?
  if [ $rc -eq 2 ] && grep -q "$dir/dev-board stopped working: " "$dir/gone.err"; then
    pass "device gone: $(cat "$dir/gone.err")"
  else
    fail "device gone: rc=$rc $(cat "$dir/gone.err")"
  fi
fi

# --- Hosts and parents that misbehave: a flood of polls, replies left unread, a link a
# live board holds, a log nobody reads, signals blocked by the parent.
python3 "$(dirname "$0")/vb_host_checks.py" "$board" "$dir" || failures=$((failures + 1))

echo "virtual board: $failures failure(s)"
[ $failures -eq 0 ]
