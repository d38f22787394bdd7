#pragma once
// File-name rules shared by every host.
#include <string_view>

namespace platform {

// Matches a FindFirst mask with '*' and '?' against a name, both as UTF-16.
bool WildcardMatches(std::u16string_view mask, std::u16string_view name);

}  // namespace platform
