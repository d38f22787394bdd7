// Random and damaged archives: every read must end, in a member or in EQDAError, and never
// touch memory outside its buffers (this runs under the address sanitizer in CI).
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "QDAWriter.h"
#include "archive/archive_bytes.h"
#include "archive/sample_pictures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 20000;
constexpr auto kTimeBudget = std::chrono::seconds(3);

const std::vector<std::string> kIds = {"same0.bmp", "note.txt", "tiny", "absent"};

Bytes SeedArchive(bool compress) {
  const std::string note = "shark shark shark ball ball ball 四字熟語";
  return QDABuildArchive(std::vector<QDAMemberSource>{{"same0.bmp", MakeSampleBmp(24, 16)},
                                                      {"note.txt", Bytes(note.begin(), note.end())},
                                                      {"tiny", Bytes{1, 2, 3}}},
                         compress);
}

class Mutator {
 public:
  explicit Mutator(unsigned seed) : random_(seed) {}

  Bytes Mutate(Bytes bytes) {
    switch (Pick(4)) {
      case 0: return FlipBytes(std::move(bytes));
      case 1: return Truncate(std::move(bytes));
      case 2: return FlipBytes(Truncate(std::move(bytes)));
      default: return RandomTail(std::move(bytes));
    }
  }

  std::uint32_t Pick(std::uint32_t below) { return static_cast<std::uint32_t>(random_() % below); }

 private:
  // Mostly in the header, the index and the first tables, where damage changes the most.
  Bytes FlipBytes(Bytes bytes) {
    if (bytes.empty()) return bytes;
    const std::uint32_t hotZone = std::min<std::uint32_t>(static_cast<std::uint32_t>(bytes.size()), 1200);
    for (std::uint32_t n = 1 + Pick(6); n != 0; --n) {
      const std::uint32_t at = Pick(2) == 0 ? Pick(hotZone) : Pick(static_cast<std::uint32_t>(bytes.size()));
      bytes[at] = Pick(3) == 0 ? static_cast<std::uint8_t>(random_()) : bytes[at] ^ (1u << Pick(8));
    }
    return bytes;
  }

  Bytes Truncate(Bytes bytes) {
    bytes.resize(Pick(static_cast<std::uint32_t>(bytes.size()) + 1));
    return bytes;
  }

  // A sound header and index followed by noise.
  Bytes RandomTail(Bytes bytes) {
    const std::size_t keep = DataStart(3);
    for (std::size_t i = keep; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(random_());
    return bytes;
  }

  std::mt19937 random_;
};

struct Outcomes {
  int members = 0;
  int errors = 0;
};

void ReadEveryId(const Bytes& archive, Outcomes& outcomes) {
  for (const std::string& id : kIds) {
    try {
      TMemoryStream stream(archive);
      const auto member = QDAReadMemberFromStream(stream, id);
      ASSERT_LE(member->Size(), QDAMaxMemberSize);
      ++outcomes.members;
    } catch (const EQDAError&) {
      ++outcomes.errors;
    }
  }
}

TEST(QDArcFuzz, DamagedArchivesEndInAMemberOrEQDAError) {
  Mutator mutator(20240611);
  const Bytes seeds[] = {SeedArchive(true), SeedArchive(false)};
  const auto deadline = Clock::now() + kTimeBudget;
  Outcomes outcomes;
  for (int round = 0; round < kRounds && Clock::now() < deadline; ++round) {
    ReadEveryId(mutator.Mutate(seeds[round % 2]), outcomes);
    if (HasFatalFailure()) return;
  }
  // Damage that every read rejects at the header would leave the expander untried.
  EXPECT_GT(outcomes.members, outcomes.errors / 10);
  EXPECT_GT(outcomes.errors, outcomes.members / 10);
}

TEST(QDArcFuzz, RandomBlocksExpandOrRaise) {
  std::mt19937 random(7);
  const auto deadline = Clock::now() + kTimeBudget;
  for (int round = 0; round < kRounds && Clock::now() < deadline; ++round) {
    Bytes noise(random() % 600);
    for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
    TMemoryStream source(std::move(noise));
    try {
      EXPECT_EQ(QDAExpand(source, static_cast<std::int32_t>(random() % 5000))->Position(), 0);
    } catch (const EQDAError&) {
    }
  }
}

}  // namespace
