#!/usr/bin/env bash
# End-to-end scenarios of the real program under Wine: a driver (ui_driver.exe) reports
# where the controls are and what they show, xdotool clicks and types as a user would, and
# a Linux host polls the board on the other end of a pty pair mapped to COM31.
#   window_session_test.sh PROGRAM DRIVER MONITOR TRANSLATION SHOTS REPORT TEST_PROGRAM KEY_TARGET
# Session 2 runs the test build (TEST_PROGRAM) with virtual joysticks whose reports
# come from a script written here, and KEY_TARGET as the window that receives the keys.
# OMBRIX_WINDOW_SESSIONS (default "1 2 3") picks sessions when working on one of them.
# Runs in a prefix of its own, since it changes the screen's DPI and restarts the server.
set -u
program=$1 driver=$2 monitor=$3 translation=$4 shots=$5 report=$6 test_program=$7 key_target=$8
sessions=${OMBRIX_WINDOW_SESSIONS:-1 2 3}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# The control ids, by their names in resource.h: IDC_START and so on.
eval "$(awk '$1 == "#define" && $2 ~ /^ID[A-Z]_/ {print $2 "=" $3}' "$root/resources/resource.h")"
work=$(mktemp -d /tmp/ombrix-window.XXXXXX)
mkdir -p "$shots"
results="$work/results"
: >"$results"

check() {  # check NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        echo "ok   $1"
        echo "pass	$1" >>"$results"
    else
        echo "FAIL $1: expected [$2], got [$3]"
        echo "fail	$1	expected [$2], got [$3]" >>"$results"
    fi
}

xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    source "$root/scripts/lib/virtual-screen.sh"
    start_virtual_screen $((200 + RANDOM % 100))
    xvfb_pid=$VIRTUAL_SCREEN_PID
fi
unset WINEPREFIX
source "$root/scripts/wine-env.sh"

cable() {  # a new virtual cable whose board end is COM31
    rm -f "$work/board" "$work/host"
    socat pty,raw,echo=0,link="$work/board" pty,raw,echo=0,link="$work/host" &
    socat_pid=$!
    for _ in $(seq 50); do [ -e "$work/host" ] && break; sleep 0.1; done
    ln -sf "$(readlink -f "$work/board")" "$WINEPREFIX/dosdevices/com31"
}
cable
host="$work/host"

