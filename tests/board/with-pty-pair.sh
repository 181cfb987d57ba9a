#!/usr/bin/env bash
# Runs a command with a virtual null-modem cable: a socat pty pair whose ends are mapped to
# two COM ports of the Wine prefix. The command sees OMBRIX_BOARD_COM / OMBRIX_HOST_COM
# (the port numbers) and OMBRIX_BOARD_PTY / OMBRIX_HOST_PTY (the Linux paths).
#   with-pty-pair.sh BOARD_COM HOST_COM command [args...]
set -u
board_com=$1
host_com=$2
shift 2
: "${WINEPREFIX:?WINEPREFIX must name the private Wine prefix of the test run}"

dir=$(mktemp -d /tmp/ombrix-pty.XXXXXX)
socat pty,raw,echo=0,link="$dir/board" pty,raw,echo=0,link="$dir/host" &
socat_pid=$!
cleanup() {
  kill "$socat_pid" 2>/dev/null
  wait "$socat_pid" 2>/dev/null
  rm -f "$WINEPREFIX/dosdevices/com$board_com" "$WINEPREFIX/dosdevices/com$host_com"
  rm -rf "$dir"
}
trap cleanup EXIT
for _ in $(seq 50); do
  [ -e "$dir/board" ] && [ -e "$dir/host" ] && break
  sleep 0.1
done
[ -e "$dir/board" ] || { echo "socat did not create the pty pair"; exit 1; }

ln -sf "$(readlink -f "$dir/board")" "$WINEPREFIX/dosdevices/com$board_com"
ln -sf "$(readlink -f "$dir/host")" "$WINEPREFIX/dosdevices/com$host_com"
export OMBRIX_BOARD_COM=$board_com OMBRIX_HOST_COM=$host_com
export OMBRIX_BOARD_PTY="$dir/board" OMBRIX_HOST_PTY="$dir/host"
"$@"
