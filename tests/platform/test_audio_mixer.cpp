#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/audio.h"

namespace {

using platform::audio::kChannels;
using platform::audio::Mixer;
using platform::audio::Source;

class ConstantSource : public Source {
 public:
  explicit ConstantSource(float level) : level_(level) {}
  void MixInto(float* mix, int frames) override {
    for (int i = 0; i < frames * kChannels; ++i) mix[i] += level_;
  }

 private:
  float level_;
};

// Every sample of a render whose buffer starts out holding stale values.
std::vector<float> RenderWith(Mixer& mixer) {
  std::vector<float> out(8 * kChannels, 0.75f);
  mixer.Render(out.data(), 8);
  return out;
}

TEST(AudioMixer, RenderClearsSumsAndClipsOnlyTheSum) {
  Mixer mixer;
  EXPECT_EQ(RenderWith(mixer), std::vector<float>(16, 0.0f));
  ConstantSource a(0.8f), b(0.7f), c(-0.6f), d(-2.0f);
  mixer.Add(&a);
  mixer.Add(&b);
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, 1.0f);
  // 1.5 - 0.6 is below full scale: clipping happens once, after everything is mixed.
  mixer.Add(&c);
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, 0.9f);
  mixer.Add(&d);
  for (float sample : RenderWith(mixer)) EXPECT_FLOAT_EQ(sample, -1.0f);
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
