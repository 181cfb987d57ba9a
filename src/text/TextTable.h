// The translatable interface texts: the seven board channel names (group B), the 44
// association target names (group K) and further texts (group T). Groups B and K have
// built-in Portuguese texts here; a group T consumer holds its own built-in text and asks
// for the translated one. The table is filled once at start-up from the translation file
// beside the program, before any window exists, is read-only afterwards, and is freed as
// the last step of shutdown. User-interface thread only.
#pragma once

#include <cstdint>

#include "core/String.h"

namespace TextTable {

constexpr int32_t kChannelNameCount = 7;
constexpr int32_t kTargetNameCount = 44;
constexpr int32_t kTextCount = 43;
// T0..T31 came with the first translation files, where a key left out shows an empty text.
// Older files lack the later ones, so a later key left out or empty shows the built-in text.
constexpr int32_t kFirstTextsCount = 32;
constexpr int32_t kEntryCount = kChannelNameCount + kTargetNameCount + kTextCount;

// Reads one key of the translation file's section "UI". Returns a new String that the
// table releases, empty for a missing key, or null when nothing could be read.
using KeyReader = String* (*)(const char16_t* key, void* context);

// Probes B0 and, when it has a non-empty text, reads B0..B6, K0..K43 and T0..T42 in that
// order and keeps a copy of each; a missing or empty key then gives an empty text, except
// from T32 on (see kFirstTextsCount). Without a B0 text the built-in texts stay. A table already loaded is
// freed first. When memory runs out part way, nothing of the file is kept.
void LoadWith(KeyReader read, void* context);
// Loads from the translation file beside the program (Windows build; TextTable_win.cpp).
void Load();
// Releases every loaded text and returns to the built-in texts; nothing when not loaded.
void Free();
bool IsLoaded();

// The current text of channel name B<index> (0..6) and target name K<index> (0..43):
// loaded or built-in. An index out of range gives the empty text.
const char16_t* ChannelName(int32_t index);
const char16_t* TargetName(int32_t index);
// T<index> when a translation is loaded (and, from T32 on, gives it a text), else builtIn.
const char16_t* Text(int32_t index, const char16_t* builtIn);

// The key of an entry: the group letter 'B', 'K' or 'T' and the index in decimal, "K43".
void KeyName(char16_t group, int32_t index, char16_t (&key)[4]);

}  // namespace TextTable
