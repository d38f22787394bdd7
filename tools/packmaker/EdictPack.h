#pragma once
// Idiom packs from the EDICT Japanese-English dictionary file: its four-kanji idioms with their
// English glosses, in the player's idiom-file format.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace packmaker {

// UTF-8 texts of one idiom, each also writable in Shift-JIS.
struct PackIdiom {
  std::string idiom, meaning, reading;
  bool operator==(const PackIdiom&) const = default;
};

struct Harvest {
  std::string sourceHeader;  // the dictionary's own first line: its copyright and date
  std::vector<PackIdiom> idioms;
  std::size_t yojiEntries = 0;  // entries marked as four-character idioms, kept or not
};

// The dictionary as its Debian package ships it: EUC-JP, one entry a line,
// "HEADWORD [READING] /gloss/gloss/.../".
Harvest HarvestIdioms(std::string_view eucJp);

// Fifteen header lines naming the source and its licence, then idiom, meaning and reading
// lines; UTF-8 with CR LF.
std::string PackText(const Harvest& harvest);

// Glosses without their part-of-speech and usage tags, joined with "; ".
std::string MeaningOfGlosses(std::string_view glosses);

}  // namespace packmaker
