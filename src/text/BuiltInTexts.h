// The interface texts of the text table's group T with their built-in Portuguese wording,
// named by what they are for, and the two About texts, which are never translated. Every
// window and every rule that words a refusal takes its texts from here through Text(), so
// nothing keeps its own copy.
#pragma once

#include <cstdint>

#include "text/TextTable.h"

struct BuiltInText {
    int32_t index;  // T<index> of the translation file
    const char16_t* text;
};

namespace Texts {
constexpr BuiltInText kMenuOpenProfile{0, u"&Abrir perfil..."};
constexpr BuiltInText kMenuSaveProfile{1, u"&Salvar perfil..."};
constexpr BuiltInText kMenuDeleteProfile{2, u"&Excluir perfil..."};
constexpr BuiltInText kMenuAbout{3, u"S&obre..."};
constexpr BuiltInText kProfileNameLabel{4, u"Nome do perfil:"};
constexpr BuiltInText kProfileOk{5, u"OK"};
constexpr BuiltInText kProfileCancel{6, u"Cancelar"};
constexpr BuiltInText kStart{7, u"Iniciar"};
constexpr BuiltInText kPressed{8, u"Pressionado"};
constexpr BuiltInText kJoystickOnly{9, u"Emular apenas o joystick/teclado"};
constexpr BuiltInText kPortLabel{10, u"Porta COM:"};
constexpr BuiltInText kJoystickLabel{11, u"Utilizar joystick:"};
constexpr BuiltInText kAssociate{12, u"Associar entrada"};
constexpr BuiltInText kAssociateTo{13, u"à"};
constexpr BuiltInText kRemoveAssociation{14, u"Excluir"};
constexpr BuiltInText kExistingAssociations{15, u"Associações existentes:"};
constexpr BuiltInText kChooseValidProfile{16, u"Por favor, selecione um perfil válido da lista!"};
constexpr BuiltInText kTypeValidProfileName{17, u"Por favor, digite um nome válido para o perfil!"};
constexpr BuiltInText kNoJoystick{18, u"[Nenhum joystick]"};
constexpr BuiltInText kJoystickOnlyNeedsKeys{
    19,
    u"Para emular apenas as conversões de joystick para teclado, é preciso selecionar um joystick e "
    u"criar ao menos uma associação entre um botão do joystick e uma tecla."};
constexpr BuiltInText kJoystickStartFailed{20, u"Erro ao iniciar o joystick: "};
constexpr BuiltInText kEmulatorStartFailed{21, u"Erro ao iniciar o emulador: "};
constexpr BuiltInText kStop{22, u"Parar"};
constexpr BuiltInText kSelectJoystickFirst{23, u"Por favor, selecione um joystick antes de prosseguir!"};
constexpr BuiltInText kProfileMessageCaption{24, u"Oops..."};
constexpr BuiltInText kOpenProfileTitle{25, u"Abrir perfil"};
constexpr BuiltInText kInvalidProfile{26, u"Impossível carregar o perfil pois ele é inválido!"};
constexpr BuiltInText kSaveProfileTitle{27, u"Salvar perfil"};
constexpr BuiltInText kReplaceProfileQuestion{28, u"Substituir o perfil \""};
constexpr BuiltInText kDeleteProfileTitle{29, u"Excluir perfil"};
constexpr BuiltInText kDeleteProfileQuestion{30, u"Excluir o perfil \""};
constexpr BuiltInText kAboutCaption{31, u"Sobre..."};
constexpr BuiltInText kPortStopped{32, u"A porta serial parou de funcionar e a emulação foi interrompida: "};
// Follows a joystick's name in the selector while the pad is unplugged.
constexpr BuiltInText kJoystickAway{33, u" (desconectado)"};
// A start refused while a worker of the previous run still runs after its stop.
constexpr BuiltInText kPreviousRunNotEnded{
    34, u"O trabalho da execução anterior ainda não terminou. Tente novamente em instantes."};
// The status bar's parts; "%u" is where the number goes.
constexpr BuiltInText kStatusPort{35, u"COM%u · 38400 8N1"};
constexpr BuiltInText kStatusIdle{36, u"Parado"};
constexpr BuiltInText kStatusJoystickOnly{37, u"Apenas joystick/teclado"};
constexpr BuiltInText kStatusWaitingForHost{38, u"Aguardando o host..."};
constexpr BuiltInText kStatusPollRate{39, u"Host: %u leituras/s"};
constexpr BuiltInText kStatusNoPolls{40, u"Sem leituras há %u s"};
constexpr BuiltInText kStatusWrongSpeed{41, u"O host parece usar outra velocidade: use 38400 baud, 8N1"};
constexpr BuiltInText kStatusOtherBytes{42, u"Outros bytes: %u"};

// The caption of the start, stop and profile-name messages; never translated.
constexpr const char16_t* kOops = u"Oops...";

// The About box's body: English when a translation is loaded, whatever its language.
constexpr const char16_t* kAboutPortuguese =
    u"Ombrix Emulator 1.0\r\n\r\n"
    u"Emula a placa de sensores Ombrix numa porta serial, com os valores ajustados à mão "
    u"ou por um joystick.\r\n\r\n"
    u"Desenvolvido pela equipe do Ombrix Emulator.\r\n"
    u"Instruções de uso e atualizações: veja o arquivo README que acompanha o programa.";
constexpr const char16_t* kAboutEnglish =
    u"Ombrix Emulator 1.0\r\n\r\n"
    u"Emulates the Ombrix sensor board on a serial port, with values set by hand or by a "
    u"joystick.\r\n\r\n"
    u"Developed by the Ombrix Emulator team.\r\n"
    u"Instructions and updates: see the README file that comes with the program.";
}  // namespace Texts

// The translated text when a translation is loaded, else the built-in one.
inline const char16_t* Text(const BuiltInText& entry) {
    return TextTable::Text(entry.index, entry.text);
}

inline const char16_t* AboutText() {
    return TextTable::IsLoaded() ? Texts::kAboutEnglish : Texts::kAboutPortuguese;
}
