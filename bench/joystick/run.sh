#!/usr/bin/env bash
# Builds and runs the joystick benchmarks and prints their figures:
#   - natively: reports decoded per second against the parsing calls alone, allocations
#     while decoding, the cost of an idle Poll;
#   - under Wine: post-to-Pending latency (p50/p99) against a bare window thread, the
#     reader's allocations, and the decode rate through the real hid.dll.
#   bench/joystick/run.sh [REPORTS_NATIVE] [POSTS_WINE]
# The build trees are the presets' (build/native, build/windows) unless NATIVE_BUILD or
# WINDOWS_BUILD name others.
set -euo pipefail
cd "$(dirname "$0")/../.."
reports=${1:-2000000}
posts=${2:-5000}

bash scripts/setup.sh
if [ -n "${NATIVE_BUILD:-}" ]; then
  cmake -S . -B "$NATIVE_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$NATIVE_BUILD" --target joystick_decode_bench >/dev/null
  native=$NATIVE_BUILD
else
  cmake --preset native >/dev/null
  cmake --build --preset native --target joystick_decode_bench >/dev/null
  native=build/native
fi
if [ -n "${WINDOWS_BUILD:-}" ]; then
  cmake --no-warn-unused-cli -S . -B "$WINDOWS_BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-posix.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$WINDOWS_BUILD" --target joystick_reader_bench >/dev/null
  windows=$WINDOWS_BUILD
else
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target joystick_reader_bench >/dev/null
  windows=build/windows
fi

"$native/bin/joystick_decode_bench" "$reports"
echo

own_prefix=0
if [ -z "${WINEPREFIX:-}" ]; then own_prefix=1; fi
# Sourced without -e: starting the persistent server fails harmlessly when one already runs.
set +e
source scripts/wine-env.sh
set -e
# Output goes through a file: Wine's background processes would hold a pipe open.
out=$(mktemp /tmp/ombrix-joystick-bench.XXXXXX)
trap 'rm -f "$out"; if [ $own_prefix -eq 1 ]; then wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"; fi' EXIT
wine "$windows/bin/joystick_reader_bench.exe" "$posts" >"$out" 2>&1
cat "$out"
