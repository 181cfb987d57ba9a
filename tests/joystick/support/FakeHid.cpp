// Test layouts for StrictHid devices, and the reports that go with them.
#include "FakeHid.h"

void AddButtons(StrictLayout& layout, uint16_t usageMin, uint16_t usageMax, uint16_t byte) {
    AddButtonCaps(layout, 9, usageMin, usageMax);
    AddBitmap(layout, 9, static_cast<uint16_t>((byte - 1) * 8),
              static_cast<uint16_t>(usageMax - usageMin + 1), usageMin);
}

StrictValueField& AddByteValue(StrictLayout& layout, uint16_t usage, uint16_t byte, uint8_t bytes,
                               int32_t logicalMin, int32_t logicalMax) {
    StrictValueField* field = AddValueField(layout, 1, usage, static_cast<uint16_t>((byte - 1) * 8),
                                            static_cast<uint16_t>(bytes * 8), logicalMin, logicalMax);
    field->ReadBits = static_cast<uint16_t>(bytes * 8);
    return *field;
}

StrictLayout GamePadLayout() {
    StrictLayout layout = EmptyStrictLayout();
    layout.InputLength = 8;
    AddButtons(layout, 1, 12, 1);
    AddByteValue(layout, 0x30, 3, 1, 0, 255);
    AddByteValue(layout, 0x31, 4, 1, 0, 255);
    AddByteValue(layout, 0x39, 5, 1, 1, 8).Caps.BitSize = 4;
    return layout;
}

ReportBuilder::ReportBuilder(const StrictLayout& layout) : layout_(layout), bytes_(layout.InputLength, 0) {
    bytes_[0] = layout.ReportId;
}

ReportBuilder& ReportBuilder::Press(uint16_t usage, int range) {
    const StrictButtonField& bitmap = layout_.Bitmaps[range];
    WriteReportBits(bytes_.data(), layout_.InputLength, bitmap.BitOffset + usage - bitmap.FirstUsage, 1, 1);
    return *this;
}

ReportBuilder& ReportBuilder::Set(uint16_t usage, uint32_t value) {
    for (int i = 0; i < layout_.ValueCount; ++i) {
        const StrictValueField& field = layout_.Values[i];
        if (field.Caps.NotRange.Usage == usage)
            WriteReportBits(bytes_.data(), layout_.InputLength, field.BitOffset,
                            field.ReadBits != 0 ? field.ReadBits : field.Caps.BitSize, value);
    }
    return *this;
}
