#!/usr/bin/env bash
# Benchmark of the program's window under Wine and Xvfb, with a silent host on a pty pair:
#   - time from process start to the main window shown, as a ratio to a minimal dialog
#     program measured in the same run (median of ROUNDS starts each), and the same for the
#     floor: the program's own window template shown by a program that does nothing else,
#     with what the program takes over that floor;
#   - the program's start-up phases, from its own marks (src/ui/StartupTrace_win.h): launch
#     to entry, to the window created, to its first paint (medians of the same starts);
#   - CPU of the whole program process over 10 s of a run whose host never polls (/proc);
#   - time from a click on "Parar" to the button reading "Iniciar" again (median of ROUNDS);
#   - CPU of the program over 20 s of a run whose host polls 1,000 times a second, with the
#     status bar sampled and, in the same build, with its timer never started
#     (OMBRIX_BENCH_NO_STATUS_TIMER), the two alternating (median of POLLED_ROUNDS, 3, each),
#     and what the bar adds in % of a core;
#   - three message boxes in a row, each from the posted "Salvar perfil" command (no joystick
#     chosen, so a box answers) to the box being visible, the box closed at once, as ratios to
#     the minimal dialog's box on the same command (median of ROUNDS per box).
#   bench/window/run.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=${1:-5}

cmake --preset windows >/dev/null
cmake --build --preset windows --target OmbrixEmulator minimal_dialog template_dialog ui_driver host_board_monitor >/dev/null
bin=$(pwd)/build/windows/bin
monitor=$(pwd)/build/windows/host/board_monitor
dir=$(mktemp -d /tmp/ombrix-bench.XXXXXX)
if [ -z "${DISPLAY:-}" ]; then
  source scripts/lib/virtual-screen.sh
  start_virtual_screen 150
  xvfb_pid=$VIRTUAL_SCREEN_PID
fi
unset WINEPREFIX
source scripts/wine-env.sh
socat pty,raw,echo=0,link="$dir/board" pty,raw,echo=0,link="$dir/host" &
socat_pid=$!
trap 'exec 3>&- 4<&-; kill $socat_pid ${xvfb_pid:-} 2>/dev/null; wineserver -k 2>/dev/null; rm -rf "$dir" "$WINEPREFIX"' EXIT
sleep 0.5
ln -sf "$(readlink -f "$dir/board")" "$WINEPREFIX/dosdevices/com31"

