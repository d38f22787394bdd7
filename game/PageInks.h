#pragma once
// The inks every page writes with.
#include <cstdint>

namespace page_ink {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;
constexpr std::uint32_t kHeading = 0xFFFFE88C;
constexpr std::uint32_t kKeyLine = 0xFF9CE6FF;
constexpr std::uint32_t kFooter = 0xFFB4D2E6;

}  // namespace page_ink
