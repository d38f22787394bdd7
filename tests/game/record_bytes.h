#pragma once
// Record files made by hand for tests.
#include <cstdint>
#include <cstring>
#include <string>

#include "GameState.h"

inline void PutInt(std::string& bytes, std::size_t at, std::int32_t value) {
  std::memcpy(&bytes[at], &value, sizeof value);
}

// The smallest record that holds a valid saved game: a fresh stage-1 round, nothing picked.
// A negative marker makes it a record without a saved game.
inline std::string RecordWith(std::int32_t best, std::int32_t marker) {
  std::string record(kRecordSize, '\0');
  for (int i = 0; i < 8; ++i) {
    record[28 * i + 20] = 1;           // ball i still in the pool
    PutInt(record, 264 + 4 * i, i);    // its character position
    PutInt(record, 296 + 4 * i, -1);   // empty answer slot
  }
  PutInt(record, 260, 1);
  record[328] = record[329] = 1;
  PutInt(record, 500, 2);
  PutInt(record, 512, -1);
  PutInt(record, 516, -1);
  PutInt(record, 548, 1);
  PutInt(record, kBestScoreOffset, best);
  PutInt(record, kSavedMarkerOffset, marker);
  return record;
}
