#pragma once
// Byte-pair compression in the block format the archive reader expands.
#include <cstdint>
#include <span>
#include <vector>

// Blocks back to back, each a pair table, the packed length and the packed bytes.
std::vector<std::uint8_t> BytePairCompress(std::span<const std::uint8_t> data);
