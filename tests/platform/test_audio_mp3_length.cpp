// The length at byte 268: read from the file's Xing, Info or VBRI header at once, or
// estimated and then counted off the game's thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/tasks.h"
#include "platform/vbmp3.h"
#include "support/audio_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void PutBig(Bytes& bytes, size_t at, std::uint32_t value, int count) {
  for (int i = 0; i < count; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (count - 1 - i)));
}

// A silent MPEG-1 layer III frame of 128 kbit/s at 44.1 kHz whose VBRI header claims `frames`.
Bytes VbriFrame(std::uint32_t frames) {
  Bytes frame(417, 0);
  PutBig(frame, 0, 0xFFFB9000, 4);
  std::copy_n("VBRI", 4, frame.begin() + 36);
  PutBig(frame, 40, 1, 2);           // version
  PutBig(frame, 50, frames, 4);      // frames
  return frame;
}

void Concatenate(const fs::path& first, const fs::path& second, const fs::path& whole) {
  Bytes bytes = ReadAll(first);
  const Bytes more = ReadAll(second);
  bytes.insert(bytes.end(), more.begin(), more.end());
  WriteAll(whole, bytes);
}

class Mp3Length : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new fs::path(fs::temp_directory_path() / ("kotobune-mp3-length-" + std::to_string(getpid())));
    fs::create_directories(*folder_);
    if (!test_audio::HaveLame()) return;
    const fs::path& f = *folder_;
    test_audio::WriteTone(f / "tone.wav", 44100, 6.5, {440, 550});
    test_audio::WriteTone(f / "short.wav", 44100, 2.0, {440});
    test_audio::WriteTone(f / "long.wav", 44100, 5.0, {330, 660});
    // Whole, 5 s; with the encoder's delay and padding counted in, 6 s.
    test_audio::WriteTone(f / "edge.wav", 44100, 5.99, {440, 550});
    encoded_ = test_audio::EncodeMp3(f / "tone.wav", f / "info.mp3", "-b 128") &&
               test_audio::EncodeMp3(f / "tone.wav", f / "xing.mp3", "-V 2") &&
               test_audio::EncodeMp3(f / "tone.wav", f / "mono.mp3", "-m m -V 2") &&
               test_audio::EncodeMp3(f / "tone.wav", f / "mpeg2.mp3", "-V 2 --resample 22.05") &&
               test_audio::EncodeMp3(f / "edge.wav", f / "trim.mp3", "-V 2") &&
               test_audio::EncodeMp3(f / "tone.wav", f / "bare.mp3", "-t -b 128") &&
               test_audio::EncodeMp3(f / "short.wav", f / "slow.mp3", "-t -b 32 --resample 44.1") &&
               test_audio::EncodeMp3(f / "long.wav", f / "fast.mp3", "-t -b 320") &&
               test_audio::EncodeMp3(f / "short.wav", f / "slow2.mp3", "-t -b 8 --resample 22.05") &&
               test_audio::EncodeMp3(f / "long.wav", f / "fast2.mp3", "-t -b 160 --resample 22.05");
    if (!encoded_) return;
    // No header, and a first frame far slower than the rest: the estimate is far off.
    Concatenate(f / "slow.mp3", f / "fast.mp3", f / "mixed.mp3");
    Concatenate(f / "slow2.mp3", f / "fast2.mp3", f / "mixed2.mp3");
    Bytes vbri = VbriFrame(383);  // 383 frames of 1152 samples: 10.005 s
    const Bytes bare = ReadAll(f / "bare.mp3");
    vbri.insert(vbri.end(), bare.begin(), bare.end());
    WriteAll(f / "vbri.mp3", vbri);
  }
  static void TearDownTestSuite() {
    fs::remove_all(*folder_);
    delete folder_;
  }
  void SetUp() override {
    if (!encoded_) GTEST_SKIP() << "the lame encoder is needed to make test MP3s (Debian package lame)";
    vbmp3_init();
    info_.fill(0xAB);
  }
  void TearDown() override {
    vbmp3_free();
    platform::RunPostedTasks();
  }

  static fs::path PathOf(const char* name) { return *folder_ / name; }
  BOOL Open(const fs::path& path) { return vbmp3_open(path.string().c_str(), info_.data()); }
  std::int32_t Length() const {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = bits << 8 | info_[kVbmp3LengthOffset + i];
    return static_cast<std::int32_t>(bits);
  }
  // Runs what the background count posted until the length reads `expected`, or the time is up.
  bool LengthBecomes(std::int32_t expected, int milliseconds = 10000) {
    for (int i = 0; i < milliseconds / 10 && Length() != expected; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      platform::RunPostedTasks();
    }
    return Length() == expected;
  }

  static inline fs::path* folder_ = nullptr;
  static inline bool encoded_ = false;
  std::array<std::uint8_t, kVbmp3InfoSize> info_{};
};

