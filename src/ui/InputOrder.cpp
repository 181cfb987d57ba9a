// The association editor's input list; see InputOrder.h.
#include "ui/InputOrder.h"

#include "joystick/InputCatalogue.h"

namespace {
char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool StartsWith(const char16_t* text, const char16_t* prefix) {
    for (; *prefix != 0; ++text, ++prefix) {
        if (*text != *prefix)
            return false;
    }
    return true;
}
}  // namespace

int CompareInputs(RefObject* a, RefObject* b, void*) {
    const JoystickInput& first = *static_cast<InputRef*>(a)->input;
    const JoystickInput& second = *static_cast<InputRef*>(b)->input;
    const char16_t* firstName = DisplayName(first);
    const char16_t* secondName = DisplayName(second);
    const char16_t* button = InputNames().Button;
    if (button != nullptr && StartsWith(firstName, button) && StartsWith(secondName, button))
        return static_cast<int>(static_cast<int32_t>(first.Usage - second.Usage));
    for (;; ++firstName, ++secondName) {
        const char16_t x = FoldAscii(*firstName);
        const char16_t y = FoldAscii(*secondName);
        if (x != y || x == 0)
            return static_cast<int>(x) - static_cast<int>(y);
    }
}

HResult BuildInputRefs(AssociationModel& model, const JoystickDevice& device) {
    model.ClearInputRefs();
    HResult code = kOk;
    auto add = [&](JoystickInput& input, JoystickInput* parentHat) {
        if (!Failed(code))
            code = model.AddInputRef(&input, parentHat);
    };
    // The first hat's directions first: the sort keeps equal names in this order, and a
    // record made with a one-hat device binds to the first hat.
    for (int32_t h = 0; h < device.HatCount; ++h) {
        JoystickInput& hat = device.Hats[h];
        if (hat.Kind == kKindHat8 && hat.Directions != nullptr) {
            for (int32_t d = 0; d < kDirectionCount; ++d)
                add(hat.Directions[d], &hat);
        }
    }
    for (int32_t i = 0; i < device.ButtonCount; ++i)
        add(device.Buttons[i], nullptr);
    for (int32_t i = 0; i < device.AxisCount; ++i)
        add(device.Axes[i], nullptr);
    for (int32_t h = 0; h < device.HatCount; ++h) {
        if (device.Hats[h].Kind != kKindHat8)
            add(device.Hats[h], nullptr);
    }
    ObjectList& refs = model.InputRefs();
    refs.Sort(0, refs.Count(), CompareInputs);
    return code;
}
