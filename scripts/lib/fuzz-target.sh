# Sourced by scripts/fuzz-*.sh: builds one libFuzzer target natively with clang (with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it on its corpus, kept in
# build/fuzz/corpus-NAME between runs. Leaks count as findings too (ASan's leak check runs at
# exit); one worker, as the machine is shared.
#   fuzz_build [TARGET...]     configures and builds the fuzz targets
#   fuzz_target NAME TARGET SHORT_SECONDS [--short]
# Runs 60 s (FUZZ_SECONDS to change), or SHORT_SECONDS with --short (the test command's run).
# Exits non-zero on a build failure or on any finding (the input is left in build/fuzz/).
fuzz_build() {  # fuzz_build [TARGET...]: configures build/fuzz and builds the targets (all by default)
    cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build/fuzz ${1:+--target "$@"}
}

fuzz_target() {
    local name=$1 target=$2 seconds=${FUZZ_SECONDS:-60}
    [ "${4:-}" = "--short" ] && seconds=$3
    local build=build/fuzz
    # The test command builds every target first and then runs the fuzzers side by side.
    if [ -z "${FUZZ_PREBUILT:-}" ]; then
        fuzz_build "$target"
    fi
    corpus="$build/corpus-$name"
    mkdir -p "$corpus"
    [ -z "${FUZZ_SEED:-}" ] || [ -n "$(ls -A "$corpus")" ] || printf "$FUZZ_SEED" >"$corpus/seed"
    echo "fuzzing $name for ${seconds} s"
    local log="$build/$name-fuzz.log" status
    set +e
    "${FUZZ_BINARY:-$build/$target}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/" "$corpus" >"$log" 2>&1
    status=$?
    set -e
    # The progress lines are many; the coverage and the final figures are what matter.
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::|ERROR|SUMMARY|runtime error|Test unit written' "$log" || true
    if [ "$status" -ne 0 ]; then
        echo "$name fuzzing found a problem (exit $status); see $build/crash-* or leak-*"
        return 1
    fi
    echo "$name fuzzing: no findings"
}
