#pragma once
// The player's folders on a POSIX desktop come from the XDG variables; given here apart from
// the process so that tests can hand in their own.
#include <string>
#include <string_view>

#include "platform/places.h"

namespace platform {

// The variables the player's folders come from; empty when unset.
struct PlayerEnvironment {
  std::string home, dataHome, configHome, stateHome;
  static PlayerEnvironment FromProcess();
};

// installedFromProgram: the installed data folder relative to the executable's folder.
Places FindPlaces(std::string_view exePathUtf8, const PlayerEnvironment& environment,
                  std::string_view installedFromProgram);

}  // namespace platform
