#!/usr/bin/env bash
# Benchmark of the serial responder under Wine over a socat pty pair (virtual_board.exe
# --port N: the program's responder loop on a COM port opened as the program opens it),
# against a bare ReadFile/WriteFile baseline measured in the same run:
#   - round trip from poll to full reply, p50 and p99, and the ratio to the baseline;
#   - polls per second: a host that polls as fast as replies come (one poll in flight, so
#     bound by the round trip through Wine and the pty), and a host that keeps 8 polls in
#     flight (the responder's sustained throughput);
#   - missing or malformed replies in 100,000 polls;
#   - CPU used by the responder's process over 10 s of a silent host (from /proc);
#   - time from a stop request (standard input closes) to the process's end with a silent
#     host, Wine's process exit included.
#   bench/serial/run.sh [POLLS]
set -euo pipefail
cd "$(dirname "$0")/../.."
polls=${1:-100000}

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target virtual_board baseline_responder host_board_monitor >/dev/null
bin=build/windows/bin
monitor=build/windows/host/board_monitor
unset WINEPREFIX
source scripts/wine-env.sh

dir=$(mktemp -d /tmp/ombrix-bench.XXXXXX)
socat pty,raw,echo=0,link="$dir/board" pty,raw,echo=0,link="$dir/host" &
socat_pid=$!
trap 'kill $socat_pid 2>/dev/null; wineserver -k 2>/dev/null; rm -rf "$dir" "$WINEPREFIX"' EXIT
sleep 0.5
ln -sf "$(readlink -f "$dir/board")" "$WINEPREFIX/dosdevices/com8"

start_responder() {  # start_responder EXE: runs it on COM8 with stdin held open on fd 3
  rm -f "$dir/in" "$dir/out"
  mkfifo "$dir/in"
  wine "$1" --port 8 <"$dir/in" >"$dir/out" 2>&1 &
  responder_pid=$!
  exec 3>"$dir/in"
  # The first line says the port is open: "ready" from the baseline, "COM8" from ours.
  for _ in $(seq 300); do [ -s "$dir/out" ] && return 0; sleep 0.1; done
  echo "responder did not start: $(cat "$dir/out")"
  exit 1
}
stop_responder() {
  local start=$(date +%s%N)
  exec 3>&-
  wait "$responder_pid" || true
  stop_ms=$((($(date +%s%N) - start) / 1000000))
}
measure() {  # measure LABEL: polls as fast as replies come and prints the monitor's figures
  "$monitor" --device "$dir/host" --rate 0 --count "$polls" --quiet --stats --timeout-ms 500 | tr '\n' ' '
}
field() { echo "$1" | grep -o "$2=[0-9.]*" | cut -d= -f2; }

echo "serial responder benchmark: $polls polls per run, $(nproc) cores"
# Five rounds, alternating the two so that a change of machine load hits both alike.
declare -A p50 p99 rate windowed
for round in 1 2 3 4 5; do
  for who in baseline ours; do
    exe=$bin/virtual_board.exe
    [ "$who" = baseline ] && exe=$bin/baseline_responder.exe
    start_responder "$exe"
    line=$(measure)
    stop_responder
    echo "  round $round $who: $line"
    missing=$(field "$line" missing)
    malformed=$(field "$line" malformed)
    [ "$who" = ours ] && { total_missing=$(( ${total_missing:-0} + missing + malformed )); }
    p50[$who]="${p50[$who]:-} $(field "$line" rtt_p50_us)"
    p99[$who]="${p99[$who]:-} $(field "$line" rtt_p99_us)"
    rate[$who]="${rate[$who]:-} $(field "$line" polls_per_s)"
  done
done
# The median of the five rounds, per figure.
median() { echo $1 | tr ' ' '\n' | grep . | sort -g | sed -n 3p; }
bp50=$(median "${p50[baseline]}"); op50=$(median "${p50[ours]}")
bp99=$(median "${p99[baseline]}"); op99=$(median "${p99[ours]}")
echo "round trip p50: ours ${op50} us, baseline ${bp50} us, ratio $(awk "BEGIN { printf \"%.3f\", $op50 / $bp50 }")"
echo "round trip p99: ours ${op99} us, baseline ${bp99} us, ratio $(awk "BEGIN { printf \"%.3f\", $op99 / $bp99 }")"
echo "polls per second sustained (median round): ours $(median "${rate[ours]}"), baseline $(median "${rate[baseline]}")"

# Sustained throughput: 8 polls in flight, every reply checked.
for who in baseline ours; do
  exe=$bin/virtual_board.exe
  [ "$who" = baseline ] && exe=$bin/baseline_responder.exe
  start_responder "$exe"
  line=$("$monitor" --device "$dir/host" --window 8 --count "$polls" --stats --timeout-ms 500 | tr '\n' ' ')
  stop_responder
  echo "  8 in flight, $who: $line"
  [ "$who" = ours ] && total_missing=$(( ${total_missing:-0} + $(field "$line" missing) + $(field "$line" malformed) ))
  windowed[$who]=$(field "$line" polls_per_s)
done
echo "polls per second sustained, 8 in flight: ours ${windowed[ours]}, baseline ${windowed[baseline]}"
echo "missing or malformed replies (ours, all runs): ${total_missing:-0}"

# Idle CPU: the host is silent for 10 s; the process's user+system ticks from /proc.
start_responder "$bin/virtual_board.exe"
pid=$(pgrep -f 'virtual_board.exe --port 8' | head -1)
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
server=$(pgrep -x wineserver64 -n || pgrep -f "wineserver" -n)
t0=$(ticks "$pid"); s0=$(ticks "$server")
sleep 10
t1=$(ticks "$pid"); s1=$(ticks "$server")
hz=$(getconf CLK_TCK)
echo "idle CPU over 10 s, silent host: responder process $(awk "BEGIN { printf \"%.2f\", 100 * ($t1 - $t0) / $hz / 10 }")% of one core, wineserver $(awk "BEGIN { printf \"%.2f\", 100 * ($s1 - $s0) / $hz / 10 }")%"
stop_responder
echo "stop with a silent host, to the process's end: ${stop_ms} ms"
