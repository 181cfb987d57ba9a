# Session 2 of window_session_test.sh, sourced by it: the test build, started on the
# settings session 1 stored, with no joystick; two virtual joysticks (the 12-button game pad
# and the pad with an eight-way hat) plugged in, the association editor, the profiles and
# their dialog, and a full run that turns virtual reports into keys in a target window and
# into the light value the host reads, with the game pad unplugged and back during it.
# What a run hides and hands back, and the rules of the association lists, are the native
# tests'; here the window is seen to follow them.

send() { echo "$*" >>"$script"; }  # a script line for the test build's feeder
menu_key() {  # menu_key LETTER: picks an item of the "..." menu by its mnemonic (a, s, e).
    # Arrow keys would depend on what the pop-up highlights.
    click $IDC_MENU_BUTTON
    # Keys sent before the pop-up is up would reach the main window instead.
    ask menu 1000 >/dev/null
    xdotool key "$1"
}
menu() { menu_key "$1"; ask dialog 1000; }  # the same, then the profile dialog's caption
until_is() {  # until_is EXPECTED COMMAND...: the command's output once it matches, or after 10 s
    local got
    for _ in $(seq 100); do
        got=$("${@:2}")
        [ "$got" = "$1" ] && break
        sleep 0.1
    done
    echo "$got"
}
answer() {  # answer TEXT: replaces the text of the profile dialog's name field, presses Enter
    read -r l t _ _ <<<"$(ask rect $IDC_PROFILE_NAME)"
    xdotool mousemove $((l + 30)) $((t + 8)) click 1
    sleep 0.2
    xdotool key End shift+Home BackSpace
    [ -n "$1" ] && xdotool type --delay 20 "$1"
    xdotool key Return
    sleep 0.5
}
associate() {  # associate INPUT TARGET: picks the input and its target, presses the button
    ask select $IDC_INPUT "$1" >/dev/null
    if [ "$(ask state $IDC_CHANNEL_TARGET)" = "visible enabled -" ]; then ask select $IDC_CHANNEL_TARGET "$2" >/dev/null; else ask select $IDC_KEY_TARGET "$2" >/dev/null; fi
    click $IDC_ASSOCIATE
}
profile_bytes() {
    wine reg query 'HKCU\Software\OmbrixEmulator\Profiles' /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v n="$1" 'index($0, "REG_BINARY") {print $NF}'
}

