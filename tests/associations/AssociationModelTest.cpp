// The rules of AddAssociation, RemoveAssociation and ClearAssociations, seen through the
// list box they keep in step with allAssociations.
#include "AssociationFixture.h"

namespace {

class AssociationModelTest : public AssociationFixture {};

TEST_F(AssociationModelTest, OneTargetPerInputAndOneInputPerTargetThroughAddsRemovalsAndClears) {
    constexpr uint32_t kRemove = ~0u;  // a step {kRemove, 0, false, i} is RemoveAssociation(i)
    struct Link {
        uint32_t page, usage;
        bool isChannel;
        int32_t index;
    };
    const struct {
        const char* name;
        std::vector<Link> links;
        std::vector<std::u16string> list;
    } cases[] = {
        {"the same input, then the same target; the board button is one target",
         {{kPageButton, 2, false, kTargetA},
          {kPageButton, 2, false, kTargetB},
          {kPageButton, 3, false, kTargetB},
          {kPageButton, 1, false, kTargetBoardButton},
          {kPageButton, 4, false, kTargetBoardButton}},
         {u"Botão 3 -> Tecla B", u"Botão 4 -> Botão da Ombrix"}},
        {"the same index in different kinds coexists; a replacement goes to the end",
         {{kPageDesktop, kUsageX, true, 0},
          {kPageButton, 1, false, 0},
          {kPageButton, 5, false, 3},
          {kPageDesktop, kUsageDPadUp, true, 3},
          {kPageDesktop, kUsageX, true, 1}},
         {u"Botão 1 -> Botão da Ombrix", u"Botão 5 -> Seta para direita", u"Direcional acima -> Entrada D",
          u"Eixo X -> Entrada B"}},
        // The d-pad value input's Kind equals Botão 129's, and the hat direction's Botão 1's.
        {"inputs are told apart by usages, not Kind",
         {{kPageButton, 129, false, kTargetA},
          {kPageDesktop, kUsageDPadUp, false, kTargetB},
          {0, kUsageDirectionUp, false, kTargetSpace},
          {kPageButton, 1, false, kTargetUp}},
         {u"Botão 129 -> Tecla A", u"Direcional acima -> Tecla B", u"Direcional acima -> Tecla Espaço",
          u"Botão 1 -> Seta acima"}},
        // Unknown inputs and targets outside their lists: the profile record tests.
        {"removals: outside the list twice, the last, the board button",
         {{kPageButton, 1, false, kTargetBoardButton},
          {kPageDesktop, kUsageX, true, 5},
          {kPageButton, 2, false, kTargetA},
          {kPageButton, 3, false, kTargetB},
          {kRemove, 0, false, -1},
          {kRemove, 0, false, 4},
          {kRemove, 0, false, 3},
          {kRemove, 0, false, 0}},
         {u"Eixo X -> Sensor de som", u"Botão 2 -> Tecla A"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const Link& link : c.links) {
            if (link.page == kRemove)
                model.RemoveAssociation(link.index);
            else
                ASSERT_EQ(kOk, model.AddAssociation(link.page, link.usage, link.isChannel, link.index));
            EXPECT_TRUE(ListInStep(model, list.items));
        }
        EXPECT_EQ(c.list, list.items);
        model.ClearAssociations();
        EXPECT_TRUE(ListInStep(model, list.items));
    }
    // Which of the two "Direcional acima" inputs each association reads.
    model.AddAssociation(0, kUsageDirectionUp, false, kTargetA);
    EXPECT_EQ(&pad->Hats->Directions[0], &AssociationModel::At(model.AllAssociations(), 0)->Input());
}

}  // namespace
