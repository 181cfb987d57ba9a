#!/usr/bin/env bash
# Fuzzes the joystick input path (raw-input messages, report decoding, the input catalogue).
#   bash scripts/fuzz-joystick.sh [--short]   60 s, or 25 s with --short
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/fuzz-target.sh
fuzz_target joystick joystick_report_fuzz 25 "${1:-}"
