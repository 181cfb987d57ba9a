#!/usr/bin/env bash
# Fuzzes the profile record: RestoreAssociations over an association model with a virtual pad.
#   bash scripts/fuzz-profiles.sh [--short]   60 s, or 12 s with --short
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/fuzz-target.sh
# The corpus starts from button 3 on "Tecla Enter" and X on "Sensor de luz", then the byte
# that skips the starting set.
FUZZ_SEED='\x00\x00\x02\x00\x09\x00\x00\x00\x03\x00\x00\x06\x01\x00\x00\x00\x30\x00\x01\x04\x00'
fuzz_target profiles profile_record_fuzz 12 "${1:-}"
