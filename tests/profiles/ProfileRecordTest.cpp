// The ProfileRecord through the association model: what a capture writes, and what a
// restore applies, skips or refuses, seen in the record captured afterwards.
#include <gtest/gtest.h>

#include <vector>

#include "persistence/ProfileRecord.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kExample = {0, 0, 2, 0, 9, 0, 0, 0, 3, 0, 0, 6, 1, 0, 0, 0, 0x30, 0, 1, 4};
const Bytes kEmpty = {0, 0, 0, 0};
// Button 1 on "Tecla A", the set each restore case starts from.
const Bytes kStart = {0, 0, 1, 0, 9, 0, 0, 0, 1, 0, 0, 8};

Bytes Entry(uint32_t page, uint16_t usage, uint8_t isChannel, uint8_t index) {
    return {uint8_t(page),  uint8_t(page >> 8),  uint8_t(page >> 16), uint8_t(page >> 24),
            uint8_t(usage), uint8_t(usage >> 8), isChannel,           index};
}

Bytes Record(uint16_t count, std::initializer_list<Bytes> entries) {
    Bytes record = {0, 0, uint8_t(count), uint8_t(count >> 8)};
    for (const Bytes& entry : entries)
        record.insert(record.end(), entry.begin(), entry.end());
    return record;
}

class ProfileRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Buttons 1 and 3 and the X axis; inputs need only usages and a name here.
        const uint32_t usages[][2] = {{9, 1}, {9, 3}, {1, 0x30}};
        for (int i = 0; i < 3; ++i) {
            inputs[i].UsagePage = usages[i][0];
            inputs[i].Usage = usages[i][1];
            inputs[i].Name = u"Entrada";
            ASSERT_EQ(kOk, model->AddInputRef(&inputs[i], nullptr));
        }
    }
    void TearDown() override {
        delete model;
        EXPECT_TRUE(AllInstanceCountersZero()) << "an object was leaked";
    }

    Bytes Capture() {
        Buffer* record = CaptureAssociations(*model);
        EXPECT_NE(nullptr, record);
        if (record == nullptr)
            return {};
        Bytes bytes(record->Data(), record->Data() + record->Length());
        record->Release();
        return bytes;
    }
    bool Restore(const Bytes& bytes) {
        Buffer* record = new Buffer();
        EXPECT_EQ(kOk, record->Assign(bytes.data(), static_cast<int32_t>(bytes.size())));
        const bool valid = RestoreAssociations(*model, record);
        record->Release();
        return valid;
    }

    JoystickInput inputs[3];
    AssociationModel* model = new AssociationModel();
};

TEST_F(ProfileRecordTest, CaptureWritesFourBytesPlusEightPerAssociationInListOrder) {
    EXPECT_EQ(kEmpty, Capture());
    ASSERT_EQ(kOk, model->AddAssociation(9, 3, false, 6));    // Botão 3 -> Tecla Enter
    ASSERT_EQ(kOk, model->AddAssociation(1, 0x30, true, 4));  // Eixo X -> Sensor de luz
    EXPECT_EQ(kExample, Capture());
}

TEST_F(ProfileRecordTest, RestoreAppliesValidRecordsAndLeavesTheSetAloneForInvalidOnes) {
    Bytes withExtra = kExample;
    withExtra.insert(withExtra.end(), {1, 2, 3});
    const struct {
        const char* name;
        Bytes record;
        bool valid;
        Bytes after;
    } cases[] = {
        {"the example", kExample, true, kExample},
        {"an empty set clears", kEmpty, true, kEmpty},
        {"bytes after the entries are ignored", withExtra, true, kExample},
        {"the later entry for one input wins", Record(2, {Entry(9, 3, 0, 6), Entry(9, 3, 0, 9)}), true,
         Record(1, {Entry(9, 3, 0, 9)})},
        {"the later entry for one target wins", Record(2, {Entry(9, 3, 1, 2), Entry(1, 0x30, 7, 2)}), true,
         Record(1, {Entry(1, 0x30, 1, 2)})},
        {"no matching input and targets outside their lists are skipped",
         Record(4, {Entry(9, 2, 0, 6), Entry(9, 3, 1, 7), Entry(9, 3, 0, 44), Entry(0x10009, 1, 0, 5)}), true,
         kEmpty},
        {"shorter than the header", {0, 0, 0}, false, kStart},
        {"a count larger than the data", Record(3, {Entry(9, 3, 0, 6), Entry(1, 0x30, 1, 4)}), false, kStart},
        {"a first word of 1", {1, 0, 0, 0}, false, kStart},
        {"a first word of 256", {0, 1, 0, 0}, false, kStart},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Restore(kStart));
        EXPECT_EQ(c.valid, Restore(c.record)) << c.name;
        EXPECT_EQ(c.after, Capture()) << c.name;
    }
    EXPECT_FALSE(RestoreAssociations(*model, nullptr));
    EXPECT_EQ(kStart, Capture());
}

}  // namespace
