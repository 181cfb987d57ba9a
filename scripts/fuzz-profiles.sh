#!/usr/bin/env bash
# Fuzzes the profile record (RestoreAssociations over an association model with a virtual
# pad) with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, natively with clang.
#   bash scripts/fuzz-profiles.sh           build, then fuzz for 60 s (FUZZ_SECONDS to change)
#   bash scripts/fuzz-profiles.sh --short   build, then fuzz for 12 s (the test command's run)
# The corpus is kept in build/fuzz/corpus-profiles between runs and starts from a record of
# two associations. Exits non-zero on a build failure or on any finding (the crashing input
# is left in build/fuzz/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
[ "${1:-}" = "--short" ] && seconds=12

build=build/fuzz
cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target profile_record_fuzz

corpus="$build/corpus-profiles"
mkdir -p "$corpus"
# Button 3 on "Tecla Enter" and X on "Sensor de luz", then the byte that skips the starting set.
[ -n "$(ls -A "$corpus")" ] ||
    printf '\x00\x00\x02\x00\x09\x00\x00\x00\x03\x00\x00\x06\x01\x00\x00\x00\x30\x00\x01\x04\x00' >"$corpus/seed"
echo "fuzzing the profile record for ${seconds} s"
log="$build/profiles-fuzz.log"
set +e
"${FUZZ_BINARY:-$build/profile_record_fuzz}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/" "$corpus" >"$log" 2>&1
status=$?
set -e
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|ERROR|SUMMARY|runtime error|Test unit written' "$log" || true
if [ "$status" -ne 0 ]; then
    echo "profile record fuzzing found a problem (exit $status); see $build/crash-* or leak-*"
    exit 1
fi
echo "profile record fuzzing: no findings"
