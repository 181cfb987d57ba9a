#!/usr/bin/env bash
# Benchmark of the native virtual board on a pseudo-terminal, against a bare read/write
# loop on the same kind of pty (bare_pty_loop) measured in the same run:
#   - round trip from poll to full reply, p50 and p99: the median of five rounds that
#     alternate the two, and the ratios to the baseline (target: at most 1.10);
#   - polls per second with 8 polls in flight (target: at least the baseline's);
#   - CPU of the board over 10 s of a silent host, from the scheduler's per-thread
#     nanosecond counters (target: below 0.1 % of one core);
#   - the same round trip with --trace FILE against without, rounds alternating (target:
#     at most 1.10);
#   - over TCP (--tcp 0) against a bare socket loop, tcp_round_trip (target: at most 1.10);
#   - with --pace, the reply's time against the line's 4.69 ms (target: within 5 %);
#   - a soak of 1,000,000 polls: missing and malformed replies (target 0) and the
#     board's resident memory before and after (target: flat).
#   bench/serial/virtual_board.sh [POLLS] [SOAK_POLLS]
set -euo pipefail
cd "$(dirname "$0")/../.."
polls=${1:-100000}
soak=${2:-1000000}

cmake --preset native >/dev/null
nice cmake --build --preset native --target virtual_board bare_pty_loop board_monitor tcp_round_trip >/dev/null
bin=build/native/bin
monitor=$bin/board_monitor
dir=$(mktemp -d /tmp/ombrix-vbench.XXXXXX)
pid=
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$dir"' EXIT

start() {  # start ours|baseline|traced|paced|tcp|tcp-baseline: sets pid and host
  rm -f "$dir/out"
  if [ "$1" = ours ]; then
    "$bin/virtual_board" --stay </dev/null >"$dir/out" 2>&1 &
  elif [ "$1" = traced ]; then
    "$bin/virtual_board" --stay --trace "$dir/trace" </dev/null >"$dir/out" 2>&1 &
  elif [ "$1" = paced ]; then
    "$bin/virtual_board" --stay --pace </dev/null >"$dir/out" 2>&1 &
  elif [ "$1" = tcp ]; then
    "$bin/virtual_board" --stay --tcp 0 </dev/null >"$dir/out" 2>&1 &
  elif [ "$1" = tcp-baseline ]; then
    "$bin/tcp_round_trip" serve </dev/null >"$dir/out" 2>&1 &
  else
    "$bin/bare_pty_loop" >"$dir/out" 2>&1 &
  fi
  pid=$!
  for _ in $(seq 100); do
    host=$(head -1 "$dir/out" 2>/dev/null)
    [ -n "$host" ] && return 0
    sleep 0.05
  done
  echo "$1 did not start: $(cat "$dir/out")"
  exit 1
}
stop() {
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=
}
field() { echo "$1" | grep -o "$2=[0-9.]*" | cut -d= -f2; }
median() { echo "$1" | tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk "BEGIN { printf \"%.3f\", $1 / $2 }"; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }
rss_kb() { awk '/^VmRSS/ { print $2 }' /proc/"$1"/status; }

echo "virtual board benchmark: $polls polls per round, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
bad=0
declare -A p50 p99 windowed
for round in 1 2 3 4 5; do
  for who in baseline ours; do
    start $who
    line=$("$monitor" --device "$host" --rate 0 --count "$polls" --quiet --stats --timeout-ms 500 | tr '\n' ' ')
    stop
    echo "  round $round $who: $line"
    [ $who = ours ] && bad=$((bad + $(field "$line" missing) + $(field "$line" malformed)))
    p50[$who]="${p50[$who]:-} $(field "$line" rtt_p50_us)"
    p99[$who]="${p99[$who]:-} $(field "$line" rtt_p99_us)"
  done
done
for round in 1 2 3; do
  for who in baseline ours; do
    start $who
    line=$("$monitor" --device "$host" --window 8 --count "$polls" --stats --timeout-ms 500 | tr '\n' ' ')
    stop
    echo "  8 in flight, round $round $who: $line"
    [ $who = ours ] && bad=$((bad + $(field "$line" missing) + $(field "$line" malformed)))
    windowed[$who]="${windowed[$who]:-} $(field "$line" polls_per_s)"
  done
