// The profile name dialog's OK rules in both modes.
#include <gtest/gtest.h>

#include <string>

#include "persistence/ProfileName.h"

namespace {

const std::u16string kNotInList = u"Por favor, selecione um perfil válido da lista!";
const std::u16string kEmptyName = u"Por favor, digite um nome válido para o perfil!";

TEST(ProfileNameTest, TrimsMatchesWithoutCaseAndRefusesWithTheMessageOfTheMode) {
    ObjectList* saved = new ObjectList();
    for (const char16_t* name :
         {u"Corrida", u"AÇÃO Ŀ Ωμέγα Жук", u"x", u""}) {  // "": the key's default value
        String* text = new String(name);
        saved->Append(text);
        text->Release();
    }
    const std::u16string hundred(100, u'n');
    const struct {
        bool existingOnly;
        std::u16string typed;
        std::u16string name;  // as returned, when accepted
        bool nameExists;
        std::u16string refusal;
    } cases[] = {
        {true, u"  corrida ", u"corrida", true, u""},
        {true, u"\t ação ŀ ΩΜΈΓΑ жУК\u00A0", u"ação ŀ ΩΜΈΓΑ жУК", true, u""},
        {true, u"Corridas", u"", false, kNotInList},
        {true, u" \r\n", u"", true, kNotInList},
        {false, u"  Novo perfil ", u"Novo perfil", false, u""},
        {false, u"X", u"X", true, u""},
        {false, u" \t", u"", true, kEmptyName},
        {false, hundred + u"xyz", hundred, false, u""},
    };
    for (const auto& c : cases) {
        String* name = new String(c.typed.c_str());
        const ProfileNameCheck check = CheckProfileName(*name, saved, c.existingOnly);
        EXPECT_EQ(c.refusal.empty(), check.accepted) << std::string(c.typed.begin(), c.typed.end());
        EXPECT_EQ(c.nameExists, check.nameExists) << std::string(c.typed.begin(), c.typed.end());
        EXPECT_EQ(c.refusal, std::u16string(check.refusal != nullptr ? check.refusal : u""));
        if (check.accepted) {
            EXPECT_EQ(c.name, std::u16string(name->Chars()));
        }
        name->Release();
    }
    String* name = new String(u"Corrida");
    EXPECT_FALSE(CheckProfileName(*name, nullptr, true).accepted) << "no saved profiles";
    name->Release();
    saved->Release();
    EXPECT_TRUE(AllInstanceCountersZero());
}

}  // namespace
