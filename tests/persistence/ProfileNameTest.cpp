// The profile name dialog's OK rules in both modes.
#include <gtest/gtest.h>

#include <string>

#include "persistence/ProfileName.h"

TEST(ProfileNameTest, TrimsMatchesWithoutCaseAndRefusesWithTheMessageOfTheMode) {
    const std::u16string notInList = u"Por favor, selecione um perfil válido da lista!";
    const std::u16string emptyName = u"Por favor, digite um nome válido para o perfil!";
    const std::u16string hundred(100, u'n');
    ObjectList* saved = new ObjectList();
    // "": the key's default value.
    for (const char16_t* name : {u"Corrida", u"AÇÃO Ŀ Ωμέγα Жук", u"x", u""}) {
        String* text = new String(name);
        saved->Append(text);
        text->Release();
    }
    const struct {
        bool existingOnly;
        std::u16string typed, name, refusal;  // name: as returned when accepted
        bool nameExists;
    } cases[] = {
        {true, u"  corrida ", u"corrida", u"", true},
        {true, u"\t ação ŀ ΩΜΈΓΑ жУК\u00A0", u"ação ŀ ΩΜΈΓΑ жУК", u"", true},
        {true, u"Corridas", u"", notInList, false},
        {true, u" \r\n", u"", notInList, true},
        {false, u"  Novo perfil ", u"Novo perfil", u"", false},
        {false, u"X", u"X", u"", true},
        {false, u" \t", u"", emptyName, true},
        {false, hundred + u"x", hundred, u"", false},
    };
    for (const auto& c : cases) {
        String* name = new String(c.typed.c_str());
        const ProfileNameCheck check = CheckProfileName(*name, saved, c.existingOnly);
        EXPECT_EQ(c.refusal, std::u16string(check.refusal != nullptr ? check.refusal : u""));
        EXPECT_EQ(c.refusal.empty(), check.accepted);
        EXPECT_EQ(c.nameExists, check.nameExists) << std::string(c.typed.begin(), c.typed.end());
        EXPECT_EQ(check.accepted ? c.name : name->Chars(), std::u16string(name->Chars()));
        name->Release();
    }
    saved->Release();
    EXPECT_TRUE(AllInstanceCountersZero());
}
