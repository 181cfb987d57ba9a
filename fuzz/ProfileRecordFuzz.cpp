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
        StrictLayout layout = EmptyStrictLayout();
        layout.InputLength = 9;
        AddButtons(layout, 1, 12, 1);
        AddValueField(layout, 1, 0x30, 16, 8, 0, 255);
        AddValueField(layout, 1, 0x30, 24, 16, 0, 1023);
        AddValueField(layout, 1, 0x31, 40, 8, 0, 255);
        AddValueField(layout, 1, kUsageHatSwitch, 48, 4, 1, 8);
        AddValueField(layout, 1, kUsageDPadUp, 56, 8, 0, 1);
        return MakeStrictDevice(layout, reinterpret_cast<void*>(0x1000));
    }();
    return pad;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JoystickDevice* pad = Pad();
    FUZZ_CHECK(pad != nullptr);
    // Every object of a run is gone at its end; only the pad and its parts stay.
    static const int32_t kObjectsOfThePad = InstanceCounters[kTypeRefObject].load();
    FuzzedDataProvider in(data, size);
    {
        AssociationModel model;
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
    }
    FUZZ_CHECK(InstanceCounters[kTypeRefObject].load() == kObjectsOfThePad);
    return 0;
}
