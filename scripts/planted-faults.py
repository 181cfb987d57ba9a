#!/usr/bin/env python3
"""Plants faults in the program one at a time and reports which test catches each, so that
a change to the tests can be shown to catch everything the suite caught before.

  python3 scripts/planted-faults.py [ID ...] [--area AREA] [--json FILE] [--no-baseline]
  python3 scripts/planted-faults.py --list | --check

For each fault: its file must be unchanged in git and hold the fault's text exactly once;
the text is replaced, the program built, and the tests run from cheapest to dearest until
one fails: the native tests, the Windows unit tests under Wine, then the end-to-end window
session (a minute or two). A file the native build does not compile skips the native
tests. A test that fails is run once more and counts only if it fails again (a test that
hangs counts at once); what failed both times is reported. The file is put back whatever
happens, Ctrl+C included.

First both presets are built and every test run once without a fault (--no-baseline skips
the run): a suite that fails by itself would make every fault look caught, and the run
gives ctest the timings that order the tests. Progress goes to stderr, the markdown table
to stdout; build and test output of each fault to build/planted-faults/ID.log."""
import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time
from collections import namedtuple
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
LOGS = ROOT / "build" / "planted-faults"
# The file being planted and its text, kept until it is put back, so that a run that was
# killed outright can be undone by the next one.
PENDING = LOGS / "pending-restore.json"

Fault = namedtuple("Fault", "id area path old new what")

