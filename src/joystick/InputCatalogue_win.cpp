// The input names from section "Joystick" of the translation file beside the program.
#include <windows.h>

#include "joystick/InputCatalogue.h"
#include "persistence/SettingsStore.h"

namespace {

String* ReadTranslationKey(void* context, const char16_t* section, const char16_t* key) {
    return SettingsStore::ReadFileString(static_cast<const wchar_t*>(context),
                                         reinterpret_cast<const wchar_t*>(section),
                                         reinterpret_cast<const wchar_t*>(key));
}

}  // namespace

void LoadInputNames() {
    wchar_t path[1024];
    SettingsStore::TranslationFilePath(path, 1024);
    LoadInputNames(ReadTranslationKey, path);
}
