#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "platform/audio.h"

namespace {

using platform::audio::kChannels;
using platform::audio::Bus;
using platform::audio::Mixer;
using platform::audio::Source;

class ConstantSource : public Source {
 public:
  explicit ConstantSource(float level, Bus bus = Bus::Effects) : level_(level), bus_(bus) {}
  void MixInto(float* mix, int frames) override {
    for (int i = 0; i < frames * kChannels; ++i) mix[i] += level_;
  }
  Bus Output() const override { return bus_; }

 private:
  float level_;
  Bus bus_;
};

// Every sample of a render whose buffer starts out holding stale values.
std::vector<float> RenderWith(Mixer& mixer) {
  std::vector<float> out(8 * kChannels, 0.75f);
  mixer.Render(out.data(), 8);
  return out;
}

TEST(AudioMixer, RenderClearsAndASumBelowTheCeilingPassesUnchanged) {
  Mixer mixer;
  EXPECT_EQ(RenderWith(mixer), std::vector<float>(16, 0.0f));
  ConstantSource a(0.8f), b(0.7f), c(-0.6f);
  mixer.Add(&a);
  mixer.Add(&b);
  mixer.Add(&c);
  // 1.5 - 0.6 is below full scale: only the sum counts, not the sources on the way.
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, 0.9f);
}

// Music on the left, an effect on the right: what the limiter does to one, it does to the other.
class SideSource : public Source {
 public:
  SideSource(int channel, double frequency) : channel_(channel), frequency_(frequency) {}
  void MixInto(float* mix, int frames) override {
    for (int i = 0; i < frames; ++i, ++t_) mix[i * kChannels + channel_] += At(t_);
  }
  float At(long t) const {
    return level * static_cast<float>(std::sin(2 * 3.14159265358979 * frequency_ * t / platform::audio::kSampleRate));
  }
  float level = 0.0f;

 private:
  int channel_;
  double frequency_;
  long t_ = 0;
};

TEST(AudioMixer, ALoudSumIsTurnedDownAsAWholeNeverClippedAndComesBack) {
  Mixer mixer;
  SideSource music(0, 440), effect(1, 1000);
  ConstantSource bed(0.4f);  // both sides: music and effect overlap on each channel
  music.level = 0.5f;
  effect.level = 0.9f;
  mixer.Add(&music);
  mixer.Add(&effect);
  mixer.Add(&bed);
  std::vector<float> out(441 * kChannels);
  long t = 0;
  float loudest = 0.0f;
  for (int block = 0; block < 20; ++block, t += 441) {
    mixer.Render(out.data(), 441);
    for (int i = 0; i < 441; ++i) {
      const float left = out[i * kChannels], right = out[i * kChannels + 1];
      loudest = std::max({loudest, std::abs(left), std::abs(right)});
      // Left / (music + bed) and right / (effect + bed) are the same gain.
      const float leftSum = music.At(t + i) + 0.4f, rightSum = effect.At(t + i) + 0.4f;
      if (std::abs(leftSum) < 0.05f || std::abs(rightSum) < 0.05f) continue;
      const float leftGain = left / leftSum, rightGain = right / rightSum;
      ASSERT_NEAR(leftGain, rightGain, 1e-3f) << "block " << block << ", frame " << i;
    }
  }
  EXPECT_LE(loudest, platform::audio::kLimiterCeiling + 1e-6f);
  EXPECT_GT(loudest, 0.9f) << "turned down only as far as needed";

  effect.level = 0.0f;
  for (int block = 0; block < 30; ++block) mixer.Render(out.data(), 441);  // 0.3 s
  mixer.Render(out.data(), 441);
  EXPECT_FLOAT_EQ(out[0 * kChannels + 1], 0.4f) << "the gain is back to 1 once the effect is over";
}

