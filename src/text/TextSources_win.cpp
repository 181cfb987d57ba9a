// Reading texts from an INI-format file and from registry values; see TextSources_win.h.
#include "text/TextSources_win.h"

#include <new>

#include "core/Heap.h"
#include "text/TranslationPath.h"
#include "text/ValueText.h"

namespace TextSources {

namespace {
constexpr DWORD kProfileBufferUnits = 4096;
// A value that keeps growing between the size query and the read is given up after this
// many rounds instead of being read into a block that is too small.
constexpr int kReadAttempts = 4;
}  // namespace

bool ReadRegistryValue(HKEY key, const wchar_t* name, DWORD* type, Buffer* data,
                       decltype(&::RegQueryValueExW) query) {
    // The read reports ERROR_MORE_DATA and a larger size when the value grew after the
    // size query; that size belongs to data that was not copied, so the round repeats.
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD size = 0;
        if (query(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        if (size > 0x7FFFFFF0u || Failed(data->SetCapacity(static_cast<int32_t>(size))))
            return false;
        DWORD read = size;
        const LSTATUS status = query(key, name, nullptr, type, data->Data(), &read);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS || read > size)
            return false;
        // The block already holds the bytes; this only sets the length.
        return !Failed(data->Assign(data->Data(), static_cast<int32_t>(read)));
    }
    return false;
}

String* ReadKeyString(HKEY key, const wchar_t* name) {
    String* text = nullptr;
    if (key != nullptr) {
        Buffer* data = new (std::nothrow) Buffer();
        DWORD type = REG_NONE;
        // Only REG_SZ and REG_BINARY are text here; REG_EXPAND_SZ and REG_MULTI_SZ are not.
        if (data != nullptr && ReadRegistryValue(key, name, &type, data) &&
            (type == REG_SZ || type == REG_BINARY)) {
            text = TextFromValueBytes(data->Data(), data->Length());
        }
        SafeRelease(data);
    }
    return text != nullptr ? text : new (std::nothrow) String();
}

String* ReadFileString(const wchar_t* path, const wchar_t* section, const wchar_t* key) {
    // A null section or key would make the reader list names instead of reading a value,
    // and an empty path would send it to WIN.INI in the Windows folder.
    if (path == nullptr || path[0] == 0 || section == nullptr || key == nullptr)
        return new (std::nothrow) String();
    wchar_t* buffer = static_cast<wchar_t*>(HeapAllocate(kProfileBufferUnits * sizeof(wchar_t)));
    if (buffer == nullptr)
        return nullptr;
    // The count excludes the NUL; a longer value comes back cut to 4095 units.
    const DWORD length = GetPrivateProfileStringW(section, key, L"", buffer, kProfileBufferUnits, path);
    String* text = new (std::nothrow) String();
    if (text != nullptr &&
        Failed(text->Assign(reinterpret_cast<const char16_t*>(buffer),
                            static_cast<int32_t>(length < kProfileBufferUnits ? length : 0)))) {
        SafeRelease(text);
    }
    HeapRelease(buffer);
    return text;
}

void TranslationFilePath(wchar_t* path, uint32_t capacity) {
    if (path == nullptr || capacity == 0)
        return;
    path[0] = 0;
    wchar_t modulePath[kModulePathCapacity];
    const DWORD length = GetModuleFileNameW(nullptr, modulePath, kModulePathCapacity);
    // A full buffer means the path was cut; a cut path would name some other file.
    if (length == 0 || length >= static_cast<DWORD>(kModulePathCapacity))
        return;
    modulePath[length] = 0;
    const int32_t outCapacity = capacity > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(capacity);
    TranslationPathFromModulePath(reinterpret_cast<const char16_t*>(modulePath),
                                  reinterpret_cast<char16_t*>(path), outCapacity);
}

}  // namespace TextSources
