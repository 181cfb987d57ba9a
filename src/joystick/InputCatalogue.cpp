// The input catalogue: inputs from HID capabilities, axis preparation, direction
// sub-inputs, display names and the name table. User-interface thread only.
#include "joystick/InputCatalogue.h"

#include <algorithm>
#include <new>

#include "core/TextFormat.h"
#include "joystick/HidFunctions.h"
#include "joystick/ReportDecoder.h"

namespace {

constexpr int kTextCount = 2 + kAxisNameCount + kDirectionCount;

const char16_t* const kSection = u"Joystick";

// The keys in the order they are read: "Button" first, which decides whether the file
// is used at all.
const char16_t* const kKeys[kTextCount] = {
    u"Button",   u"DPad",     u"XAxis", u"YAxis",     u"ZAxis",   u"XRAxis",  u"YRAxis",  u"ZRAxis",
    u"Slider",   u"Dial",     u"Wheel", u"HatSwitch", u"XVector", u"YVector", u"ZVector", u"XRVector",
    u"YRVector", u"ZRVector", u"DUp",   u"DDown",     u"DRight",  u"DLeft",
};

const InputNameTable kDefaultNames = {
    u"Botão",
    u"Direcional",
    {u"Eixo X", u"Eixo Y", u"Eixo Z", u"Eixo de Rotação X", u"Eixo de Rotação Y", u"Eixo de Rotação Z",
     u"Eixo Deslizante", u"Disco", u"Volante", u"Eixo de Visão", u"Vetor X", u"Vetor Y", u"Vetor Z",
     u"Vetor de Rotação X", u"Vetor de Rotação Y", u"Vetor de Rotação Z"},
    {u"Direcional acima", u"Direcional para baixo", u"Direcional para direita", u"Direcional para esquerda"},
    false,
};

InputNameTable gNames = kDefaultNames;
// The texts read from the translation file, in key order, while gNames.Loaded is set.
String* gLoadedTexts[kTextCount] = {};

const char16_t** TextSlot(int index) {
    if (index == 0)
        return &gNames.Button;
    if (index == 1)
        return &gNames.DPad;
    if (index < 2 + kAxisNameCount)
        return &gNames.Axes[index - 2];
    return &gNames.Directions[index - 2 - kAxisNameCount];
}

// Array order of the direction sub-inputs follows the bits of the hat's mask: up, right,
// down, left. Their usages are 0xF00 plus the d-pad usage (0x90 up, 0x91 down, 0x92
// right, 0x93 left).
constexpr uint32_t kDirectionDPadUsage[kDirectionCount] = {0x90, 0x92, 0x91, 0x93};

bool IsDirectionSubInput(const JoystickInput& input) {
    return !input.OwnsName && input.UsagePage == 0 && input.Usage >= kDirectionUsageBase + kUsageDPadUp &&
           input.Usage <= kDirectionUsageBase + kUsageDPadUp + 3;
}

// The table's slot for a value usage, or null when the table names no such usage: the one
// place that knows which usages the table covers (its layout is in InputNameTable).
const char16_t* const* TableSlot(uint32_t usage) {
    if (usage >= 0x90 && usage <= 0x93)
        return &gNames.Directions[usage - 0x90];
    if (usage >= 0x30 && usage <= 0x39)
        return &gNames.Axes[usage - 0x30];
    if (usage >= 0x40 && usage <= 0x45)
        return &gNames.Axes[usage - 0x40 + 10];
    return nullptr;
}

// Whether DisplayName finds a table text for a value input.
bool HasTableName(uint32_t usage, int32_t kind) {
    return kind == kKindHat8 || TableSlot(usage) != nullptr;
}

// "<base> <n>", owned by the button.
char16_t* ButtonName(const char16_t* base, uint32_t number) {
    char16_t* text = new (std::nothrow) char16_t[TextLength(base) + 12];
    if (text == nullptr)
        return nullptr;
    int32_t at = AppendText(text, 0, base);
    text[at++] = u' ';
    at = AppendDecimal(text, at, number);
    text[at] = 0;
    return text;
}

// A value input the name table has no text for (a throttle on the simulation page, a
// vendor-defined control) is named by its usage page and usage, "HID 02:BB", so that two
// such inputs of one device can be told apart.
char16_t* UsageName(uint32_t usagePage, uint32_t usage) {
    char16_t* text = new (std::nothrow) char16_t[24];
    if (text == nullptr)
        return nullptr;
    int32_t at = AppendText(text, 0, u"HID ");
    at = AppendHex(text, at, usagePage, 2);
    text[at++] = u':';
    at = AppendHex(text, at, usage, 2);
    text[at] = 0;
    return text;
}

uint32_t FirstUsage(const HidValueCaps& caps) {
    return caps.IsRange ? caps.Range.UsageMin : caps.NotRange.Usage;
}

// Limits are reduced to the field's own width, so that a limit the descriptor wrote as a
// negative number matches the unsigned bits the reader receives.
int32_t ReduceToField(int32_t limit, uint32_t bitSize) {
    if (bitSize < 1 || bitSize > 31)
        return limit;
    return static_cast<int32_t>(static_cast<uint32_t>(limit) & ((1u << bitSize) - 1));
}

bool BuildValueInput(JoystickInput& input, const HidValueCaps& caps) {
    input.UsagePage = caps.UsagePage;
    input.Usage = FirstUsage(caps);
    input.LogicalMin = ReduceToField(caps.LogicalMin, caps.BitSize);
    input.LogicalMax = ReduceToField(caps.LogicalMax, caps.BitSize);
    if (input.Usage == kUsageHatSwitch) {
        input.Kind = input.LogicalMax == 8 ? kKindHat8 : kKindAxis;
    } else if (input.Usage >= kUsageDPadUp) {
        input.Kind = static_cast<int32_t>(input.Usage) - 16;
    } else {
        input.Kind = kKindAxis;
    }
    input.Centre = static_cast<int32_t>(
        (static_cast<int64_t>(input.LogicalMin) + static_cast<int64_t>(input.LogicalMax)) >> 1);
    // Axes rest at their centre; hats and d-pad values rest at 0.
    const uint32_t rest =
        (input.IsAnalog() && input.Usage != kUsageHatSwitch) ? static_cast<uint32_t>(input.Centre) : 0;
    input.StoreValue(rest);
    input.StorePending(rest);
    input.Enabled.store(1, std::memory_order_relaxed);
    input.Scale = 0.0f;
    if (!HasTableName(input.Usage, input.Kind)) {
        char16_t* name = UsageName(input.UsagePage, input.Usage);
        if (name == nullptr)
            return false;
        input.Name = name;
        input.OwnsName = true;
    }
    return true;
}

}  // namespace