// One loud instant on the right: the music on both sides goes down with it, and comes back
// at the same pace over a quarter of a second.
class ClickSource : public Source {
 public:
  void MixInto(float* mix, int frames) override {
    if (frames > 0 && !played_) mix[1] += 1.6f;
    played_ = true;
  }

 private:
  bool played_ = false;
};

TEST(AudioMixer, OneGainForTheWholeMixRecoversOverAQuarterSecond) {
  Mixer mixer;
  ConstantSource music(0.4f);
  ClickSource click;
  mixer.Add(&music);
  mixer.Add(&click);
  std::vector<float> out(441 * 30 * kChannels);
  mixer.Render(out.data(), 441 * 30);
  const float lowest = platform::audio::kLimiterCeiling / 2.0f;
  EXPECT_FLOAT_EQ(out[1], platform::audio::kLimiterCeiling);
  for (const auto& [seconds, gain] : {std::pair{0.0, lowest}, {0.05, lowest + 0.2f}, {0.1, lowest + 0.4f}, {0.2, 1.0f}}) {
    const auto frame = static_cast<std::size_t>(seconds * platform::audio::kSampleRate);
    EXPECT_NEAR(out[frame * kChannels], 0.4f * gain, 1e-3f) << "left at " << seconds << " s";
  }
}

TEST(AudioMixer, VolumesScaleEachBusBeforeTheLimiterAndFullVolumeChangesNoBit) {
  Mixer mixer;
  ConstantSource music(1.6f, Bus::Music), effect(0.3f), otherEffect(0.1f / 3);
  mixer.Add(&music);
  mixer.Add(&effect);
  mixer.Add(&otherEffect);
  mixer.SetVolume(Bus::Music, 0.25f);
  // Scaled first, the sum 0.4 + 0.3 + 0.0333 is below full scale and nothing is limited.
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, 0.4f + 0.3f + 0.1f / 3);
  mixer.SetVolume(Bus::Effects, 0.0f);
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, 0.4f);
  mixer.SetVolume(Bus::Music, 0.0f);
  EXPECT_EQ(RenderWith(mixer), std::vector<float>(16, 0.0f));

  mixer.SetVolume(Bus::Music, 1.0f);
  mixer.SetVolume(Bus::Effects, 1.0f);
  Mixer untouched;
  untouched.Add(&music);
  untouched.Add(&effect);
  untouched.Add(&otherEffect);
  EXPECT_EQ(RenderWith(mixer), RenderWith(untouched));
}

TEST(AudioMixer, SourceAddedTwiceIsHeardOnceAndRemoveSilencesIt) {
  Mixer mixer;
  ConstantSource a(0.25f), other(0.125f);
  mixer.Add(&a);
  mixer.Add(&a);
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, 0.25f);
  mixer.Remove(&other);  // never added
  mixer.Remove(&a);
  EXPECT_EQ(RenderWith(mixer), std::vector<float>(16, 0.0f));
}

// The game thread changes a source between callbacks under the lock; the audio thread must
// never see it half changed.
class PairSource : public Source {
 public:
  void MixInto(float*, int) override {
    if (first != second) torn = true;
  }
  int first = 0;
  int second = 0;
  std::atomic<bool> torn{false};
};

TEST(AudioMixer, StateChangedUnderTheLockIsNeverSeenHalfDone) {
  Mixer mixer;
  PairSource pair;
  ConstantSource extra(0.1f);
  mixer.Add(&pair);
  std::atomic<bool> done{false};
  std::thread audio([&] {
    std::vector<float> out(64 * kChannels);
    while (!done) mixer.Render(out.data(), 64);
  });
  for (int i = 0; i < 3000; ++i) {
    auto lock = mixer.Lock();
    ++pair.first;
    std::this_thread::yield();
    ++pair.second;
    if (i % 2) {
      mixer.Add(&extra);
    } else {
      mixer.Remove(&extra);
    }
  }
  done = true;
  audio.join();
  EXPECT_FALSE(pair.torn);
}

}  // namespace
