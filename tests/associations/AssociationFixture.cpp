#include "AssociationFixture.h"

namespace {

StrictLayout PadLayout() {
    StrictLayout layout = EmptyStrictLayout();
    layout.InputLength = 22;
    AddButtons(layout, 1, 130, 1);                  // bytes 1-17
    AddByteValue(layout, kUsageX, 18, 2, 0, 1023);  // bytes 18-19
    AddByteValue(layout, kUsageHatSwitch, 20, 1, 1, 8).Caps.BitSize = 4;
    AddByteValue(layout, kUsageDPadUp, 21, 1, 0, 1);
    return layout;
}

}  // namespace

void AssociationFixture::SetUp() {
    JoystickFixture::SetUp();
    RecordingKeyboard::Reset();
    layout = PadLayout();
    pad = FakeHid::MakeDevice(layout, Handle(1));
    ASSERT_NE(nullptr, pad);
    ASSERT_TRUE(model.IsValid());
    model.SetListView(&list);
    model.SetSelectedJoystick(pad);
    JoystickInput* hat = pad->Hats;
    ASSERT_NE(nullptr, hat->Directions);
    for (int i = 0; i < kDirectionCount; ++i)
        ASSERT_EQ(kOk, model.AddInputRef(&hat->Directions[i], hat));
    for (int i = 0; i < pad->ButtonCount; ++i)
        ASSERT_EQ(kOk, model.AddInputRef(&pad->Buttons[i], nullptr));
    for (int i = 0; i < pad->AxisCount; ++i)
        ASSERT_EQ(kOk, model.AddInputRef(&pad->Axes[i], nullptr));
}

void AssociationFixture::TearDown() {
    if (pad != nullptr)
        StopReading(*pad);
    modelHolder.reset();
    SafeRelease(pad);
    JoystickFixture::TearDown();
}

void AssociationFixture::StartRun() {
    model.EnableUsedInputs(true);
    ASSERT_EQ(kOk, StartReading(*pad));
    ASSERT_EQ(kOk, scratch.Allocate(model.KeyAssociations().Count()));
}

void AssociationFixture::Report(std::initializer_list<uint16_t> buttons, uint32_t x, uint32_t hat) {
    ReportBuilder report(layout);
    for (uint16_t button : buttons)
        report.Press(button);
    report.Set(kUsageX, x).Set(kUsageHatSwitch, hat);
    Deliver(Handle(1), report.Bytes());
}

void AssociationFixture::ExpectListInStep() {
    const ObjectList& all = model.AllAssociations();
    ASSERT_EQ(list.items.size(), static_cast<size_t>(all.Count()));
    int32_t keys = 0, channels = 0, buttons = 0;
    for (int32_t i = 0; i < all.Count(); ++i) {
        const Association* association = AssociationModel::At(all, i);
        String* text = FormatAssociation(*association);
        ASSERT_NE(nullptr, text);
        EXPECT_EQ(std::u16string(text->Chars()), list.items[i]) << "list item " << i;
        text->Release();
        switch (association->kind) {
            case AssociationKind::Key:
                keys += model.KeyAssociations().IndexOf(association) >= 0;
                break;
            case AssociationKind::Channel:
                channels += model.ChannelAssociations().IndexOf(association) >= 0;
                break;
            case AssociationKind::BoardButton:
                buttons += model.ButtonAssociation() == association;
                break;
        }
    }
    EXPECT_EQ(keys, model.KeyAssociations().Count());
    EXPECT_EQ(channels, model.ChannelAssociations().Count());
    EXPECT_EQ(buttons, model.ButtonAssociation() != nullptr ? 1 : 0);
    EXPECT_EQ(all.Count(), keys + channels + buttons);
}