const InputNameTable& InputNames() {
    return gNames;
}

void ReleaseInputNames() {
    for (String*& text : gLoadedTexts)
        SafeRelease(text);
    gNames = kDefaultNames;
}

void LoadInputNames(ReadNameFunction read, void* context) {
    ReleaseInputNames();
    if (read == nullptr)
        return;
    String* button = read(context, kSection, kKeys[0]);
    if (button == nullptr || button->IsEmpty()) {
        SafeRelease(button);
        return;
    }
    gLoadedTexts[0] = button;
    gNames.Button = button->Chars();
    for (int i = 1; i < kTextCount; ++i) {
        // Once "Button" is there, each key replaces its default even when it is empty;
        // only a read that ran out of memory keeps the default.
        String* text = read(context, kSection, kKeys[i]);
        if (text == nullptr)
            continue;
        gLoadedTexts[i] = text;
        *TextSlot(i) = text->Chars();
    }
    gNames.Loaded = true;
}

HResult BuildInputs(const HidButtonCaps* buttonCaps, uint32_t buttonCapCount, const HidValueCaps* valueCaps,
                    uint32_t valueCapCount, InputBlock* block) {
    if (block == nullptr)
        return kInvalidArg;
    *block = InputBlock{};
    if (buttonCaps == nullptr)
        buttonCapCount = 0;
    if (valueCaps == nullptr)
        valueCapCount = 0;

    // Buttons: the first capability only. A single usage counts as one button; an
    // inverted range describes nothing and gives none.
    int32_t buttonCount = 0;
    uint32_t buttonPage = 0;
    uint32_t firstButtonUsage = 0;
    if (buttonCapCount > 0) {
        const HidButtonCaps& caps = buttonCaps[0];
        buttonPage = caps.UsagePage;
        if (!caps.IsRange) {
            buttonCount = 1;
            firstButtonUsage = caps.NotRange.Usage;
        } else if (caps.Range.UsageMax >= caps.Range.UsageMin) {
            buttonCount = caps.Range.UsageMax - caps.Range.UsageMin + 1;
            firstButtonUsage = caps.Range.UsageMin;
        }
    }

    // Values: absolute ones only; the first hat switch is the hat, the rest are axes.
    int32_t hatIndex = -1;
    int32_t axisCount = 0;
    for (uint32_t i = 0; i < valueCapCount; ++i) {
        if (!valueCaps[i].IsAbsolute)
            continue;
        if (hatIndex < 0 && FirstUsage(valueCaps[i]) == kUsageHatSwitch) {
            hatIndex = static_cast<int32_t>(i);
        } else {
            ++axisCount;
        }
    }
    const int32_t hatCount = hatIndex >= 0 ? 1 : 0;
    const int32_t total = buttonCount + axisCount + hatCount;
    if (total == 0)
        return kOk;

    block->Inputs = new (std::nothrow) JoystickInput[total];
    if (block->Inputs == nullptr)
        return kOutOfMemory;
    block->ButtonCount = buttonCount;
    block->AxisCount = axisCount;
    block->HatCount = hatCount;

    for (int32_t i = 0; i < buttonCount; ++i) {
        JoystickInput& input = block->Inputs[i];
        input.UsagePage = buttonPage;
        input.Usage = firstButtonUsage + static_cast<uint32_t>(i);
        input.LogicalMax = 1;
        input.Kind = i;
        char16_t* name = ButtonName(gNames.Button, static_cast<uint32_t>(i) + 1);
        if (name == nullptr) {
            ReleaseInputBlock(*block);
            return kOutOfMemory;
        }
        input.Name = name;
        input.OwnsName = true;
    }
    int32_t next = buttonCount;
    for (uint32_t i = 0; i < valueCapCount; ++i) {
        if (!valueCaps[i].IsAbsolute || static_cast<int32_t>(i) == hatIndex)
            continue;
        if (!BuildValueInput(block->Inputs[next++], valueCaps[i])) {
            ReleaseInputBlock(*block);
            return kOutOfMemory;
        }
    }
    if (hatCount > 0 && !BuildValueInput(block->Inputs[next], valueCaps[hatIndex])) {
        ReleaseInputBlock(*block);
        return kOutOfMemory;
    }
    return kOk;
}

