#!/usr/bin/env bash
# Sets up the machine, builds the Windows program and runs it under Wine with a virtual
# serial cable: a socat pty pair whose board end is the program's COM port (COM31 by
# default, so "Iniciar" works at once). The board monitor polls the host end and shows the
# channel values live while you move the sliders. Without a display the window runs on a
# virtual screen and a screenshot shows it.
#   scripts/run.sh [--port N]
set -euo pipefail
cd "$(dirname "$0")/.."
port=31
[ "${1:-}" = "--port" ] && port=${2:?}

bash scripts/setup.sh
echo "Building the Windows program (build/windows)..."
log=$(mktemp)
if ! { cmake --preset windows && cmake --build --preset windows --target OmbrixEmulator host_board_monitor; } \
    >"$log" 2>&1; then
  tail -40 "$log"
  echo "The build failed; the whole log is in $log"
  exit 1
fi
rm -f "$log"

# A private prefix, kept between runs so that the program's settings survive.
export WINEPREFIX=${WINEPREFIX:-$HOME/.local/share/ombrix-emulator/wine}
mkdir -p "$WINEPREFIX"

pids=()
# On the way out: the program, the cable, the monitor, the virtual screen, and the prefix's
# persistent Wine server, which would otherwise stay behind.
trap 'kill "${pids[@]}" 2>/dev/null; wineserver -k 2>/dev/null;
      rm -f "$WINEPREFIX/dosdevices/com$port" "$WINEPREFIX/dosdevices/com$((port + 1))"' EXIT

headless=
if [ -z "${DISPLAY:-}" ]; then
  source scripts/lib/virtual-screen.sh
  start_virtual_screen 99
  pids+=("$VIRTUAL_SCREEN_PID")
  headless=1
fi

source scripts/wine-env.sh
# On a virtual screen no window manager answers Wine, which then stalls 2 s at each closing
# box or dialog; there Wine manages the windows itself. On a desktop it hands them over.
if [ -n "$headless" ]; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
else
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi

cable=${XDG_RUNTIME_DIR:-/tmp}/ombrix-emulator
mkdir -p "$cable"
socat pty,raw,echo=0,link="$cable/board" pty,raw,echo=0,link="$cable/host" &
pids+=($!)
for _ in $(seq 50); do [ -e "$cable/host" ] && break; sleep 0.1; done
ln -sf "$(readlink -f "$cable/board")" "$WINEPREFIX/dosdevices/com$port"
# The host end is also a COM port of the prefix, for a Windows host program run under Wine.
ln -sf "$(readlink -f "$cable/host")" "$WINEPREFIX/dosdevices/com$((port + 1))"

echo "The emulated board answers on COM$port once you press \"Iniciar\" (the program's port field"
echo "must say $port). Host end of the cable: $cable/host (a Windows host under this prefix: COM$((port + 1)))."
wine build/windows/bin/OmbrixEmulator.exe &
program=$!
pids+=($program)
if [ -n "$headless" ]; then
  sleep 6
  mkdir -p build/windows/screenshots
  import -window root build/windows/screenshots/run.png
  echo "No display: the window runs on the virtual screen $DISPLAY; its screenshot is"
  echo "  build/windows/screenshots/run.png (drive it with DISPLAY=$DISPLAY xdotool ...)."
fi
echo "The board monitor polls the host end ten times a second; close the window to stop."
build/windows/host/board_monitor --device "$cable/host" &
pids+=($!)
wait "$program"
