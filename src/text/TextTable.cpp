// The text table: the built-in channel and target names, the loading rule of the
// translation file and the lookups every window and rule uses; see TextTable.h.
#include "text/TextTable.h"

#include <cstring>

#include "core/Heap.h"

namespace TextTable {
namespace {

const char16_t* const kBuiltInChannelNames[kChannelNameCount] = {
    u"Entrada A",     u"Entrada B",     u"Entrada C",         u"Entrada D",
    u"Sensor de luz", u"Sensor de som", u"Sensor deslizante",
};

// K0 is the board's push button as a target; K1..K43 are emulated keys in the order of
// the key table that owns their scan codes.
const char16_t* const kBuiltInTargetNames[kTargetNameCount] = {
    u"Botão da Ombrix", u"Seta acima",  u"Seta para baixo", u"Seta para direita", u"Seta para esquerda",
    u"Tecla Espaço",    u"Tecla Enter", u"Tecla Esc",       u"Tecla A",           u"Tecla B",
    u"Tecla C",         u"Tecla D",     u"Tecla E",         u"Tecla F",           u"Tecla G",
    u"Tecla H",         u"Tecla I",     u"Tecla J",         u"Tecla K",           u"Tecla L",
    u"Tecla M",         u"Tecla N",     u"Tecla O",         u"Tecla P",           u"Tecla Q",
    u"Tecla R",         u"Tecla S",     u"Tecla T",         u"Tecla U",           u"Tecla V",
    u"Tecla W",         u"Tecla X",     u"Tecla Y",         u"Tecla Z",           u"Tecla 0",
    u"Tecla 1",         u"Tecla 2",     u"Tecla 3",         u"Tecla 4",           u"Tecla 5",
    u"Tecla 6",         u"Tecla 7",     u"Tecla 8",         u"Tecla 9",
};

// The groups in the order the file is read; an entry's position in gOwned follows it.
struct Group {
    char16_t letter;
    int32_t count;
};
constexpr Group kGroups[] = {{u'B', kChannelNameCount}, {u'K', kTargetNameCount}, {u'T', kTextCount}};
constexpr int32_t kFirstTarget = kChannelNameCount;
constexpr int32_t kFirstText = kChannelNameCount + kTargetNameCount;

// 0 until a translation file is accepted. While it is 1, every entry of gOwned is a
// NUL-terminated copy on the process heap owned by the table; otherwise all are null.
int32_t gLoaded = 0;
char16_t* gOwned[kEntryCount] = {};

void ReleaseAll(char16_t* (&texts)[kEntryCount]) {
    for (char16_t*& text : texts) {
        HeapRelease(text);
        text = nullptr;
    }
}

// A heap copy of the reader's text, sized length + 1 units; a null string gives "".
char16_t* CopyText(const String* text) {
    const int32_t length = text != nullptr ? text->Length() : 0;
    auto* copy = static_cast<char16_t*>(HeapAllocate((static_cast<size_t>(length) + 1) * sizeof(char16_t)));
    if (copy == nullptr)
        return nullptr;
    if (length > 0)
        std::memcpy(copy, text->Chars(), length * sizeof(char16_t));
    copy[length] = 0;
    return copy;
}

}  // namespace

void KeyName(char16_t group, int32_t index, char16_t (&key)[4]) {
    int32_t at = 0;
    key[at++] = group;
    if (index < 0 || index > 99)
        index = 0;
    if (index >= 10)
        key[at++] = static_cast<char16_t>(u'0' + index / 10);
    key[at++] = static_cast<char16_t>(u'0' + index % 10);
    key[at] = 0;
}

void LoadWith(KeyReader read, void* context) {
    Free();
    if (read == nullptr)
        return;

    // The file is used only when B0 has a text: no file, no section "UI", no key B0 and an
    // empty B0 all leave the built-in texts, without a message.
    String* probe = read(u"B0", context);
    const bool usable = probe != nullptr && !probe->IsEmpty();
    SafeRelease(probe);
    if (!usable)
        return;

    // Read into a scratch table and take it over only when every copy was made, so that a
    // shortage of memory can never leave a half-filled table behind.
    char16_t* texts[kEntryCount] = {};
    int32_t entry = 0;
    for (const Group& group : kGroups) {
        for (int32_t i = 0; i < group.count; ++i, ++entry) {
            char16_t key[4];
            KeyName(group.letter, i, key);
            String* text = read(key, context);
            texts[entry] = CopyText(text);
            SafeRelease(text);
            if (texts[entry] == nullptr) {
                ReleaseAll(texts);
                return;
            }
        }
    }
    std::memcpy(gOwned, texts, sizeof(gOwned));
    gLoaded = 1;
}

void Free() {
    if (gLoaded == 0)
        return;
    gLoaded = 0;
    ReleaseAll(gOwned);
}

bool IsLoaded() {
    return gLoaded != 0;
}

const char16_t* ChannelName(int32_t index) {
    if (index < 0 || index >= kChannelNameCount)
        return u"";
    return gLoaded != 0 ? gOwned[index] : kBuiltInChannelNames[index];
}

const char16_t* TargetName(int32_t index) {
    if (index < 0 || index >= kTargetNameCount)
        return u"";
    return gLoaded != 0 ? gOwned[kFirstTarget + index] : kBuiltInTargetNames[index];
}

const char16_t* Text(int32_t index, const char16_t* builtIn) {
    if (gLoaded == 0 || index < 0 || index >= kTextCount)
        return builtIn;
    const char16_t* loaded = gOwned[kFirstText + index];
    return index >= kFirstTextsCount && loaded[0] == 0 ? builtIn : loaded;
}

}  // namespace TextTable