done
bp50=$(median "${p50[baseline]}"); op50=$(median "${p50[ours]}")
bp99=$(median "${p99[baseline]}"); op99=$(median "${p99[ours]}")
bw=$(median "${windowed[baseline]}"); ow=$(median "${windowed[ours]}")
echo "round trip p50: ours ${op50} us, baseline ${bp50} us, ratio $(ratio "$op50" "$bp50") (target <= 1.10)"
echo "round trip p99: ours ${op99} us, baseline ${bp99} us, ratio $(ratio "$op99" "$bp99") (target <= 1.10)"
echo "polls per second, 8 in flight: ours $ow, baseline $bw, ratio $(ratio "$ow" "$bw") (target >= 1)"
echo "missing or malformed replies in these runs (ours): $bad"

# Five rounds of a baseline board and the one measured, alternating, so that both meet the
# same noise; prints each percentile's medians through FORMAT (measured, baseline, ratio).
#   compare ROUND-LABEL BASELINE MEASURED FORMAT COMMAND...
compare() {
  local label=$1 baseline=$2 measured=$3 format=$4
  shift 4
  local -A p50 p99
  local round who line q a b
  for round in 1 2 3 4 5; do
    for who in "$baseline" "$measured"; do
      start "$who"
      line=$("$@" | tr '\n' ' ')
      stop
      echo "  $label round $round $who: $line"
      p50[$who]="${p50[$who]:-} $(field "$line" rtt_p50_us)"
      p99[$who]="${p99[$who]:-} $(field "$line" rtt_p99_us)"
    done
  done
  for q in 50 99; do
    declare -n figures=p$q
    a=$(median "${figures[$measured]}"); b=$(median "${figures[$baseline]}")
    # shellcheck disable=SC2059
    printf "$format\n" "$q" "$a" "$b" "$(ratio "$a" "$b")"
  done
}

# The host end is known only once a board runs: the commands read it then.
monitor_round() { "$monitor" --device "$host" --rate 0 --count "$polls" --quiet --stats --timeout-ms 500; }
tcp_round() { "$bin/tcp_round_trip" poll "${host##*:}" "$polls"; }

compare trace ours traced "round trip p%s with --trace: %s us, without %s us, ratio %s (target <= 1.10)" monitor_round
echo "  the trace of the last round: $(wc -l <"$dir/trace") lines"
compare tcp tcp-baseline tcp "TCP round trip p%s: ours %s us, bare socket loop %s us, ratio %s (target <= 1.10)" tcp_round

start paced
line=$("$monitor" --device "$host" --rate 100 --count 500 --quiet --stats --timeout-ms 500 | tr '\n' ' ')
stop
paced=$(field "$line" rtt_p50_us)
echo "paced reply (--pace), p50 of 500 polls: ${paced} us, the line's 4687.5 us, ratio $(ratio "$paced" 4687.5) (target 0.95 to 1.05); $line"

for who in baseline ours; do
  start $who
  sleep 1
  c0=$(cpu_ns "$pid")
  sleep 10
  c1=$(cpu_ns "$pid")
  stop
  echo "idle CPU over 10 s with a silent host, $who: $(awk "BEGIN { printf \"%.4f\", 100 * ($c1 - $c0) / 1e10 }")% of one core"
done

start ours
"$monitor" --device "$host" --rate 0 --count 1000 --quiet >/dev/null
r0=$(rss_kb "$pid")
line=$("$monitor" --device "$host" --rate 0 --count "$soak" --quiet --stats --timeout-ms 500 | tr '\n' ' ')
r1=$(rss_kb "$pid")
kill "$pid"
wait "$pid" || true
pid=
echo "soak: $line"
echo "soak: resident memory before ${r0} kB, after ${r1} kB; the board's totals: $(tail -1 "$dir/out")"
