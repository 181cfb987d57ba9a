#!/usr/bin/env bash
# Builds and runs the association run benchmark natively and prints its figures: report to
# BoardState latency (p50/p99) against the 10 ms poll sleep, idle CPU and polls per second,
# allocations of a run.   bench/associations/run.sh [REPORTS]
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake --preset native >/dev/null
cmake --build --preset native --target association_run_bench >/dev/null
build/native/bin/association_run_bench "${1:-400}"