HResult ReadCapabilities(const void* preparsed, InputBlock* block) {
    if (block == nullptr)
        return kInvalidArg;
    *block = InputBlock{};
    const HidFunctions& hid = Hid();
    if (hid.GetCaps == nullptr || hid.GetSpecificButtonCaps == nullptr ||
        hid.GetSpecificValueCaps == nullptr) {
        return kNotImplemented;
    }
    HidCaps caps = {};
    if (hid.GetCaps(preparsed, &caps) != kHidStatusSuccess)
        return kInvalidArg;
    // A device without input buttons or input values is not a joystick we can use.
    if (caps.NumberInputButtonCaps == 0 || caps.NumberInputValueCaps == 0)
        return kInvalidArg;

    HidButtonCaps* buttonCaps = new (std::nothrow) HidButtonCaps[caps.NumberInputButtonCaps]();
    HidValueCaps* valueCaps = new (std::nothrow) HidValueCaps[caps.NumberInputValueCaps]();
    HResult code = kOutOfMemory;
    if (buttonCaps != nullptr && valueCaps != nullptr) {
        uint16_t buttonCount = caps.NumberInputButtonCaps;
        uint16_t valueCount = caps.NumberInputValueCaps;
        code = kInvalidArg;
        if (hid.GetSpecificButtonCaps(kHidReportInput, 0, 0, 0, buttonCaps, &buttonCount, preparsed) ==
                kHidStatusSuccess &&
            hid.GetSpecificValueCaps(kHidReportInput, 0, 0, 0, valueCaps, &valueCount, preparsed) ==
                kHidStatusSuccess) {
            // The counts returned can only shrink what was announced; never read beyond it.
            code = BuildInputs(buttonCaps, std::min(buttonCount, caps.NumberInputButtonCaps), valueCaps,
                               std::min(valueCount, caps.NumberInputValueCaps), block);
        }
    }
    delete[] buttonCaps;
    delete[] valueCaps;
    return code;
}