# fmt: off
FAULTS = [
    # --- board ------------------------------------------------------------------------------
    Fault("light-knee", "board", "src/board/BoardState.cpp",
          "value = LightValue(f, percent > 75);", "value = LightValue(f, percent > 73);",
          "the light curve's pieces meet at 74 %: 74 % gives 26 instead of 38"),
    Fault("ninety-nine", "board", "src/board/BoardState.cpp",
          "value = 1016;", "value = 1023;",
          "99 % gives 1023 like 100 % instead of 1016"),
    Fault("raw-percent-clamp", "board", "src/board/BoardState.cpp",
          "const int32_t percent = ip < 0 ? 0 : (ip > 100 ? 100 : ip);", "const int32_t percent = ip;",
          "a raw value off the joystick range stores a wrapped percentage for the row and the settings"),
    Fault("name-table", "board", "src/board/BoardState.cpp",
          "kNameToWire[kManualRowCount] = {4, 2, 1, 0, 5, 6, 7};",
          "kNameToWire[kManualRowCount] = {4, 1, 2, 0, 5, 6, 7};",
          "Entrada B and Entrada C swap wire channels as association targets"),
    Fault("reply-high-bits", "board", "src/board/BoardState.cpp",
          "((v >> 7) & 7)", "((v >> 7) & 3)",
          "the reply drops a value's top bit: values from 512 up reach the host 512 lower"),
    Fault("poll-byte", "board", "src/board/ResponderLoop.cpp",
          "if (received == kPollByte) {", "if (received != 0) {",
          "every nonzero byte from the host is answered, not only the poll byte 0x01"),
    Fault("line-error", "board", "src/board/ResponderLoop.cpp",
          "++failedReads >= kPortGoneReadFailures", "++failedReads >= 1",
          "a single line error ends the run as if the port had gone"),
    Fault("silent-port-gone", "board", "src/board/ResponderLoop.cpp",
          "const HResult status = io.ClearError();", "const HResult status = kOk;",
          "a port that went but answers reads with nothing is never noticed: the run goes on"),
    Fault("read-timeout", "board", "src/board/SerialPort_win.cpp",
          "timeouts.ReadTotalTimeoutConstant = 250;", "timeouts.ReadTotalTimeoutConstant = 2500;",
          "a read with nothing to read waits 2.5 s, so a stop with a silent host takes seconds"),
    Fault("com-name", "board", "src/board/SerialPort_win.cpp",
          r'wsprintfW(name, L"\\\\.\\COM%u", portNumber);', 'wsprintfW(name, L"COM%u", portNumber);',
          "ports above COM9 cannot be opened: the device-namespace name is never tried"),
    Fault("scenario-percent", "board", "src/board/ScenarioScript.cpp",
          "return ParseWhole(text, 0, 100, percent);", "return ParseWhole(text, 0, 101, percent);",
          "the virtual board takes 101 % in a script instead of refusing the line"),
    Fault("scenario-ms", "board", "src/board/ScenarioScript.cpp",
          "        unitUs = 1000;", "        unitUs = 100;",
          "a wait in ms lasts a tenth of what the script says"),
    Fault("scenario-drift", "board", "src/board/ScenarioRunner.cpp",
          "            timeline_ += command.durationUs;", "            timeline_ = clock_.NowUs() + command.durationUs;",
          "each wait counts from when it starts, so a long script drifts late"),
    Fault("scenario-raw", "board", "src/board/ScenarioRunner.cpp",
          "Change([&] { board_.values[command.channel].store(command.value, std::memory_order_relaxed); });",
          "Change([&] { board_.SetRaw(command.channel, command.value); });",
          "raw puts the value through the light and sound curves instead of on the wire as given"),
    Fault("board-counts", "board", "tools/virtual_board/VirtualBoard.cpp",
          "if (!Failed(result) && *count == 1 && *byte != kPollByte)", "if (!Failed(result) && *count == 1)",
          "the virtual board counts the polls it answered as ignored bytes in its totals"),
    Fault("board-link", "board", "tools/virtual_board/BoardPort_posix.cpp",
          "            if (n >= 0 && std::string(target, static_cast<size_t>(n)) == hostEnd_)\n                unlink(link_.c_str());",
          "            (void)n;",
          "the virtual board leaves its --link behind at exit"),
    # --- core -------------------------------------------------------------------------------
    Fault("buffer-capacity", "core", "src/core/Buffer.cpp",
          "const int32_t newCapacity = byteCount + 4 - (byteCount % 4);",
          "const int32_t newCapacity = (byteCount + 3) / 4 * 4;",
          "a buffer's capacity can equal its content, leaving no room for a string's NUL"),
    Fault("trim-no-break-space", "core", "src/core/String.cpp",
          "c == 32 || c == 160", "c == 32",
          "a no-break space around a text is not trimmed"),
    Fault("list-growth-margin", "core", "src/core/ObjectList.cpp",
          "const int32_t newCapacity = entryCount + 16;", "const int32_t newCapacity = entryCount;",
          "the list grows without its margin: every append reallocates"),
    Fault("list-remove-shift", "core", "src/core/ObjectList.cpp",
          "static_cast<size_t>(count_ - index - 1) * sizeof(RefObject*));",
          "static_cast<size_t>(count_ - index - 2) * sizeof(RefObject*));",
          "removing an entry does not move the last entry down: it is lost and its neighbour doubled"),
    Fault("sort-stability", "core", "src/core/ObjectList.cpp",
          "if (compare(items_[i], items_[j], context) > 0) {",
          "if (compare(items_[i], items_[j], context) >= 0) {",
          "sorting moves equal entries past each other (no longer stable)"),
    Fault("query-interface-ref", "core", "src/core/RefObject.cpp",
          "    AddRef();\n    *out = this;", "    *out = this;",
          "QueryInterface hands out a reference it did not count"),
    # --- text -------------------------------------------------------------------------------
    Fault("b0-probe", "text", "src/text/TextTable.cpp",
          "const bool usable = probe != nullptr && !probe->IsEmpty();", "const bool usable = probe != nullptr;",
          "a translation file with an empty B0 is used and blanks every text"),
    Fault("key-order", "text", "src/text/TextTable.cpp",
          "{{u'B', kChannelNameCount}, {u'K', kTargetNameCount}, {u'T', kTextCount}}",
          "{{u'B', kChannelNameCount}, {u'T', kTextCount}, {u'K', kTargetNameCount}}",
          "the file is read B, T, K, so target names and other texts land in each other's places"),
    Fault("later-keys", "text", "src/text/TextTable.h",
          "constexpr int32_t kFirstTextsCount = 32;", "constexpr int32_t kFirstTextsCount = 34;",
          "a later text (T32, T33) left out of an older file shows empty instead of the built-in text"),
    Fault("translation-path", "text", "src/text/TranslationPath.cpp",
          "keep = i + 1;", "keep = i;",
          "the translation file of Program.exe is looked for as Programtxt: the dot goes"),
    Fault("value-text-odd", "text", "src/text/ValueText.cpp",
          "const int32_t units = byteCount / 2;", "const int32_t units = (byteCount + 1) / 2;",
          "a registry value with an odd byte count is read half a unit past its data"),
    # --- joystick ---------------------------------------------------------------------------
    Fault("hid-last-holder", "joystick", "src/joystick/HidFunctions.cpp",
          "        --HidReferenceCount;\n    if (HidReferenceCount == 0)\n        Unload();\n",
          "        --HidReferenceCount;\n",
          "the HID library is not unloaded when its last holder lets go"),
    Fault("button-count", "joystick", "src/joystick/InputCatalogue.cpp",
          "buttonCount = caps.Range.UsageMax - caps.Range.UsageMin + 1;",
          "buttonCount = caps.Range.UsageMax - caps.Range.UsageMin;",
          "a range of buttons gives one button too few"),
    Fault("hat-kind", "joystick", "src/joystick/InputCatalogue.cpp",
          "input.Kind = input.LogicalMax == 8 ? kKindHat8 : kKindAxis;",
          "input.Kind = input.LogicalMax == 7 ? kKindHat8 : kKindAxis;",
          "an eight-way hat numbered 1-8 is taken for a plain value: it has no directions"),
    Fault("axis-scale", "joystick", "src/joystick/InputCatalogue.cpp",
          "float scale = 1023.0f / range;", "float scale = 1024.0f / range;",
          "scaled axes reach 1024 at full deflection instead of 1023"),
    Fault("button-names", "joystick", "src/joystick/InputCatalogue.cpp",
          "ButtonName(gNames.Button, static_cast<uint32_t>(i) + 1)",
          "ButtonName(gNames.Button, static_cast<uint32_t>(i))",
          "buttons are named from 0 (Botão 0) instead of 1"),
    Fault("direction-order", "joystick", "src/joystick/InputCatalogue.cpp",
          "kDirectionDPadUsage[kDirectionCount] = {0x90, 0x92, 0x91, 0x93};",
          "kDirectionDPadUsage[kDirectionCount] = {0x90, 0x91, 0x92, 0x93};",
          "the hat's right and down directions swap their names and usages"),
    Fault("usage-list-length", "joystick", "src/joystick/ReportDecoder.cpp",
          "uint32_t usageCount = usageCapacity;", "uint32_t usageCount = buttonCount;",
          "with more buttons held than the first range has, the parser refuses and every button sticks"),
    Fault("axis-rounding", "joystick", "src/joystick/ReportDecoder.cpp",
          "* input.Scale + 0.015625f));", "* input.Scale));",
          "a scaled axis at full deflection reads 1022 instead of 1023"),
    Fault("hat-mask", "joystick", "src/joystick/ReportDecoder.cpp",
          "{0, 1, 3, 2, 6, 4, 12, 8, 9}", "{0, 1, 3, 2, 6, 4, 12, 8, 8}",
          "the hat's up-left position reads as left only"),
    Fault("hat-out-of-range", "joystick", "src/joystick/ReportDecoder.cpp",
          "return raw < 9 ? kHatMasks[raw] : 0;", "return kHatMasks[raw % 9];",
          "a hat's out-of-range rest value (15) reads as a direction"),
    Fault("start-pending", "joystick", "src/joystick/JoystickReader.cpp",
          "        JoystickInput& input = device.Inputs()[i];\n        input.StorePending(input.LoadValue());\n",
          "        JoystickInput& input = device.Inputs()[i];\n",
          "a report nobody polled before a start is taken as a change by the run's first poll"),
    Fault("poll-release", "joystick", "src/joystick/JoystickReader.cpp",
          "input.Changed = input.LoadValue() ^ pending;", "input.Changed = pending;",
          "a release (an input back to 0) is not polled as a change"),
    Fault("watching-thread", "joystick", "src/joystick/JoystickReader.cpp",
          "if (empty && !gWatching)", "if (empty)",
          "stopping the last pad ends the reader thread while the window still watches for pads"),
    Fault("removed-connected", "joystick", "src/joystick/JoystickReader.cpp",
          "    device->Connected.store(0, std::memory_order_relaxed);\n    RestDevice(*device);",
          "    RestDevice(*device);",
          "reports still queued for an unplugged pad undo its rest"),
    Fault("rest-hat", "joystick", "src/joystick/JoystickReader.cpp",
          "if (input.Kind < 0 && input.Directions == nullptr)", "if (input.Kind < 0)",
          "an unplugged pad's eight-way hat is not rested: a key held by a direction stays down"),
    Fault("rebind-connected", "joystick", "src/joystick/JoystickReader.cpp",
          "    device.RawHandle = rawHandle;\n    device.Connected.store(1, std::memory_order_relaxed);",
          "    device.RawHandle = rawHandle;",
          "a pad plugged back in stays marked gone: its reports are ignored"),
    Fault("enumeration-usage", "joystick", "src/joystick/JoystickEnumeration_win.cpp",
          "(info.hid.usUsage == 4 || info.hid.usUsage == 5)", "info.hid.usUsage == 5",
          "joysticks (usage 4) are not listed, only game pads"),
    Fault("oem-key-vendor", "joystick", "src/joystick/DeviceNaming.cpp",
          "at = AppendHex(text, at, vendorId, 4);", "at = AppendHex(text, at, productId, 4);",
          "the OEM name is looked up under the product id twice, so pads show as Controller"),
    # --- associations -----------------------------------------------------------------------
    Fault("key-pass-order", "associations", "src/associations/AssociationEvaluation.cpp",
          "    for (int32_t i = keyCount - 1; i >= 0; --i) {\n"
          "        const Association* association = AssociationModel::At(keys, i);",
          "    for (int32_t i = 0; i < keyCount; ++i) {\n"
          "        const Association* association = AssociationModel::At(keys, i);",
          "the keys of one pass are sent first to last instead of last to first"),
    Fault("one-call-per-pass", "associations", "src/associations/AssociationEvaluation.cpp",
          "keyboard.SendInput(n, records,", "keyboard.SendInput(1, records,",
          "when several keys change in one pass only the first reaches the system"),
    Fault("channel-wire", "associations", "src/associations/AssociationEvaluation.cpp",
          "board.SetRaw(static_cast<int32_t>(association->code),", "board.SetRaw(association->targetIndex,",
          "an axis drives the channel at its name's index, not its wire channel (Entrada A moves Entrada D)"),
    Fault("button-release", "associations", "src/associations/AssociationEvaluation.cpp",
          "if (button != nullptr && button->Input().Changed != 0)",
          "if (button != nullptr && button->Input().LoadValue() != 0)",
          "releasing the input never releases the board button"),
    Fault("release-at-stop", "associations", "src/associations/AssociationEvaluation.cpp",
          "    ReleaseHeldKeys(*run.Model, scratch, keyboard);\n    return 0;", "    return 0;",
          "a held key is not released at the stop"),
    Fault("conflict-kind", "associations", "src/associations/AssociationModel.cpp",
          "(item->kind == kind && item->targetIndex == targetIndex)", "item->targetIndex == targetIndex",
          "a channel link replaces a key link that has the same index (and the other way round)"),
    Fault("keys-start-at-rest", "associations", "src/associations/AssociationModel.cpp",
          "        At(*keys_, i)->Input().StoreValue(0);\n", "",
          "a key input still held from the last run gives no press when the next run starts"),
    Fault("extended-key-flag", "associations", "src/associations/KeyTable.cpp",
          "(press ? 0 : kKeyEventKeyUp) | (code >> 8);", "(press ? 0 : kKeyEventKeyUp);",
          "the arrow keys are sent without the extended-key flag and arrive as the keypad's"),
    Fault("key-codes", "associations", "src/associations/KeyTable.cpp",
          "0x1E, 0x30, 0x2E,", "0x30, 0x1E, 0x2E,",
          "Tecla A sends B and Tecla B sends A"),
    # --- persistence ------------------------------------------------------------------------
    Fault("default-port", "persistence", "src/persistence/SavedValues.cpp",
          "values.comPortMinusOne = 30;", "values.comPortMinusOne = 31;",
          "a first start offers COM32 instead of COM31"),
    Fault("nine-byte-record", "persistence", "src/persistence/SavedValues.cpp",
          "length < kSavedValuesMinimumLength)", "length < kSavedValuesLength)",
          "a 9-byte settings record is thrown away for the defaults"),
    Fault("usage-width", "persistence", "src/persistence/ProfileRecord.cpp",
          "WriteLittle(entry + 4, 2, association->Input().Usage);",
          "WriteLittle(entry + 4, 1, association->Input().Usage);",
          "a profile keeps only the low byte of each usage, so hat directions do not come back"),
    Fault("short-record", "persistence", "src/persistence/ProfileRecord.cpp",
          "record->Length() < kProfileHeaderLength + kProfileEntryLength * count",
          "record->Length() < kProfileHeaderLength",
          "a record holding fewer entries than its count opens and is read past its end"),
    Fault("shared-usages", "persistence", "src/persistence/ProfileRecord.cpp",
          "taken[input] = 1;", "taken[input] = 0;",
          "links on inputs that share their usages all come back on the first such input"),
    Fault("name-trim", "persistence", "src/persistence/ProfileName.cpp",
          "    name.Trim();\n", "",
          "spaces around a profile name are kept"),
    Fault("name-case", "persistence", "src/persistence/ProfileName.cpp",
          "if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))",
          "if (c >= u'a' && c <= u'z')",
          "accented letters (é, ç) do not match their capitals in profile names"),
    Fault("name-cut", "persistence", "src/persistence/ProfileName.cpp",
          "name.Assign(name.Chars(), kProfileNameMaxLength);",
          "name.Assign(name.Chars(), kProfileNameMaxLength - 1);",
          "a long profile name is cut to 99 units instead of 100"),
    Fault("store-type", "persistence", "src/persistence/SettingsStore_win.cpp",
          "RegSetValueExW(key, name, 0, REG_BINARY,", "RegSetValueExW(key, name, 0, REG_SZ,",
          "the settings and profiles are stored as string values instead of binary ones"),
    Fault("value-grows", "persistence", "src/text/TextSources_win.cpp",
          "        if (status == ERROR_MORE_DATA)\n            continue;",
          "        if (status == ERROR_MORE_DATA)\n            return false;",
          "a registry value that grows during its read is not read at all"),
    # --- session ----------------------------------------------------------------------------
    Fault("parked-start", "session", "src/session/EmulationSession.cpp",
          "if (IsRunning() || WorkersParked())\n        return;\n    joystickOnly_",
          "if (IsRunning())\n        return;\n    joystickOnly_",
          "a start goes ahead while a worker of the last run is still parked"),
    Fault("start-order", "session", "src/session/EmulationSession.cpp",
          "    associations_.ApplyInputsToBoard(board_, joystickOnly_ == 0);\n"
          "    const HResult code = StartWorkers();\n",
          "    const HResult code = StartWorkers();\n"
          "    associations_.ApplyInputsToBoard(board_, joystickOnly_ == 0);\n",
          "the board takes the joystick's positions after the workers start, racing them"),
    Fault("hidden-row", "session", "src/session/EmulationSession.cpp",
          "view_.ShowRow(kWireToManual[AssociationModel::At(channels, i)->code], false);",
          "view_.ShowRow(AssociationModel::At(channels, i)->targetIndex, false);",
          "a run hides the row at the channel name's index instead of the driven channel's row"),
    Fault("stop-hands-back", "session", "src/session/EmulationSession.cpp",
          "        view_.UpdateRow(row, PercentOfValue(channel->Input().LoadValue()));\n", "",
          "Parar shows the driven rows again without the joystick's last position"),
    Fault("failed-start-board", "session", "src/session/EmulationSession.cpp",
          "        before.Restore(board_);\n", "",
          "a failed start leaves the board at the joystick's positions instead of what the user set"),
    Fault("port-lost-generation", "session", "src/session/EmulationSession.cpp",
          "if (!IsRunning() || generation != board_.generation.load(std::memory_order_relaxed))",
          "if (!IsRunning())",
          "a late port loss of an earlier run ends the current run"),
    Fault("arrival-same-pad", "session", "src/session/EmulationSession.cpp",
          "SameJoystick(*away, *device) && away->PreparsedSize", "away->PreparsedSize",
          "any pad with the same report layout takes the place of the selected pad that went"),
    Fault("removed-selected", "session", "src/session/EmulationSession.cpp",
          "if (device == associations_.SelectedJoystick())\n        view_.ShowJoystickEntry",
          "if (device != associations_.SelectedJoystick())\n        view_.ShowJoystickEntry",
          "an unplugged selected pad leaves the list, and another one stays marked away"),
    # --- ui ---------------------------------------------------------------------------------
    Fault("edit-clamp", "ui", "src/ui/ManualControls_win.cpp",
          "static_cast<int32_t>(std::min<UINT>(number, 100));", "static_cast<int32_t>(number);",
          "a number above 100 typed into a row goes to the board and the settings unclamped"),
    Fault("slider-direction", "ui", "src/ui/ManualControls_win.cpp",
          "const auto percent = 100 - static_cast<int32_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));",
          "const auto percent = static_cast<int32_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));",
          "dragging a slider to the top gives 0 % instead of 100 %"),
    Fault("spin-channel", "ui", "src/ui/ManualControls_win.cpp",
          "100 - percent);\n        session_.Board().SetPercent(kManualToWire[m], percent);\n        return true;\n"
          "    }\n    return false;\n}\n\nvoid MainForm::OnVScroll",
          "100 - percent);\n        session_.Board().SetPercent(m, percent);\n        return true;\n"
          "    }\n    return false;\n}\n\nvoid MainForm::OnVScroll",
          "a spin arrow sets the channel numbered like its row, not the row's channel (sound moves light)"),
    Fault("buttons-by-number", "ui", "src/ui/InputOrder.cpp",
          "StartsWith(firstName, button) && StartsWith(secondName, button)",
          "StartsWith(firstName, button) || StartsWith(secondName, button)",
          "a button is ordered against an axis by usage number, so axes land among the buttons"),
    Fault("chosen-input", "ui", "src/ui/AssociationEditor_win.cpp",
          "associations_.AddAssociationForInput(input, isChannel, target);",
          "associations_.AddAssociation(associations_.InputRefAt(input)->input->UsagePage,\n"
          "                                  associations_.InputRefAt(input)->input->Usage, isChannel, target);",
          "the editor links the first input with the chosen one's usages, not the chosen input"),
    Fault("selector-refusal", "ui", "src/ui/AssociationEditor_win.cpp",
          "    if (!AssociationsEditable()) {\n        ShowSelectedJoystick();\n        return;\n    }",
          "    if (!AssociationsEditable())\n        return;",
          "a refused change of joystick leaves the selector showing a pad that is not selected"),
    Fault("save-dialog-mode", "ui", "src/ui/Profiles_win.cpp",
          "Text(Texts::kSaveProfileTitle), &nameExists, false);", "Text(Texts::kSaveProfileTitle), &nameExists, true);",
          "the save dialog takes the open dialog's rule and refuses a new name"),
    Fault("board-colours", "ui", "src/ui/UiMetrics.h",
          "controlId != IDC_START && controlId < IDC_PORT_EDIT", "controlId != IDC_START && controlId <= IDC_PORT_EDIT",
          "the port field is drawn white on black like the board's rows"),
    Fault("modal-form-reference", "ui", "src/ui/Window_win.cpp",
          "    SetWindowLongPtrW(window, GWLP_USERDATA, 0);\n    form->Release();",
          "    SetWindowLongPtrW(window, GWLP_USERDATA, 0);",
          "a closed window never releases its form, which leaks"),
    Fault("modal-zero", "ui", "src/ui/Window_win.cpp",
          "    if (form->hwnd == nullptr)\n        form->Release();",
          "    if (result <= 0)\n        form->Release();",
          "a modal dialog ended with 0 (a WM_QUIT in its loop) releases its form once too often"),
    Fault("teardown-settings", "ui", "src/ui/MainForm_win.cpp",
          "    StopWatching();\n    StoreSettings();\n", "    StopWatching();\n",
          "closing the window does not store the settings"),
    # --- app --------------------------------------------------------------------------------
    Fault("leak-check", "app", "src/app/Main_win.cpp",
          "!MainFormLeftWorkersRunning() && !AllInstanceCountersZero()",
          "!MainFormLeftWorkersRunning() && AllInstanceCountersZero()",
          "the leak message shows at every clean exit instead of after a leak"),
]
# fmt: on