mkfifo "$dir/in" "$dir/out"
wine "$bin/ui_driver.exe" <"$dir/in" >"$dir/out" 2>/dev/null &
exec 3>"$dir/in" 4<"$dir/out"
ask() {
  echo "$*" >&3
  local answer
  IFS= read -r -t 60 answer <&4
  echo "${answer%$'\r'}"
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
centre() { read -r l t r b <<<"$(ask rect "$1")"; echo "$(((l + r) / 2)) $(((t + b) / 2))"; }

# One start: from launching the process to the window being visible. The driver forgets
# the previous window at each start, so it is restarted per round.
start_ms() {
  local exe=$1 t0
  echo "wait-window 60000" >&3
  t0=$(now_ms)
  launch_ms=$t0
  rm -f "$dir/trace"
  OMBRIX_STARTUP_TRACE="Z:$dir/trace" wine "$exe" >/dev/null 2>&1 &
  program=$!
  local answer
  IFS= read -r -t 70 answer <&4
  echo $(($(now_ms) - t0))
}
restart_driver() {
  exec 3>&- 4<&-
  sleep 0.3
  wine "$bin/ui_driver.exe" <"$dir/in" >"$dir/out" 2>/dev/null &
  exec 3>"$dir/in" 4<"$dir/out"
}
# Start-up phases: the program appends "phase unix-ms" for each phase to $dir/trace.
record_phases() {
  [ -f "$dir/trace" ] || { echo "-1 -1 -1" >>"$dir/phases"; return; }
  awk -v t0="$launch_ms" '{ms[$1] = $2 - t0} END {print ms["entry"], ms["window"], ms["paint"]}' \
    "$dir/trace" >>"$dir/phases"
}
print_phases() {
  local phase column=1
  local line="startup_phases_ms"
  for phase in entry window paint; do
    line="$line $phase=$(awk -v n=$column '{print $n}' "$dir/phases" | median)"
    column=$((column + 1))
  done
  echo "$line (from launch; window: created, paint: first painted)"
}
close_window() { xdotool key Escape; wait "$program" 2>/dev/null || true; }
# The newest program process of this run's prefix: other checkouts on the machine may run
# programs of their own.
program_pid() {
  local p
  for p in $(pgrep -f 'OmbrixEmulator.exe' | sort -rn); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return
    fi
  done
}

: >"$dir/phases" && : >"$dir/program" && : >"$dir/baseline" && : >"$dir/template" && : >"$dir/program-boxes" && : >"$dir/baseline-boxes"
for _ in $(seq "$rounds"); do
  for which in baseline template program; do
    exe=$bin/minimal_dialog.exe
    [ $which = template ] && exe=$bin/template_dialog.exe
    [ $which = program ] && exe=$bin/OmbrixEmulator.exe
    start_ms "$exe" >>"$dir/$which"
    sleep 0.5
    if [ $which = template ]; then
      close_window
      restart_driver
      continue
    fi
    [ $which = program ] && record_phases
    # Each box closes as soon as it shows, so the next command waits for that close too.
    echo $(for _ in 1 2 3; do ask box-after 40001 10000; done) >>"$dir/$which-boxes"
    close_window
    restart_driver
  done
done
program_ms=$(median <"$dir/program")
baseline_ms=$(median <"$dir/baseline")
template_ms=$(median <"$dir/template")
ratio() { awk "BEGIN {printf \"%.2f\", $1 / $2}"; }
echo "startup_ms=$program_ms baseline_dialog_ms=$baseline_ms ratio=$(ratio "$program_ms" "$baseline_ms")"
echo "template_dialog_ms=$template_ms ratio_to_baseline=$(ratio "$template_ms" "$baseline_ms") program_over_template_ms=$((program_ms - template_ms))"
print_phases
if grep -q timeout "$dir/program-boxes" "$dir/baseline-boxes"; then
  echo "a message box did not show within 10 s"
  exit 1
fi
for box in 1 2 3; do
  program_ms=$(awk -v n=$box '{print $n}' "$dir/program-boxes" | median)
  baseline_ms=$(awk -v n=$box '{print $n}' "$dir/baseline-boxes" | median)
  echo "box${box}_ms=$program_ms baseline_box${box}_ms=$baseline_ms ratio=$(awk "BEGIN {printf \"%.2f\", $program_ms / $baseline_ms}")"
done

# A run with a silent host: the responder waits on 250 ms read time-outs.
start_ms "$bin/OmbrixEmulator.exe" >/dev/null
sleep 1
start_button=$(centre 1)
xdotool mousemove $start_button click 1
sleep 1
[ "$(ask text 1)" = Parar ] || { echo "the run did not start"; exit 1; }
pid=$(program_pid)
echo "measured process: $pid $(tr "\0" " " <"/proc/$pid/cmdline")"
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep 10
after=$(ticks)
echo "run_cpu_percent_of_core=$(awk "BEGIN {printf \"%.2f\", ($after - $before) * 100 / $(getconf CLK_TCK) / 10}")"

: >"$dir/stops"
for _ in $(seq "$rounds"); do
  echo "wait-text 1 Iniciar 5000" >&3
  xdotool mousemove $start_button click 1
  IFS= read -r -t 10 elapsed <&4
  echo "${elapsed%$'\r'}" >>"$dir/stops"
  sleep 0.3
  xdotool mousemove $start_button click 1
  sleep 0.7
done
echo "stop_ms_median=$(median <"$dir/stops") stop_ms_max=$(sort -n "$dir/stops" | tail -1)"
xdotool mousemove $start_button click 1
close_window

# A run with a host polling 1,000 times a second, with and without the status bar's timer.
cpu_over() {  # cpu_over PID SECONDS: % of a core
  local before after
  before=$(awk '{print $14 + $15}' "/proc/$1/stat")
  sleep "$2"
  after=$(awk '{print $14 + $15}' "/proc/$1/stat")
  awk "BEGIN {printf \"%.2f\", ($after - $before) * 100 / $(getconf CLK_TCK) / $2}"
}
polled_cpu() {  # polled_cpu bar|no-timer
  restart_driver
  echo "wait-window 60000" >&3
  if [ "$1" = no-timer ]; then
    OMBRIX_BENCH_NO_STATUS_TIMER=1 wine "$bin/OmbrixEmulator.exe" >/dev/null 2>&1 &
  else
    wine "$bin/OmbrixEmulator.exe" >/dev/null 2>&1 &
  fi
  program=$!
  IFS= read -r -t 70 _ <&4
  sleep 1
  xdotool mousemove $start_button click 1
  sleep 0.5
  [ "$(ask text 1)" = Parar ] || { echo "the run did not start"; exit 1; }
  # The clock ticks are a hundredth of a second: over 20 s one is 0.05 % of a core.
  "$monitor" --device "$dir/host" --rate 1000 --count 23000 --quiet >/dev/null 2>&1 &
  local poller=$!
  local pid
  pid=$(program_pid)
  sleep 1.5
  cpu_over "$pid" 20 >>"$dir/polled-$1"
  echo >>"$dir/polled-$1"
  [ "$1" = bar ] && ask status 1 >>"$dir/polled-host-part"
  wait "$poller" || true
  xdotool mousemove $start_button click 1
  close_window
}
: >"$dir/polled-bar" && : >"$dir/polled-no-timer" && : >"$dir/polled-host-part"
for _ in $(seq "${POLLED_ROUNDS:-3}"); do
  polled_cpu no-timer
  polled_cpu bar
done
bar=$(median <"$dir/polled-bar")
no_timer=$(median <"$dir/polled-no-timer")
echo "polled_run_cpu_percent_of_core bar=$bar no_timer=$no_timer" \
  "difference=$(awk "BEGIN {printf \"%.2f\", $bar - $no_timer}") (target: under 0.2)" \
  "rounds: bar $(tr '\n' ' ' <"$dir/polled-bar")no_timer $(tr '\n' ' ' <"$dir/polled-no-timer")"
echo "status bar's host part at the end of each polled round: $(paste -sd '|' "$dir/polled-host-part")"
