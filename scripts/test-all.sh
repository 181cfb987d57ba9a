#!/usr/bin/env bash
# Sets up the machine and runs every test: the native logic tests (plain, with Address
# and UndefinedBehavior sanitizers, and with ThreadSanitizer), a short fuzzing run, and
# the Windows build's tests under Wine (serial port over a pty pair, registry, HID
# parsing, windows under Xvfb). Ends with one line: "N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
# The compiler cache hashes paths relative to the checkout, so that another clone of the
# same sources builds from it too.
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1

bash scripts/setup.sh || { echo "setup failed"; exit 1; }

reports="$root/build/test-results"
rm -rf "$reports"
mkdir -p "$reports"
status=0

build() {
  local preset=$1
  echo "== build $preset"
  if ! cmake --preset "$preset" >"$reports/configure-$preset.log" 2>&1; then
    echo "configure of $preset failed; see $reports/configure-$preset.log"
    tail -40 "$reports/configure-$preset.log"
    return 1
  fi
  cmake --build --preset "$preset" >"$reports/build-$preset.log" 2>&1 || {
    echo "build of $preset failed; see $reports/build-$preset.log"
    tail -40 "$reports/build-$preset.log"
    return 1
  }
}

run_ctest() {
  local preset=$1
  echo "== test $preset"
  rm -rf "build/$preset/test-reports"
  # Two at a time: the tests that need the screen, the focus or a port of their own say so
  # (RESOURCE_LOCK), and the longest, the window session, then runs beside the others.
  ctest --preset "$preset" -j 2 --output-junit "$reports/ctest-$preset.xml" >"$reports/ctest-$preset.log" 2>&1
  local rc=$?
  tail -4 "$reports/ctest-$preset.log"
  [ $rc -eq 0 ] || { grep -E "Failed|\*\*\*" "$reports/ctest-$preset.log" | head -20; }
  mkdir -p "$reports/gtest-$preset"
  cp build/"$preset"/test-reports/*.xml "$reports/gtest-$preset/" 2>/dev/null || true
  return $rc
}

for preset in native native-asan native-tsan; do
  if build "$preset"; then
    run_ctest "$preset" || status=1
  else
    echo "build-$preset" >>"$reports/broken-builds"
    status=1
  fi
done

# Short fuzzing runs of the decoders, built once and run side by side (each script exits
# non-zero on a crash or a finding).
echo "== fuzzing"
fuzzers=()
if (source scripts/lib/fuzz-target.sh && fuzz_build) >"$reports/fuzz-build.log" 2>&1; then
  for fuzz in scripts/fuzz-*.sh; do
    name=$(basename "$fuzz" .sh)
    FUZZ_PREBUILT=1 bash "$fuzz" --short >"$reports/$name.log" 2>&1 &
    fuzzers+=("$!:$name")
  done
else
  echo "fuzz-build fail" >>"$reports/extra-results"
  tail -30 "$reports/fuzz-build.log"
  status=1
fi
for entry in "${fuzzers[@]}"; do
  name=${entry#*:}
  if wait "${entry%%:*}"; then
    echo "$name pass" >>"$reports/extra-results"
  else
    echo "$name fail" >>"$reports/extra-results"
    tail -30 "$reports/$name.log"
    status=1
  fi
done

# Every planted fault's text is still found once, so that a refactor cannot retire one.
if python3 scripts/planted-faults.py --check >"$reports/planted-faults-check.log" 2>&1; then
  echo "planted-faults-check pass" >>"$reports/extra-results"
else
  echo "planted-faults-check fail" >>"$reports/extra-results"
  cat "$reports/planted-faults-check.log"
  status=1
fi

# No include may run from a lower layer of src/ to a higher one.
if python3 scripts/check-layers.py >"$reports/layers.log" 2>&1; then
  echo "layers pass" >>"$reports/extra-results"
else
  echo "layers fail" >>"$reports/extra-results"
  cat "$reports/layers.log"
  status=1
fi

if build windows; then
  # A virtual screen for the window tests, up before Wine starts its services so that they
  # find it too.
  source scripts/lib/virtual-screen.sh
  start_virtual_screen $((90 + RANDOM % 100))
  xvfb_pid=$VIRTUAL_SCREEN_PID
  # Always a prefix made for this run, whatever the environment names.
  unset WINEPREFIX
  source scripts/wine-env.sh
  echo "   wine prefix: $WINEPREFIX"
  run_ctest windows || status=1
  kill "$xvfb_pid" 2>/dev/null
  wineserver -k 2>/dev/null || true
  case "$WINEPREFIX" in /tmp/ombrix-wine.*) rm -rf "$WINEPREFIX" ;; esac
else
  echo "build-windows" >>"$reports/broken-builds"
  status=1
fi

python3 scripts/test-summary.py "$reports" || status=1
exit $status