# Test steps, cheapest first: (name, preset, ctest selection).
STEPS = [
    ("native", "native", []),
    ("windows", "windows", ["-E", "window_session_test"]),
    ("session", "windows", ["-R", "window_session_test"]),
]
HARD_TIMEOUT = 1200  # seconds for one test; ctest's own limits (300, 600) normally come first


def progress(text):
    print(text, file=sys.stderr, flush=True)


def terminate_on(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


def run(cmd, env=None, timeout=None):
    """Runs cmd in a process group of its own; (exit status or None on time-out, output).
    A time-out or an interrupt ends the whole group: first politely, so that test scripts
    run their clean-up, then for good."""
    proc = subprocess.Popen(cmd, cwd=ROOT, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, text=True, errors="replace", start_new_session=True)
    out = ""
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out
    except BaseException as error:
        for sig, grace in ((signal.SIGTERM, 15), (signal.SIGKILL, None)):
            try:
                os.killpg(proc.pid, sig)
            except ProcessLookupError:
                break
            try:
                out, _ = proc.communicate(timeout=grace)
                break
            except subprocess.TimeoutExpired:
                continue
        if isinstance(error, subprocess.TimeoutExpired):
            return None, (out or "") + f"\n[timed out after {timeout} s]"
        raise


class WindowsEnvironment:
    """The virtual screen and the private Wine prefix the Windows tests run in, made as the
    test command makes them, once per invocation."""

    def __init__(self):
        script = ("source scripts/lib/virtual-screen.sh; start_virtual_screen $((90 + RANDOM % 100)); "
                  "unset WINEPREFIX; source scripts/wine-env.sh; echo XVFB=$VIRTUAL_SCREEN_PID; "
                  "for v in DISPLAY WINEPREFIX WINEDEBUG WINEDLLOVERRIDES; do echo \"$v=${!v}\"; done")
        status, out = run(["bash", "-c", script], timeout=300)
        found = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        self.xvfb = int(found.get("XVFB", "0") or 0)
        self.env = dict(os.environ)
        for name in ("DISPLAY", "WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES"):
            self.env[name] = found.get(name, "")
        if status != 0 or not self.env["WINEPREFIX"] or not self.env["DISPLAY"]:
            self.close()
            raise SystemExit(f"could not set up the virtual screen and Wine prefix:\n{out}")
        progress(f"   screen {self.env['DISPLAY']}, wine prefix {self.env['WINEPREFIX']}")

    def restart_wine(self):
        """After a test that timed out: its processes may still hold the server."""
        run(["bash", "-c", "wineserver -k; wineserver -p >/dev/null 2>&1 </dev/null; "
             "wine cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null"], env=self.env, timeout=120)

    def close(self):
        if self.env.get("WINEPREFIX"):
            run(["wineserver", "-k"], env=self.env, timeout=60)
            if self.env["WINEPREFIX"].startswith("/tmp/ombrix-wine."):
                run(["rm", "-rf", self.env["WINEPREFIX"]])
        if self.xvfb:
            try:
                os.kill(self.xvfb, signal.SIGTERM)
            except ProcessLookupError:
                pass


def build(preset):
    return run(["nice", "cmake", "--build", "--preset", preset])


def tests_of(preset, selection, env):
    """The step's test names, cheapest first by the times ctest keeps of earlier runs."""
    _, out = run(["ctest", "--preset", preset, "-N", *selection], env=env)
    names = re.findall(r"Test\s+#\d+: (\S+)", out)
    cost = {}
    costs = ROOT / "build" / preset / "Testing" / "Temporary" / "CTestCostData.txt"
    if costs.exists():
        for line in costs.read_text().splitlines():
            parts = line.split()
            if len(parts) == 3:
                cost[parts[0]] = float(parts[2])
    return sorted(names, key=lambda name: cost.get(name, 0.0))


def run_test(preset, name, windows):
    """None when the test passes, else (the cases or checks that failed, or else why it
    failed, and the output)."""
    env = windows.env if preset == "windows" else None
    status, out = run(["ctest", "--preset", preset, "-R", f"^{name}$"], env=env, timeout=HARD_TIMEOUT)
    if status == 0:
        return None
    cases = re.findall(r"^\[  FAILED  \] ([\w/]+\.[\w/]+)", out, re.M)
    cases += re.findall(r"^FAIL (.+?): expected \[", out, re.M) or re.findall(r"^FAIL ([^:\n]+)", out, re.M)
    if status is None or "***Timeout" in out:
        if env is not None:
            windows.restart_wine()  # the test's processes may still hold the server
        return ["timed out"], out
    if not cases and re.search(r"Unhandled (page fault|exception|stack overflow)|SegFault|Exception", out):
        cases = ["crashed"]
    if not cases:
        word = re.search(r"\*\*\*(\w[\w :]*?)\s+[\d.]+ sec", out)
        cases = [word.group(1) if word else "failed"]
    return list(dict.fromkeys(cases)), out


def native_sources():
    """Every source and header the native build compiles, from ninja's dependency log."""
    _, out = run(["ninja", "-C", "build/native", "-t", "deps"])
    return {line.strip() for line in out.splitlines() if line.startswith(" ")}


def undo_pending():
    if PENDING.exists():
        pending = json.loads(PENDING.read_text())
        (ROOT / pending["path"]).write_text(pending["text"], encoding="utf-8")
        PENDING.unlink()
        progress(f"put back {pending['path']}, left planted by an earlier run that was killed")


def measure(fault, native, windows, log):
    """Plants one fault, builds and tests; the file is put back in every case."""
    path = ROOT / fault.path
    if run(["git", "status", "--porcelain", "--", fault.path])[1].strip():
        return {"result": "not clean"}
    text = path.read_text(encoding="utf-8")
    if text.count(fault.old) != 1:
        return {"result": "not found", "detail": f"found {text.count(fault.old)} times"}
    PENDING.write_text(json.dumps({"path": fault.path, "text": text}))
    try:
        path.write_text(text.replace(fault.old, fault.new), encoding="utf-8")
        built = set()
        flaky = []  # tests that failed once and then passed
        for step, preset, selection in STEPS:
            if preset == "native" and str(path) not in native:
                continue
            env = windows.env if preset == "windows" else None
            if preset not in built:
                status, out = build(preset)
                log.write(f"=== build {preset}\n{out}\n")
                if status != 0:
                    return {"result": "build failed", "detail": preset}
                built.add(preset)
            for name in tests_of(preset, selection, env):
                failure = run_test(preset, name, windows)
                if failure is None:
                    continue
                cases, out = failure
                log.write(f"=== {name}\n{out}\n")
                if cases != ["timed out"]:
                    # Caught only when a second run fails too: a check that fails now and
                    # then must not pass for a caught fault. What failed both times counts.
                    again = run_test(preset, name, windows)
                    if again is None:
                        flaky.append(name)
                        continue
                    log.write(f"=== {name} again\n{again[1]}\n")
                    cases = [case for case in cases if case in again[0]] or cases
                return {"result": "killed", "step": step, "test": name, "cases": cases, "flaky": flaky}
        return {"result": "survived", "flaky": flaky}
    finally:
        # No signal may cut the putting back short.
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        path.write_text(text, encoding="utf-8")
        PENDING.unlink()
        signal.pthread_sigmask(signal.SIG_SETMASK, blocked)


def build_both():
    for preset in ("native", "windows"):
        progress(f"== build {preset}")
        status, out = build(preset)
        if status != 0:
            raise SystemExit(f"the {preset} build fails without any fault:\n{out[-3000:]}")


def run_baseline(windows):
    """Every step once without a fault: it must pass, and ctest learns the tests' times."""
    for step, preset, selection in STEPS:
        env = windows.env if preset == "windows" else None
        progress(f"== baseline {step}")
        status, out = run(["ctest", "--preset", preset, *selection], env=env, timeout=3 * HARD_TIMEOUT)
        if status != 0:
            raise SystemExit(f"the {step} tests fail without any fault; fix that first:\n{out[-3000:]}")


def describe(row):
    if row["result"] == "killed":
        cases = row["cases"]
        text = f"killed by {row['test']}: {cases[0]}" + (f" (+{len(cases) - 1} more)" if len(cases) > 1 else "")
    elif row["result"] == "survived":
        text = "**SURVIVED**"
    else:
        text = row["result"] + (f" ({row['detail']})" if row.get("detail") else "")
    if row.get("flaky"):
        text += f"; {', '.join(row['flaky'])} failed once, then passed"
    return text


def markdown(rows, commit):
    lines = [f"Planted faults on {commit}, {time.strftime('%Y-%m-%d')}", "",
             "| id | area | what it breaks | result | s |", "|---|---|---|---|---|"]
    for row in rows:
        what = row["what"].replace("|", "\\|")
        lines.append(f"| {row['id']} | {row['area']} | {what} | {describe(row)} | {row['seconds']:.0f} |")
    counts = {key: sum(1 for row in rows if row["result"] == key)
              for key in ("killed", "survived", "build failed", "not found", "not clean")}
    steps = {step: sum(1 for row in rows if row.get("step") == step) for step, _, _ in STEPS}
    lines += ["", f"Totals ({len(rows)} faults): " + ", ".join(f"{n} {key}" for key, n in counts.items())
              + "; killed at the " + ", ".join(f"{step} step {n}" for step, n in steps.items()) + "."]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("ids", nargs="*", help="faults to plant (default: all)")
    parser.add_argument("--area", help="only the faults of this area")
    parser.add_argument("--json", help="also write the results to this file")
    parser.add_argument("--no-baseline", action="store_true", help="skip the test run without a fault")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--check", action="store_true", help="only check that every fault's text is found once")
    args = parser.parse_args()

    faults = [f for f in FAULTS if (not args.ids or f.id in args.ids) and (not args.area or f.area == args.area)]
    unknown = set(args.ids) - {f.id for f in FAULTS}
    if unknown or not faults:
        raise SystemExit(f"no such fault: {', '.join(sorted(unknown))}" if unknown else "no fault selected")
    if args.list:
        for f in faults:
            print(f"{f.id:24} {f.area:13} {f.path:45} {f.what}")
        return 0
    if args.check:
        bad = [f"{f.id}: found {(ROOT / f.path).read_text(encoding='utf-8').count(f.old)} times in {f.path}"
               for f in faults if (ROOT / f.path).read_text(encoding="utf-8").count(f.old) != 1]
        print("\n".join(bad) or f"all {len(faults)} texts found once")
        return 1 if bad else 0

    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, terminate_on)
    LOGS.mkdir(parents=True, exist_ok=True)
    undo_pending()
    commit = run(["git", "rev-parse", "--short", "HEAD"])[1].strip()
    windows = None
    rows = []
    try:
        build_both()
        windows = WindowsEnvironment()
        if not args.no_baseline:
            run_baseline(windows)
        native = native_sources()
        for number, fault in enumerate(faults, 1):
            started = time.monotonic()
            with open(LOGS / f"{fault.id}.log", "w") as log:
                row = measure(fault, native, windows, log)
            row.update(id=fault.id, area=fault.area, path=fault.path, what=fault.what,
                       seconds=time.monotonic() - started)
            rows.append(row)
            progress(f"[{number}/{len(faults)}] {fault.id}: {describe(row)} ({row['seconds']:.0f} s)")
    except KeyboardInterrupt:
        progress("interrupted; the planted file has been put back")
    finally:
        if windows is not None:
            windows.close()
    # The build trees still hold the last plant's objects: rebuilt, they match the sources
    # again, so that nobody tests a planted program by mistake.
    progress("== rebuilding without the faults")
    for preset in ("native", "windows"):
        build(preset)
    if args.json:
        Path(args.json).write_text(json.dumps({"commit": commit, "faults": rows}, indent=1, ensure_ascii=False))
    sys.stdout.write(markdown(rows, commit))
    return 0


if __name__ == "__main__":
    sys.exit(main())