cleanup() {
    exec 3>&- 4<&- 2>/dev/null
    wineserver -k 2>/dev/null
    kill "$socat_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    case "$WINEPREFIX" in /tmp/ombrix-wine.*) rm -rf "$WINEPREFIX" ;; esac
    [ -n "${OMBRIX_KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

ask() {  # one driver command, one answer line
    echo "$*" >&3
    local answer
    IFS= read -r -t 30 answer <&4 || answer="(no answer)"
    echo "${answer%$'\r'}"
}
centre() {  # centre ID [dy]: the screen point of a control's centre, or dy from its top
    read -r l t r b <<<"$(ask rect "$1")"
    if [ -n "${2:-}" ]; then echo "$(((l + r) / 2)) $((t + $2))"; else echo "$(((l + r) / 2)) $(((t + b) / 2))"; fi
}
click() { xdotool mousemove $(centre "$@") click 1; sleep 0.3; }
type_into() {  # type_into ID TEXT: replaces the edit's text
    click "$1"
    xdotool key End shift+Home
    xdotool type "$2"
    sleep 0.4
}
values() { "$monitor" --device "$host" --rate 0 --count 3 --quiet 2>&1 | sed -n 's/^values=//p'; }
raw_reply() { python3 "$here/raw_reply.py" "$host"; }
status_bar() { echo "$(ask status 0)|$(ask status 1)|$(ask status 2)"; }
poll_steadily() {  # poll_steadily SECONDS: the host polls 100 times a second, in the background
    "$monitor" --device "$host" --rate 100 --count $(($1 * 100)) --quiet >/dev/null 2>&1 &
    poller=$!
}

start_program() {  # start_program EXE: the program and a fresh driver
    wine "$1" >"$work/program.log" 2>&1 &
    program_pid=$!
    rm -f "$work/in" "$work/out"
    mkfifo "$work/in" "$work/out"
    wine "$driver" <"$work/in" >"$work/out" 2>/dev/null &
    exec 3>"$work/in" 4<"$work/out"
    check "$2: the main window opens" ok "$(ask wait-window 20000)"
    sleep 1
}
close_program() {  # Escape closes the window and the program ends: a leak message would hold it
    xdotool key Escape
    local ended=no
    timeout 10 tail --pid="$program_pid" -f /dev/null && ended=yes
    check "$1: Escape ends the program, with no message at exit" "yes none" "$ended $(ask no-message 0)"
    exec 3>&- 4<&-
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
}
shot() { import -window root "$shots/$1.png"; }  # the whole virtual screen
right_edges_meet() { read -r _ _ a _ <<<"$(ask rect $IDC_MENU_BUTTON)"; read -r _ _ b _ <<<"$(ask rect $IDC_JOYSTICK)"; [ "$a" = "$b" ] && echo yes || echo "$a vs $b"; }

session1() {
# --- Session 1: a fresh registry, 96 DPI ------------------------------------------------
start_program "$program" "96 dpi"
check "client area above the status bar at 96 dpi, the bar along the bottom" "638 460" "$(ask client)"
check "the ... button ends at the selector's right edge" yes "$(right_edges_meet)"
for id in $IDC_CH0_EDIT $IDC_CH1_EDIT $IDC_CH2_EDIT $IDC_CH4_EDIT; do check "edit $id default" 100 "$(ask text $id)"; done
for id in $IDC_CH5_EDIT $IDC_CH6_EDIT $IDC_CH7_EDIT; do check "edit $id default" 0 "$(ask text $id)"; done
check "port default" 31 "$(ask text $IDC_PORT_EDIT)"
check "start button" Iniciar "$(ask text $IDC_START)"
check "the status bar before a run" "Parado||" "$(status_bar)"
shot idle-96dpi

click $IDC_START
check "Iniciar starts a run" Parar "$(ask text $IDC_START)"
check "the status bar before the host polls" "COM31 · 38400 8N1|Aguardando o host...|" "$(status_bar)"
check "defaults on the wire" "F8 04 87 7F 8F 7F 97 7F 9F 7F A7 7F AF 7F B0 12 B8 00" "$(raw_reply)"
check "port field locked during a run" "visible disabled -" "$(ask state $IDC_PORT_EDIT)"
type_into $IDC_CH4_EDIT 50
check "typing 50 into Entrada A moves its slider" 50 "$(ask pos $IDC_CH4_SLIDER)"
type_into $IDC_CH5_EDIT 150
check "150 stays in the light sensor's field" 150 "$(ask text $IDC_CH5_EDIT)"
read -r l t r b <<<"$(ask rect $IDC_CH7_SLIDER)"
x=$(((l + r) / 2))
xdotool mousemove $x $((b - 15)) mousedown 1
for y in $((b - 30)) $((b - 60)) $((t + 5)) $((t - 20)); do sleep 0.1; xdotool mousemove $x $y; done
xdotool mouseup 1
sleep 0.4
check "dragging the slider's thumb to the top shows 100" 100 "$(ask text $IDC_CH7_EDIT)"
click $IDC_CH6_SPIN 4
check "the spin's up arrow shows 1 in the sound field" 1 "$(ask text $IDC_CH6_EDIT)"
click $IDC_PRESSED
check "typed, dragged, spun and pressed values reach the host" "1023,1023,1023,0,521,0,20,1023" "$(values)"
shot running-96dpi
click $IDC_PRESSED
check "Pressionado released again" "1023,1023,1023,1023,521,0,20,1023" "$(values)"

# The status bar follows the host: its rate while it polls, the time since it stopped, and
# the hint for a host whose bytes are never a poll (as at another speed).
poll_steadily 4
sleep 2.2
rate=$(ask status 1)
check "after a second of 100 polls a second, the host part shows about 100" yes \
    "$(echo "$rate" | awk '{print ($1 == "Host:" && $2 >= 85 && $2 <= 115 && $3 == "leituras/s") ? "yes" : $0}')"
shot status-bar-96dpi
wait "$poller"
sleep 3.3
quiet=$(ask status 1)
check "3 s after the host went quiet" yes \
    "$(case "$quiet" in "Sem leituras há 3 s" | "Sem leituras há 4 s") echo yes ;; *) echo "$quiet" ;; esac)"
python3 -c 'import os, sys, time
fd = os.open(sys.argv[1], os.O_WRONLY)
for _ in range(200):
    os.write(fd, b"\x55")
    time.sleep(0.01)' "$host" &
other=$!
sleep 1.6
check "a host that sends only 0x55 bytes gets the speed hint" \
    "O host parece usar outra velocidade: use 38400 baud, 8N1" "$(ask status 2)"
shot status-hint-96dpi
wait "$other"

start_button=$(centre $IDC_START)
echo "wait-text $IDC_START Iniciar 3000" >&3
xdotool mousemove $start_button click 1
IFS= read -r -t 10 elapsed <&4 || elapsed=timeout
elapsed=${elapsed%$'\r'}
[ "$elapsed" != timeout ] && [ "$elapsed" -lt 300 ] && stop=fast || stop="$elapsed ms"
check "Parar with a silent host returns within 300 ms" fast "$stop"
check "controls enabled after the stop" "visible enabled -" "$(ask state $IDC_PORT_EDIT)"
check "after Parar the status bar reads as before the run" "Parado||" "$(status_bar)"

# The cable goes during a run: the run ends as "Parar" would, with a box, and the program
# does not spin on a port that fails every read.
click $IDC_START
kill "$socat_pid"
wait "$socat_pid" 2>/dev/null
lost=$(ask message 3000)
check "a port that goes away ends the run with a box, with the system's text" yes \
    "$(case "$lost" in "Oops...|A porta serial parou de funcionar e a emulação foi interrompida: "?*) echo yes ;; *) echo "$lost" ;; esac)"
check "the run has ended and the rows keep their values" "Iniciar 50" "$(ask text $IDC_START) $(ask text $IDC_CH4_EDIT)"
# The program's clock ticks so far, as a share of a core over 3 s.
ticks() { awk '{print $14 + $15}' "/proc/$program_pid/stat"; }
before=$(ticks)
sleep 3
cpu=$(awk -v a="$before" -v b="$(ticks)" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.2f", (b - a) * 100 / hz / 3}')
echo "   CPU of the program over 3 s once the port went: $cpu % of a core"
check "no spinning after the port went (under 1 % of a core)" yes "$(awk -v c="$cpu" 'BEGIN {print (c < 1) ? "yes" : "no"}')"
cable

type_into $IDC_PORT_EDIT 249
click $IDC_START
check "a port that does not exist" "Oops...|Erro ao iniciar o emulador: File not found." "$(ask message 1000)"
check "the button still reads Iniciar" Iniciar "$(ask text $IDC_START)"
check "the rows keep what the user set" 50 "$(ask text $IDC_CH4_EDIT)"
check "the port field stays enabled after a failed start" "visible enabled -" "$(ask state $IDC_PORT_EDIT)"
click $IDC_JOYSTICK_ONLY
check "joystick-only greys out the port field at once" "visible disabled -" "$(ask state $IDC_PORT_EDIT)"
click $IDC_START
t19=$(ask message 1000)
check "joystick-only without key associations is refused" "Oops...|Para emular apenas" "${t19:0:26}"
close_program "session 1"
values_saved=$(wine reg query 'HKCU\Software\OmbrixEmulator' /v Values 2>/dev/null | tr -d '\r' | awk '/Values/ {print $3}')
check "closing stores the settings" 6464643264016400F801 "$values_saved"
}

session3() {
# --- Session 3: 144 DPI with a translation beside the program ---------------------------
wine reg delete 'HKCU\Software\OmbrixEmulator' /f >/dev/null 2>&1
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -k
wineserver -w
mkdir -p "$work/translated"
cp "$program" "$work/translated/OmbrixEmulator.exe"
cp "$translation" "$work/translated/OmbrixEmulator.txt"
start_program "$work/translated/OmbrixEmulator.exe" "144 dpi"
check "client area above the status bar at 144 dpi" "957 690" "$(ask client)"
check "the ... button ends at the selector's right edge at 144 dpi" yes "$(right_edges_meet)"
translated() { iconv -f UTF-16 -t UTF-8 "$translation" | tr -d '\r' | sed -n "s/^$1=//p"; }
start_text=$(translated T7)
check "the translation replaces the start button's text" "$start_text" "$(ask text $IDC_START)"
shot idle-144dpi
click $IDC_START
check "a run at 144 dpi" "$(translated T22)" "$(ask text $IDC_START)"
check "the status bar's texts from the translation" "$(translated T35 | sed 's/%u/31/')|$(translated T38)|" \
    "$(status_bar)"
shot running-144dpi
poll_steadily 3
sleep 1.5
check "the translated host part while the host polls" "Host: polls/s" "$(ask status 1 | awk '{print $1, $3}')"
shot status-bar-144dpi
wait "$poller"
click $IDC_START
click $IDC_MENU_BUTTON
xdotool key Up Return
about=$(ask message 1000)
sleep 1
check "About box in English with a translation" "Ombrix Emulator 1.0 Emulates" "$(echo "${about#*|}" | cut -c1-28)"
close_program "session 3"
# Back to 96 DPI only for a session that follows.
[ "$s" = "${sessions##* }" ] && return
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
wineserver -k
wineserver -w
}

source "$(dirname "$0")/joystick_session.sh"
for s in $sessions; do "session$s"; done

mkdir -p "$(dirname "$report")"
# The results as a GoogleTest-style report, so that the test command counts each check.
python3 "$here/session_report.py" "$results" "$report"
failures=$(grep -c '^fail' "$results")
echo "window session: $(grep -c '^pass' "$results") passed, $failures failed; screenshots in $shots"
[ "$failures" -eq 0 ]
