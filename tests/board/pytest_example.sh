#!/usr/bin/env bash
# Runs examples/test_host_example.py with pytest, as the README tells host developers to, so
# that the example and its fixture cannot rot. pytest comes from Debian's python3-pytest
# (scripts/setup.sh installs it), which belongs to the system's Python; another python3
# first on the PATH may lack it.
#   pytest_example.sh VIRTUAL_BOARD
set -u
examples=$(cd "$(dirname "$0")/../../examples" && pwd)
for python in python3 /usr/bin/python3; do
  if "$python" -c "import pytest" 2>/dev/null; then
    VIRTUAL_BOARD=$1 exec "$python" -m pytest -q -p no:cacheprovider "$examples/test_host_example.py"
  fi
done
echo "FAIL pytest is missing: scripts/setup.sh installs python3-pytest"
exit 1
