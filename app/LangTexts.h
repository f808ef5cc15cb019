#pragma once

#include <cstdint>

// The interface texts, UTF-8, [row][language]; language 0 Russian, 1 English.
inline constexpr int LangTextRows = 34;
extern const char* const LangTexts[LangTextRows][2];
extern uint16_t LangIndex;

// The text of a row in the current language.
const char* LangText(int row);
// True when the system's default language is Russian (Russia), 0x0419 exactly.
bool IsRussianSystem();
