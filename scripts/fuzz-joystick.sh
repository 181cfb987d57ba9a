#!/usr/bin/env bash
# Fuzzes the joystick input path (raw-input messages, report decoding, the input catalogue)
# with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, natively with clang.
#   bash scripts/fuzz-joystick.sh           build, then fuzz for 60 s (FUZZ_SECONDS to change)
#   bash scripts/fuzz-joystick.sh --short   build, then fuzz for 25 s (the test command's run)
# The corpus is kept in build/fuzz/corpus-joystick between runs. Exits non-zero on a build
# failure or on any finding (the crashing input is left in build/fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
[ "${1:-}" = "--short" ] && seconds=25

build=build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target joystick_report_fuzz

corpus="$build/corpus-joystick"
mkdir -p "$corpus"
echo "fuzzing the joystick input path for ${seconds} s"
# Leaks count as findings too (ASan's leak check runs at exit); one worker, as the machine
# is shared.
log="$build/joystick-fuzz.log"
set +e
"${FUZZ_BINARY:-$build/joystick_report_fuzz}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/" "$corpus" >"$log" 2>&1
status=$?
set -e
# The progress lines are many; the coverage and the final figures are what matter.
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|ERROR|SUMMARY|runtime error|Test unit written' "$log" || true
if [ "$status" -ne 0 ]; then
    echo "joystick fuzzing found a problem (exit $status); see $build/crash-* or leak-*"
    exit 1
fi
echo "joystick fuzzing: no findings"