// Mono MPEG-1 and MPEG-2 (576 samples a frame) place and count their header differently.
TEST_F(Mp3Length, HeadersGiveTheLengthAtOnceAndAreTrusted) {
  for (const char* name : {"info.mp3", "xing.mp3", "mono.mp3", "mpeg2.mp3"}) {
    ASSERT_EQ(Open(PathOf(name)), TRUE) << name;
    EXPECT_EQ(Length(), 6) << name;
  }
  ASSERT_EQ(Open(PathOf("vbri.mp3")), TRUE);
  EXPECT_EQ(Length(), 10);
  ASSERT_EQ(Open(PathOf("trim.mp3")), TRUE);
  EXPECT_EQ(Length(), 5) << "the encoder's delay and padding are no part of the music";
  // A header that claims twice the frames is believed: nothing counted them.
  for (const char* name : {"xing.mp3", "mono.mp3", "mpeg2.mp3"}) {
    Bytes doctored = ReadAll(PathOf(name));
    const auto xing = std::search(doctored.begin(), doctored.end(), std::begin("Xing"), std::end("Xing") - 1) - doctored.begin();
    const size_t count = static_cast<size_t>(xing) + 8;
    std::uint32_t frames = 0;
    for (int i = 0; i < 4; ++i) frames = frames << 8 | doctored[count + static_cast<size_t>(i)];
    PutBig(doctored, count, frames * 2, 4);
    WriteAll(PathOf("doctored.mp3"), doctored);
    ASSERT_EQ(Open(PathOf("doctored.mp3")), TRUE) << name;
    EXPECT_EQ(Length(), 13) << name;
    EXPECT_FALSE(LengthBecomes(6, 200)) << name;
  }
}

TEST_F(Mp3Length, WithoutAHeaderAnEstimateThenTheCountedLength) {
  for (const char* name : {"mixed.mp3", "mixed2.mp3"}) {
    ASSERT_EQ(Open(PathOf(name)), TRUE);
    EXPECT_GT(Length(), 20) << name << ": the estimate from the slow first frame";
    EXPECT_TRUE(LengthBecomes(7)) << name << ": still " << Length();
  }
  // The count belongs to its opening: a later file keeps its own length.
  ASSERT_EQ(Open(PathOf("mixed.mp3")), TRUE);
  ASSERT_EQ(Open(PathOf("info.mp3")), TRUE);
  EXPECT_FALSE(LengthBecomes(7, 500));
  EXPECT_EQ(Length(), 6);
}

TEST_F(Mp3Length, AFileGoneDuringTheCountOrClosedBeforeItEndsIsHarmless) {
  const fs::path copy = PathOf("gone.mp3");
  fs::copy_file(PathOf("mixed.mp3"), copy, fs::copy_options::overwrite_existing);
  ASSERT_EQ(Open(copy), TRUE);
  fs::remove(copy);
  EXPECT_TRUE(LengthBecomes(7, 1000) || Length() > 20);
  EXPECT_EQ(vbmp3_play(), TRUE);
  fs::copy_file(PathOf("mixed.mp3"), copy, fs::copy_options::overwrite_existing);
  ASSERT_EQ(Open(copy), TRUE);
  EXPECT_EQ(vbmp3_close(), TRUE);
  fs::remove(copy);
  EXPECT_EQ(vbmp3_free(), TRUE);
}

TEST_F(Mp3Length, AHeaderFrameCutShortIsNotReadPastItsEnd) {
  for (const size_t length : {4u, 38u, 44u, 48u, 60u}) {
    Bytes cut = VbriFrame(383);
    std::copy_n("Xing", 4, cut.begin() + 36);
    cut.resize(length);
    WriteAll(PathOf("cut.mp3"), cut);
    Open(PathOf("cut.mp3"));
    EXPECT_LT(Length(), 10) << length;
  }
}

}  // namespace
