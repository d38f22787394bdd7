// Every phase a player sees, pixel for pixel against a checked-in picture.
#include "golden_frame.h"
#include "phase_fixture.h"

namespace {

class PhaseGolden : public PhaseTest, public ::testing::WithParamInterface<PhaseName> {};

}  // namespace

TEST_P(PhaseGolden, FrameMatchesTheCheckedInPicture) {
  Reach(GetParam().phase);
  golden::ExpectFrameMatches("phase_" + std::string(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(EveryPhase, PhaseGolden, ::testing::ValuesIn(kPhases),
                         [](const auto& param) { return std::string(param.param.name); });
