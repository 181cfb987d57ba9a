// The input names from section "Joystick" of the translation file beside the program.
#include <windows.h>

#include "joystick/InputCatalogue.h"
#include "text/TranslationPath.h"
#include "text/TextSources_win.h"

namespace {

String* ReadTranslationKey(void* context, const char16_t* section, const char16_t* key) {
    return TextSources::ReadFileString(static_cast<const wchar_t*>(context),
                                       reinterpret_cast<const wchar_t*>(section),
                                       reinterpret_cast<const wchar_t*>(key));
}

}  // namespace

void LoadInputNames() {
    wchar_t path[kModulePathCapacity];
    TextSources::TranslationFilePath(path, kModulePathCapacity);
    LoadInputNames(ReadTranslationKey, path);
}
