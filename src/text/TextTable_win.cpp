// The text table filled from the translation file beside the program, through the
// platform's private-profile reader; called once by the application entry.
#include "text/TextTable_win.h"

#include <windows.h>

#include "text/TextSources_win.h"
#include "text/TranslationPath.h"

namespace TextTable {
namespace {
String* ReadUiKey(const char16_t* key, void* path) {
    return TextSources::ReadFileString(static_cast<const wchar_t*>(path), L"UI",
                                       reinterpret_cast<const wchar_t*>(key));
}
}  // namespace

void LoadFromFile(const wchar_t* path) {
    LoadWith(ReadUiKey, const_cast<wchar_t*>(path));
}

void Load() {
    wchar_t path[kModulePathCapacity];
    TextSources::TranslationFilePath(path, kModulePathCapacity);
    LoadFromFile(path);
}

}  // namespace TextTable