session2() {
script="$work/joysticks"
: >"$script"
oem='HKCU\System\CurrentControlSet\Control\MediaProperties\PrivateProperties\Joystick\OEM'
wine reg add "$oem\\VID_0171&PID_0419" /v OEMName /t REG_SZ /d "Game pad 12" /f >/dev/null 2>&1
wine reg add "$oem\\VID_045E&PID_028E" /v OEMName /t REG_SZ /d "Hat pad" /f >/dev/null 2>&1
# Wine's Z: drive is the Unix root.
OMBRIX_TEST_SCRIPT="Z:$script" start_program "$test_program" "restart"
got=""
for id in $IDC_CH0_EDIT $IDC_CH1_EDIT $IDC_CH2_EDIT $IDC_CH4_EDIT $IDC_CH5_EDIT $IDC_CH6_EDIT $IDC_CH7_EDIT $IDC_PORT_EDIT; do got="$got$(ask text $id) "; done
check "every channel and the port restored" "100 100 100 50 100 1 100 249 " "$got"
check "the mode, the port field and the button restored" "visible enabled checked|visible disabled -|visible enabled -" \
    "$(ask state $IDC_JOYSTICK_ONLY)|$(ask state $IDC_PORT_EDIT)|$(ask state $IDC_PRESSED)"
click $IDC_MENU_BUTTON
xdotool key Up Return
about=$(ask message 1000)
check "About box in Portuguese without a translation" "Sobre...|Ombrix Emulator 1.0 Emula" "${about:0:34}"
click $IDC_JOYSTICK_ONLY
type_into $IDC_PORT_EDIT 31

check "no pad at the start" "[Nenhum joystick]" "$(ask items $IDC_JOYSTICK)"
send "attach gamepad12"
send "attach signed_pad"
# With what the test build said kept a pad out, or of a crash, if anything.
feeder_problems() {
    grep -a -E '^test devices:|Unhandled|terminate' "$work/program.log" | head -5 | tr -d '\r' | tr '\n' ' '
    grep -q -a '^test build:' "$work/program.log" || echo " (the test build was given no script)"
}
check "pads plugged in are offered" "[Nenhum joystick]|Game pad 12|Hat pad" \
    "$(until_is "[Nenhum joystick]|Game pad 12|Hat pad" ask items $IDC_JOYSTICK)$(feeder_problems)"
check "no editor without a joystick" "hidden enabled -" "$(ask state $IDC_INPUT)"
menu_key a
check "opening needs a joystick" "Oops...|Por favor, selecione um joystick antes de prosseguir!" "$(ask message 1000)"

ask select $IDC_JOYSTICK 2 >/dev/null
check "buttons by number, then directions and axes by name" \
    "Botão 1|Botão 2|Botão 3|Botão 4|Botão 5|Botão 6|Botão 7|Botão 8|Botão 9|Botão 10|Direcional acima|Direcional para baixo|Direcional para direita|Direcional para esquerda|Eixo de Rotação X|Eixo de Rotação Y|Eixo de Rotação Z|Eixo X|Eixo Y|Eixo Z" \
    "$(ask items $IDC_INPUT)"
ask select $IDC_JOYSTICK 1 >/dev/null
check "twelve buttons in numeric order" \
    "Botão 1|Botão 2|Botão 3|Botão 4|Botão 5|Botão 6|Botão 7|Botão 8|Botão 9|Botão 10|Botão 11|Botão 12|Eixo de Rotação X|Eixo de Rotação Y|Eixo de Rotação Z|Eixo de Visão|Eixo X|Eixo Y|Eixo Z" \
    "$(ask items $IDC_INPUT)"
ask select $IDC_INPUT 16 >/dev/null
check "an axis offers the channels" "visible enabled - hidden" "$(ask state $IDC_CHANNEL_TARGET) $(ask state $IDC_KEY_TARGET | cut -d' ' -f1)"
ask select $IDC_INPUT 0 >/dev/null
check "a button offers the keys" "hidden visible enabled -" "$(ask state $IDC_CHANNEL_TARGET | cut -d' ' -f1) $(ask state $IDC_KEY_TARGET)"

# Botão 3 -> Enter, Y -> Entrada B, X -> light, Botão 1 -> Z.
associate 2 6; associate 17 1; associate 16 4; associate 0 33
check "the associations made" \
    "Botão 3 -> Tecla Enter|Eixo Y -> Entrada B|Eixo X -> Sensor de luz|Botão 1 -> Tecla Z" "$(ask items $IDC_ASSOCIATIONS)"
shot joystick-linked
ask select $IDC_ASSOCIATIONS 1 >/dev/null
click $IDC_DELETE
check "deleting a middle line selects the line that moved up" \
    "1 Botão 3 -> Tecla Enter|Eixo X -> Sensor de luz|Botão 1 -> Tecla Z" "$(ask selected $IDC_ASSOCIATIONS) $(ask items $IDC_ASSOCIATIONS)"
ask select $IDC_ASSOCIATIONS 2 >/dev/null
click $IDC_DELETE
check "deleting the last line selects the new last line" "1 2" "$(ask selected $IDC_ASSOCIATIONS) $(ask items $IDC_ASSOCIATIONS | tr '|' '\n' | wc -l)"

check "the save dialog" "Salvar perfil" "$(menu s)"
answer "   "
check "a blank name is refused" "Oops...|Por favor, digite um nome válido para o perfil!" "$(ask message 1000)"
answer "  Meu Perfil "
check "no question for a new name" none "$(ask no-message 500)"
rec20=0000020009000000030000060100000030000104
check "the saved record is the 20 bytes of Botão 3 -> Enter and X -> light" $rec20 "$(profile_bytes 'Meu Perfil')"

associate 10 9  # Botão 11 -> Tecla B, which the hat pad lacks
menu s >/dev/null
check "the name list" "Meu Perfil" "$(ask items $IDC_PROFILE_NAME)"
answer "meu perfil"
check "a saved name in other letters asks before replacing" 'Oops...|Substituir o perfil "meu perfil"?' "$(ask message-cancel 1000)"
check "Cancel leaves the old profile" 0000020009000000030000060100000030000104 "$(profile_bytes 'Meu Perfil')"
menu s >/dev/null
answer "MEU PERFIL"
ask message 1000 >/dev/null
rec28=0000030009000000030000060100000030000104090000000B000009
check "OK replaces it" $rec28 "$(profile_bytes 'Meu Perfil')"

ask select $IDC_JOYSTICK 0 >/dev/null
check "[Nenhum joystick] hides the editor" "hidden hidden" "$(ask state $IDC_INPUT | cut -d' ' -f1) $(ask state $IDC_ASSOCIATIONS | cut -d' ' -f1)"
ask select $IDC_JOYSTICK 2 >/dev/null
check "and drops the associations" "" "$(ask items $IDC_ASSOCIATIONS)"

menu a >/dev/null
answer ""
check "opening refuses an empty name" "Oops...|Por favor, selecione um perfil válido da lista!" "$(ask message 1000)"
answer "Outro"
check "opening refuses an unknown name" "Oops...|Por favor, selecione um perfil válido da lista!" "$(ask message 1000)"
answer "meu PERFIL"
check "opened with the hat pad, only the inputs it has come back" \
    "Botão 3 -> Tecla Enter|Eixo X -> Sensor de luz" "$(ask items $IDC_ASSOCIATIONS)"
menu a >/dev/null
xdotool key Escape
sleep 0.4
check "Escape cancels the dialog" "none" "$(ask dialog 0)"

ask select $IDC_JOYSTICK 1 >/dev/null
check "back on the game pad the associations carry over" \
    "Botão 3 -> Tecla Enter|Eixo X -> Sensor de luz" "$(ask items $IDC_ASSOCIATIONS)"
associate 0 8  # Botão 1 -> Tecla A

# A full run on COM31: a button presses A in the target window, the X axis moves the light.
click $IDC_START
check "a run with the joystick" Parar "$(ask text $IDC_START)"
menu_key a
check "opening a profile is greyed out during a run" none "$(ask dialog 1000)"
click $IDC_JOYSTICK_LABEL  # closes the menu if it is still open
wine "$key_target" >"$work/keys" 2>/dev/null &
target_pid=$!
for _ in $(seq 100); do grep -q ready "$work/keys" 2>/dev/null && break; sleep 0.1; done
xdotool mousemove 100 60 click 1  # the target takes the keyboard focus
sleep 0.3
keys() { grep -v ready "$work/keys" | tr -d '\r\0' | tr '\n' ' ' | sed 's/ $//'; }
light() { values | cut -d, -f6; }
check "the light at rest reaches the host" 354 "$(light)"
send "at 0 gamepad12 buttons=1"
send "at 300 gamepad12 buttons=0 x=255"
check "a virtual button linked to Tecla A presses and releases A" "down 1E up 1E" "$(until_is "down 1E up 1E" keys)"
check "a virtual axis on Sensor de luz reaches the host at full" 0 "$(until_is 0 light)"
send "at 0 gamepad12 buttons=1 x=255"
sleep 0.3
send "detach gamepad12"
away="down 1E up 1E down 1E up 1E|Parar|[Nenhum joystick]|Game pad 12 (desconectado)|Hat pad"
check "unplugged during a run with Botão 1 held: A goes up, the run goes on, the pad marked away" "$away" \
    "$(until_is "$away" eval 'echo "$(keys)|$(ask text $IDC_START)|$(ask items $IDC_JOYSTICK)"')"
shot joystick-away
send "attach gamepad12"
back="[Nenhum joystick]|Game pad 12|Hat pad"
check "plugged back in: offered again" "$back" "$(until_is "$back" ask items $IDC_JOYSTICK)"
send "at 0 gamepad12 buttons=1 x=255"
send "at 200 gamepad12 buttons=0 x=255"
again="down 1E up 1E down 1E up 1E down 1E up 1E|0"
check "plugged back in: bound again, a press gives A again, the host answered throughout" "$again" \
    "$(until_is "$again" eval 'echo "$(keys)|$(light)"')"
kill "$target_pid" 2>/dev/null
click $IDC_START
check "Parar hands the last joystick position back to the row" "Iniciar 100 100" "$(ask text $IDC_START) $(ask text $IDC_CH5_EDIT) $(ask pos $IDC_CH5_SLIDER | awk '{print 100 - $1}')"

menu e >/dev/null
answer "Meu Perfil"
check "deleting asks first" 'Oops...|Excluir o perfil "Meu Perfil"?' "$(ask message 1000)"
check "the profile is gone" "" "$(profile_bytes 'Meu Perfil')"

# Closed during a run, with Botão 1 held: the workers end, the reading stops, the settings
# are stored and nothing is left alive.
click $IDC_START
send "at 0 gamepad12 buttons=1"
sleep 0.5
check "a run to close" Parar "$(ask text $IDC_START)"
close_program "session 2, closed during a run"
values=$(wine reg query 'HKCU\Software\OmbrixEmulator' /v Values 2>/dev/null | tr -d '\r' | awk '/Values/ {print $3}')
check "closing during a run stores the port and the mode in force" 1E00 "${values: -4}"
}

