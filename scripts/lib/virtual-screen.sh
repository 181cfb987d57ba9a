# Sourced by the scripts that show windows without a display: a virtual X screen.
#   start_virtual_screen FIRST   Xvfb on the first free display number from FIRST, 1024x768;
#                                exports DISPLAY, sets VIRTUAL_SCREEN_PID, and returns once
#                                the server takes connections (at most 5 s).
start_virtual_screen() {
    local n=$1
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 >/dev/null 2>&1 &
    VIRTUAL_SCREEN_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
}
