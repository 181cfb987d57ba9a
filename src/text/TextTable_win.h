// Filling the text table from a translation file through the platform's private-profile
// reader. The application entry calls TextTable::Load; tests name a file of their own.
#pragma once

#include "text/TextTable.h"

namespace TextTable {

// Loads from section "UI" of the file at path, as TextTable::Load does for the file
// beside the program.
void LoadFromFile(const wchar_t* path);

}  // namespace TextTable