void NormalizeAxis(JoystickInput& input) {
    if (input.Kind != kKindAxis)
        return;
    const int64_t lo = input.LogicalMin;
    const int64_t hi = input.LogicalMax;
    // A range of one value cannot be scaled: the axis then delivers its raw value.
    if (hi == lo) {
        input.Scale = 0.0f;
        return;
    }
    const float range = static_cast<float>(hi - lo);
    const float f0 =
        static_cast<float>(static_cast<int64_t>(static_cast<int32_t>(input.LoadValue())) + 1 - lo) / range;
    const float f1 =
        static_cast<float>(static_cast<int64_t>(static_cast<int32_t>(input.LoadPending())) + 1 - lo) / range;
    float scale = 1023.0f / range;
    // A range already 10 bits wide (within 1/64) passes through unscaled.
    if (scale > 0.984375f && scale < 1.015625f)
        scale = 0.0f;
    input.Scale = scale;
    input.StoreValue(static_cast<uint32_t>(TruncateToInt32(1023.0f * f0 + 0.5f)));
    input.StorePending(static_cast<uint32_t>(TruncateToInt32(1023.0f * f1 + 0.5f)));
}

bool CreateDirectionInputs(JoystickInput& input) {
    if (input.Kind != kKindHat8)
        return false;
    if (input.Directions != nullptr)
        return true;
    JoystickInput* directions = new (std::nothrow) JoystickInput[kDirectionCount];
    if (directions == nullptr)
        return false;
    for (int i = 0; i < kDirectionCount; ++i) {
        JoystickInput& direction = directions[i];
        direction.UsagePage = 0;
        direction.Usage = kDirectionUsageBase + kDirectionDPadUsage[i];
        direction.Kind = i;
        direction.LogicalMax = 1;
        direction.Name = gNames.Directions[kDirectionDPadUsage[i] - kUsageDPadUp];
        direction.OwnsName = false;
    }
    input.Directions = directions;
    return true;
}

bool PrepareInputs(JoystickDevice& device) {
    for (int32_t i = 0; i < device.AxisCount; ++i)
        NormalizeAxis(device.Axes[i]);
    bool ok = true;
    if (device.HatCount > 0 && device.Hats[0].Kind == kKindHat8)
        ok = CreateDirectionInputs(device.Hats[0]);
    return ok;
}

const char16_t* DisplayName(const JoystickInput& input) {
    if (!input.IsAnalog() && input.Name != nullptr) {
        // A direction borrows its text from the table; the table is read now rather than
        // through the pointer kept at creation, which shutdown may have released.
        if (IsDirectionSubInput(input)) {
            return gNames.Directions[input.Usage - kDirectionUsageBase - kUsageDPadUp];
        }
        return input.Name;
    }
    if (input.Kind == kKindHat8)
        return gNames.DPad;
    if (const char16_t* const* slot = TableSlot(input.Usage))
        return *slot;
    if (input.Name != nullptr)
        return input.Name;
    return u"";
}
