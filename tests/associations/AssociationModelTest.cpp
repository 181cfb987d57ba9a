// The rules of AddAssociation, RemoveAssociation and ClearAssociations, seen through the
// list box they keep in step with allAssociations.
#include "AssociationFixture.h"

namespace {

struct Link {
    uint32_t page;
    uint32_t usage;
    bool isChannel;
    int32_t index;
};

struct LinkCase {
    const char* name;
    std::vector<Link> links;
    std::vector<std::u16string> texts;  // the list afterwards
    std::vector<uint32_t> usages;       // the usage of each remaining association's input
};

class AssociationModelTest : public AssociationFixture {};

TEST_F(AssociationModelTest, AddingKeepsOneTargetPerInputAndOneInputPerTarget) {
    const LinkCase cases[] = {
        {"the same input: the later target wins",
         {{kPageButton, 2, false, kTargetA},
          {kPageButton, 2, false, kTargetB},
          {kPageButton, 3, false, kTargetB}},
         {u"Botão 3 -> Tecla B"},
         {3}},
        {"the board button is one target",
         {{kPageButton, 1, false, kTargetBoardButton}, {kPageButton, 4, false, kTargetBoardButton}},
         {u"Botão 4 -> Botão da Ombrix"},
         {4}},
        {"the same index in different kinds coexists",
         {{kPageDesktop, kUsageX, true, 0},
          {kPageButton, 1, false, 0},
          {kPageButton, 5, false, 3},
          {kPageDesktop, kUsageDPadUp, true, 3}},
         {u"Eixo X -> Entrada A", u"Botão 1 -> Botão da Ombrix", u"Botão 5 -> Seta para direita",
          u"Direcional acima -> Entrada D"},
         {kUsageX, 1, 5, kUsageDPadUp}},
        {"a replacement goes to the end",
         {{kPageButton, 1, false, kTargetA},
          {kPageButton, 2, false, kTargetB},
          {kPageButton, 1, false, kTargetUp}},
         {u"Botão 2 -> Tecla B", u"Botão 1 -> Seta acima"},
         {2, 1}},
        {"inputs alike in Kind are told apart by their usages",
         {{kPageButton, 129, false, kTargetA},
          {kPageDesktop, kUsageDPadUp, false, kTargetB},
          {0, kUsageDirectionUp, false, kTargetSpace},
          {kPageButton, 1, false, kTargetUp}},
         {u"Botão 129 -> Tecla A", u"Direcional acima -> Tecla B", u"Direcional acima -> Tecla Espaço",
          u"Botão 1 -> Seta acima"},
         {129, kUsageDPadUp, kUsageDirectionUp, 1}},
        {"unknown inputs and targets outside their lists are skipped",
         {{kPageButton, 1, true, 7},
          {kPageButton, 1, false, 44},
          {kPageButton, 1, false, -1},
          {kPageButton, 131, false, kTargetA},
          {kPageDesktop, 1, false, kTargetA}},
         {},
         {}},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Link& link : c.links) {
            ASSERT_EQ(kOk, model.AddAssociation(link.page, link.usage, link.isChannel, link.index));
            ExpectListInStep();
        }
        EXPECT_EQ(c.texts, list.items);
        ASSERT_EQ(c.usages.size(), static_cast<size_t>(model.AllAssociations().Count()));
        for (size_t i = 0; i < c.usages.size(); ++i)
            EXPECT_EQ(c.usages[i], AssociationModel::At(model.AllAssociations(), int32_t(i))->Input().Usage);
        model.ClearAssociations();
    }
}

TEST_F(AssociationModelTest, RemovingAndClearingKeepTheListInStep) {
    model.AddAssociation(kPageButton, 1, false, kTargetBoardButton);
    model.AddAssociation(kPageDesktop, kUsageX, true, 5);
    model.AddAssociation(kPageButton, 2, false, kTargetA);
    model.AddAssociation(kPageButton, 3, false, kTargetB);
    for (int32_t outside : {-1, 4})
        model.RemoveAssociation(outside);
    EXPECT_EQ(4u, list.items.size());

    model.RemoveAssociation(3);  // the last
    ExpectListInStep();
    model.RemoveAssociation(0);  // the board button
    ExpectListInStep();
    EXPECT_EQ(nullptr, model.ButtonAssociation());
    EXPECT_EQ((std::vector<std::u16string>{u"Eixo X -> Sensor de som", u"Botão 2 -> Tecla A"}), list.items);

    // The freed target and input can be linked again.
    model.AddAssociation(kPageButton, 1, false, kTargetBoardButton);
    ExpectListInStep();
    model.ClearAssociations();
    ExpectListInStep();
    EXPECT_TRUE(list.items.empty());
    EXPECT_EQ(nullptr, model.ButtonAssociation());
}

TEST_F(AssociationModelTest, AnInputChosenDirectlyIsBoundEvenWhenAnotherSharesItsUsages) {
    // A second Botão 2 (another capability with the same usage) after the first.
    ASSERT_EQ(kOk, model.AddInputRef(&pad->Buttons[1], nullptr));
    const int32_t second = model.InputRefs().Count() - 1;
    model.AddAssociationForInput(second, false, kTargetA);
    model.AddAssociation(kPageButton, 2, false, kTargetB);
    ExpectListInStep();
    ASSERT_EQ(2, model.AllAssociations().Count());
    EXPECT_EQ(model.InputRefAt(second), AssociationModel::At(model.AllAssociations(), 0)->inputRef);
    EXPECT_NE(model.InputRefAt(second), AssociationModel::At(model.AllAssociations(), 1)->inputRef);
}

}  // namespace
