#!/usr/bin/env bash
# Sets up the machine, builds the Windows program and runs it under Wine with a virtual
# serial cable: a socat pty pair whose board end is the program's COM port. A host program
# on Linux (or tools/board_monitor) opens the host end, printed below.
#   scripts/run.sh [--port N]      (default COM31, the program's default port)
set -euo pipefail
cd "$(dirname "$0")/.."
port=31
[ "${1:-}" = "--port" ] && port=${2:?}

bash scripts/setup.sh
echo "Building the Windows program (build/windows)..."
log=$(mktemp)
if ! { cmake --preset windows && cmake --build --preset windows; } >"$log" 2>&1; then
  tail -40 "$log"
  echo "The build failed; the whole log is in $log"
  exit 1
fi
rm -f "$log"

# One prefix per user, kept between runs so that the program's settings survive.
export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/ombrix-emulator/wine}
mkdir -p "$WINEPREFIX"
source scripts/wine-env.sh

cable=${XDG_RUNTIME_DIR:-/tmp}/ombrix-emulator
mkdir -p "$cable"
socat pty,raw,echo=0,link="$cable/board" pty,raw,echo=0,link="$cable/host" &
socat_pid=$!
host_port=$((port + 1))
trap 'kill $socat_pid 2>/dev/null; rm -f "$WINEPREFIX/dosdevices/com$port" "$WINEPREFIX/dosdevices/com$host_port"' EXIT
for _ in $(seq 50); do [ -e "$cable/host" ] && break; sleep 0.1; done
ln -sf "$(readlink -f "$cable/board")" "$WINEPREFIX/dosdevices/com$port"
# The host end is also a COM port of the prefix, for a Windows host program run under Wine.
ln -sf "$(readlink -f "$cable/host")" "$WINEPREFIX/dosdevices/com$host_port"

echo "The emulated board answers on COM$port. Point the host program at: $cable/host"
echo "  (a Windows host program under this Wine prefix: COM$host_port)"
echo "  check it with: build/windows/host/board_monitor --device $cable/host"
if [ -f build/windows/bin/OmbrixEmulator.exe ]; then
  [ -n "${DISPLAY:-}" ] || { echo "No DISPLAY: start an X server (or Xvfb) first."; exit 1; }
  wine build/windows/bin/OmbrixEmulator.exe
else
  # Until the window exists, the responder runs alone; press Ctrl-D to stop it.
  echo "Responder running; press Ctrl-D to stop."
  wine build/windows/bin/board_responder.exe --port "$port"
fi
