// libFuzzer target for the profile record, the one piece of user data the program reads
// back from outside (another program may have written the registry value). Each input is
// restored into an association model over a virtual pad on the substitute HID parser: 12
// buttons, two inputs that share the X usage, Y, an eight-way hat with its directions and
// a d-pad value input. The first bytes, when asked for, restore a starting set, so that a
// record also meets existing associations to replace.
//
// Besides crashes, leaks and sanitizer findings it traps when the list view falls out of
// step with AllAssociations(), when two associations share an input or a target, or when a
// restored set does not capture and restore to itself. Which records are valid is the
// profile record tests'. Built by scripts/fuzz-profiles.sh.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "ListInStep.h"
#include "RecordBytes.h"
#include "StrictHid.h"
#include "ui/InputOrder.h"

namespace {

// Built once: the device stands for the selected joystick of every run.
JoystickDevice* Pad() {
    static JoystickDevice* pad = [] {
        InstallStrictHidLoader();
        StrictLayout layout = GamePadLayout();
        layout.InputLength = 9;
        AddByteValue(layout, 0x30, 6, 2, 0, 1023);  // a second X
        AddByteValue(layout, kUsageDPadUp, 8, 1, 0, 1);
        return MakeStrictDevice(layout, reinterpret_cast<void*>(0x1000));
    }();
    return pad;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JoystickDevice* pad = Pad();
    FuzzedDataProvider in(data, size);
    AssociationModel model;  // what it leaves behind, LeakSanitizer finds
    RecordingList list;
    model.SetListView(&list);
    model.SetSelectedJoystick(pad);
    FUZZ_CHECK(BuildInputRefs(model, *pad) == kOk);  // the editor's input list
    if (in.ConsumeBool())
        Restore(model, in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64)));
    const bool valid = Restore(model, in.ConsumeRemainingBytes<uint8_t>());
    FUZZ_CHECK(ListInStep(model, list.items));
    const std::vector<uint8_t> after = Capture(model);
    FUZZ_CHECK(!valid || (Restore(model, after) && Capture(model) == after));
    return 0;
}
