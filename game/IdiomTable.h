#pragma once
// The built-in idioms of the dictionary: indices 0..169.
#include <array>
#include <string_view>

#include "GameState.h"

struct TIdiomRow {
  std::u16string_view idiom;    // four characters
  std::u16string_view reading;  // hiragana
  std::u16string_view meaning;  // one sentence, at most three display lines of 13
};

extern const std::array<TIdiomRow, kBuiltinIdiomCount> kIdiomTable;
