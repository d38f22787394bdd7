#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/halt.h"
#include "sound_fixture.h"

namespace {

using namespace wave_files;

// A constant level, so sums of channels are easy to read.
std::string Level(std::int16_t value, int frames) {
  return Wave16(1, 44100, std::vector<std::int16_t>(static_cast<std::size_t>(frames), value));
}

int RisingZeroCrossings(const std::vector<float>& stereo) {
  int crossings = 0;
  for (std::size_t i = 2; i < stereo.size(); i += 2) {
    if (stereo[i - 2] < 0.0f && stereo[i] >= 0.0f) ++crossings;
  }
  return crossings;
}

float Peak(const std::vector<float>& stereo) {
  float peak = 0;
  for (float sample : stereo) peak = std::max(peak, std::abs(sample));
  return peak;
}

TEST_F(SoundTest, SoxWavesOfEveryShapePlayAtTheirPitch) {
  if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
  struct Shape {
    int rate, bits, channels;
  };
  const Shape shapes[] = {{11025, 8, 1}, {22050, 16, 1}, {44100, 8, 2}, {48000, 16, 2}, {32000, 16, 1}};
  TDDSD& component = StartSound();
  for (const Shape& shape : shapes) {
    const std::string name = "sine" + std::to_string(shape.rate) + "_" + std::to_string(shape.bits) + "_" +
                             std::to_string(shape.channels) + ".wav";
    ASSERT_TRUE(MakeSine(folder.Native(name), shape.rate, shape.bits, shape.channels, 440, 0.5));
    TDDSDWaveData& wave = LoadFile(name);
    ASSERT_NE(wave.Buffer(), nullptr) << name;
    EXPECT_EQ(wave.Format().nSamplesPerSec, static_cast<DWORD>(shape.rate));
    TDDSDChannel* channel = component.Channel(0);
    channel->setWaveData(&wave);
    channel->Play();
    const std::vector<float> heard = Listen(520);
    EXPECT_NEAR(RisingZeroCrossings(heard), 220, 4) << name;  // 440 Hz for half a second
    EXPECT_NEAR(Peak(heard), 0.5f, 0.03f) << name;
    EXPECT_EQ(Peak(Listen(50)), 0.0f) << name << " goes on after its end";
  }
}

TEST_F(SoundTest, MixCarriesTheWavesSamplesExactly) {
  TDDSD& component = StartSound();
  // Below the mixer's limiter ceiling, where nothing but the wave shapes the mix.
  const std::vector<std::int16_t> samples = {1000, -1000, 16384, -16384, 31000, -31000, 0, 7};
  TDDSDWaveData& wave = Load("exact.wav", Wave16(2, 44100, samples));
  component.Channel(4)->setWaveData(&wave);
  component.Channel(4)->Play();
  const std::vector<float> heard = Listen(1);
  ASSERT_GE(heard.size(), samples.size() + 2);
  for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_FLOAT_EQ(heard[i], samples[i] / 32768.0f) << i;
  EXPECT_EQ(heard[samples.size()], 0.0f);
}

class BrokenWaveTest : public SoundTest {
 protected:
  void ExpectRefused(const std::string& bytes, const std::string& messageTail) {
    StartSound();
    TDDSDWaveData& wave = Load("broken.wav", bytes);
    EXPECT_EQ(wave.Buffer(), nullptr);
    EXPECT_EQ(LastLogMessage(), folder.Game("broken.wav") + messageTail);
  }
};

TEST_F(BrokenWaveTest, RiffThatIsNotWave) {
  ExpectRefused(Riff("AVI ", Chunk("LIST", "hdrl....")), "は、WAVEファイルではありません");
}
TEST_F(BrokenWaveTest, NoFmtChunk) {
  ExpectRefused(Riff("WAVE", Chunk("data", "abcd")), "には、fmtチャンクが有りません");
}
TEST_F(BrokenWaveTest, FmtChunkShorterOnDiskThanStated) {
  ExpectRefused(Riff("WAVE", Chunk("fmt ", Format(1, 1, 44100, 16), 18)).substr(0, 12 + 8 + 16),
                "のfmtチャンクが不正です");
}
TEST_F(BrokenWaveTest, FmtChunkTooShortForAFormat) {
  ExpectRefused(Riff("WAVE", Chunk("fmt ", "\x01\x00\x01\x00") + Chunk("data", "abcd")), "のfmtチャンクが不正です");
}
TEST_F(BrokenWaveTest, NoDataChunk) {
  ExpectRefused(Riff("WAVE", Chunk("fmt ", Format(1, 1, 44100, 16)) + Chunk("LIST", "INFO")), "には、dataチャンクが有りません");
}
TEST_F(BrokenWaveTest, DataChunkOutsideTheRiffChunk) {
  ExpectRefused(Riff("WAVE", Chunk("fmt ", Format(1, 1, 44100, 16))) + Chunk("data", "abcd"), "には、dataチャンクが有りません");
}
TEST_F(BrokenWaveTest, MissingFile) {
  StartSound();
  TDDSDWaveData& wave = LoadFile("nothing.wav");
  EXPECT_EQ(wave.Buffer(), nullptr);
  EXPECT_EQ(LastLogMessage(), folder.Game("nothing.wav") + "が、見つかりません");
}

TEST_F(SoundTest, FileProblemsNeverHaltButUnsupportedFormatsDo) {
  StartSound(dsoHaltOnError);
  EXPECT_EQ(Load("empty.wav", "").Buffer(), nullptr);
  const std::string adpcm = Riff("WAVE", Chunk("fmt ", Format(2, 1, 44100, 4)) + Chunk("data", "abcd"));
  EXPECT_HALT(Load("adpcm.wav", adpcm), "サウンドバッファの作成に失敗しました\\(Error Code\\(88780064\\)\\)");
}

TEST_F(SoundTest, OddSizedChunksAreSkippedWithTheirPadByte) {
  TDDSD& component = StartSound();
  const std::string body = Chunk("junk", "abc") + Chunk("fmt ", Format(1, 1, 44100, 16)) + Chunk("LIST", "odd") +
                           Chunk("data", Pcm16({12000, -12000}));
  TDDSDWaveData& wave = Load("odd.wav", Riff("WAVE", body));
  ASSERT_NE(wave.Buffer(), nullptr);
  EXPECT_EQ(wave.BufferSize(), 4u);
  component.Channel(0)->setWaveData(&wave);
  component.Channel(0)->Play();
  const std::vector<float> heard = Listen(1);
  EXPECT_FLOAT_EQ(heard[0], 12000 / 32768.0f);
  EXPECT_FLOAT_EQ(heard[2], -12000 / 32768.0f);
}

std::string Extensible(const std::string& subFormatFirstWord) {
  std::string fmt = Format(0xFFFE, 1, 44100, 16);
  PutU16(fmt, 22);
  PutU16(fmt, 16);
  PutU32(fmt, 4);
  fmt += subFormatFirstWord + std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
  return Riff("WAVE", Chunk("fmt ", fmt) + Chunk("data", Pcm16({8192, 8192})));
}

TEST_F(SoundTest, ExtensibleFormatOfPlainPcmPlaysAndOthersAreRefused) {
  TDDSD& component = StartSound();
  TDDSDWaveData& pcm = Load("ext.wav", Extensible(std::string("\x01\x00\x00\x00", 4)));
  ASSERT_NE(pcm.Buffer(), nullptr);
  EXPECT_EQ(pcm.Format().wFormatTag, WAVE_FORMAT_PCM);
  component.Channel(1)->setWaveData(&pcm);
  component.Channel(1)->Play();
  EXPECT_FLOAT_EQ(Listen(1)[0], 0.25f);

  TDDSDWaveData& other = Load("ext2.wav", Extensible(std::string("\x55\x00\x00\x00", 4)));
  EXPECT_EQ(other.Buffer(), nullptr);
  EXPECT_EQ(LastLogMessage(), "サウンドバッファの作成に失敗しました(Error Code(88780064))");
}

TEST_F(SoundTest, HugeStatedSizesReadOnlyWhatTheFileHolds) {
  StartSound();
  const std::string data = Chunk("data", Pcm16({1, 2, 3}), 0xFFFFFFF0);
  TDDSDWaveData& wave = Load("huge.wav", Riff("WAVE", Chunk("fmt ", Format(1, 1, 44100, 16)) + data));
  ASSERT_NE(wave.Buffer(), nullptr);
  EXPECT_EQ(wave.BufferSize(), 6u);

  const std::string hugeFmt = Riff("WAVE", Chunk("fmt ", Format(1, 1, 44100, 16), 0x7FFFFFFF) + Chunk("data", "ab"));
  EXPECT_EQ(Load("hugefmt.wav", hugeFmt).Buffer(), nullptr);
  EXPECT_EQ(LastLogMessage(), folder.Game("hugefmt.wav") + "のfmtチャンクが不正です");
}

// ---- channels ----

TEST_F(SoundTest, ChannelOutsideTheRangeIsReportedWithTheRange) {
  TDDSD& component = StartSound();
  EXPECT_EQ(component.Channel(10), nullptr);
  EXPECT_EQ(LastLogMessage(), "チャンネル番号10は無効です、0～9の範囲で指定してください");
  EXPECT_EQ(component.Channel(-1), nullptr);
  EXPECT_EQ(LastLogMessage(), "チャンネル番号-1は無効です、0～9の範囲で指定してください");
  EXPECT_NE(component.Channel(9), nullptr);
  sound->DebugOption = dsoHaltOnError;
  EXPECT_HALT(component.Channel(10), "チャンネル番号10は無効です、0～9の範囲");
}

TEST_F(SoundTest, TwoPlaysInOneFrameStartTheSoundOnceFromTheBeginning) {
  TDDSD& component = StartSound();
  std::vector<std::int16_t> ramp;
  for (int i = 0; i < 2000; ++i) ramp.push_back(static_cast<std::int16_t>(i * 8));
  TDDSDWaveData& wave = Load("ramp.wav", Wave16(1, 44100, ramp));
  TDDSDChannel* channel = component.Channel(0);
  channel->setWaveData(&wave);
  channel->Play();
  const std::vector<float> once = Listen(30);
  channel->Play();
  Listen(10);  // halfway through
  channel->Play();
  channel->Play();
  EXPECT_EQ(Listen(30), once);
}

TEST_F(SoundTest, ChannelsSoundTogetherEachFromItsOwnDuplicate) {
  TDDSD& component = StartSound();
  TDDSDWaveData& quarter = Load("quarter.wav", Level(8192, 4410));
  TDDSDWaveData& eighth = Load("eighth.wav", Level(4096, 4410));
  component.Channel(2)->setWaveData(&quarter);
  component.Channel(3)->setWaveData(&eighth);
  component.Channel(4)->setWaveData(&quarter);
  EXPECT_NE(component.Channel(2)->Buffer(), quarter.Buffer());
  EXPECT_NE(component.Channel(2)->Buffer(), component.Channel(4)->Buffer());
  EXPECT_EQ(component.Channel(2)->SampleRate(), 44100u);

  component.Channel(2)->Play();
  EXPECT_FLOAT_EQ(Listen(50)[0], 0.25f);
  component.Channel(3)->Play();
  component.Channel(4)->Play();  // the same wave as channel 2, started later
  const std::vector<float> heard = Listen(60);
  EXPECT_FLOAT_EQ(heard[0], 0.625f);
  EXPECT_FLOAT_EQ(heard[2 * 2300], 0.375f);  // channel 2 has ended
  component.Channel(3)->Stop();
  EXPECT_FLOAT_EQ(Listen(10)[0], 0.25f);
}

TEST_F(SoundTest, RebindingANonSharedChannelMakesANewDuplicate) {
  TDDSD& component = StartSound();
  TDDSDWaveData& wave = Load("a.wav", Level(8192, 100));
  TDDSDChannel* channel = component.Channel(0);
  channel->setWaveData(&wave);
  IDirectSoundBuffer8* first = channel->Buffer();
  first->AddRef();  // keeps the address from being reused
  channel->setWaveData(&wave);
  EXPECT_NE(channel->Buffer(), first);
  EXPECT_FALSE(channel->Shared());
  EXPECT_EQ(first->Release(), 0u);

  channel->setWaveData(nullptr);
  EXPECT_EQ(channel->Buffer(), nullptr);
  channel->Play();  // nothing bound: silent, no failure
}

TEST_F(SoundTest, WaveWithoutBufferBindsAsSilence) {
  TDDSD& component = StartSound(dsoHaltOnError);
  TDDSDWaveData& missing = LoadFile("missing.wav");
  component.Channel(0)->setWaveData(&missing);
  EXPECT_EQ(component.Channel(0)->Buffer(), nullptr);
  component.Channel(0)->Play();
  EXPECT_EQ(Peak(Listen(10)), 0.0f);
}

TEST_F(SoundTest, WavesAndComponentMayGoInEitherOrder) {
  TDDSD& component = StartSound();
  TDDSDWaveData& wave = Load("a.wav", Level(8192, 44100));
  component.Channel(0)->setWaveData(&wave);
  component.Channel(0)->Play();
  waves.clear();  // the channel's duplicate plays on
  EXPECT_EQ(component.Channel(0)->Wave(), nullptr);
  EXPECT_FLOAT_EQ(Listen(5)[0], 0.25f);
  auto late = std::make_unique<TDDSDWaveData>(component, folder.Game("a.wav"), false);
  sound.reset();
  late.reset();
}

TEST_F(SoundTest, WithoutAnAudioDeviceTheComponentStaysSilentAndHarmless) {
  headless::SetAudioOutput(false);
  TDDSD& component = StartSound(dsoHaltOnError);
  EXPECT_FALSE(component.Initialized());
  TDDSDWaveData& wave = Load("a.wav", Level(8192, 100));
  EXPECT_EQ(wave.Buffer(), nullptr);
  ASSERT_NE(component.Channel(9), nullptr);
  component.Channel(9)->setWaveData(&wave);
  component.Channel(9)->Play();
  component.Channel(9)->Stop();
  EXPECT_FALSE(std::filesystem::exists(folder.Native("DDSD_DebugLog.txt")));
}

TEST_F(SoundTest, ChannelCountZeroStillGivesOneChannel) {
  TDDSD& component = StartSound(dsoDebugMessage, 0);
  EXPECT_NE(component.Channel(0), nullptr);
  EXPECT_EQ(component.Channel(1), nullptr);
}

TEST_F(SoundTest, Use3DMakesAListenerWithItsDefaults) {
  sound = std::make_unique<TDDSD>(*form);
  sound->Use3D = true;
  sound->Loaded();
  ASSERT_NE(sound->Listener3D(), nullptr);
  DS3DLISTENER sent{};
  ASSERT_EQ(sound->Listener3D()->GetAllParameters(&sent), DS_OK);
  EXPECT_EQ(sent.vOrientTop.y, 1.0f);
  EXPECT_EQ(sent.flDopplerFactor, 1.0f);
  EXPECT_EQ(sound->Channel(0)->Params3D().Record.flMaxDistance, 100.0f);
}

TEST_F(SoundTest, ExceptOnErrorRaisesTheMessage) {
  StartSound(dsoHaltOnError | dsoExceptOnError);
  EXPECT_THROW(LoadFile("missing.wav"), EDDSD);
  try {
    sound->Channel(12);
    FAIL() << "no exception";
  } catch (const EDDSD& error) {
    EXPECT_STREQ(error.what(), "チャンネル番号12は無効です、0～9の範囲で指定してください");
  }
}

TEST_F(SoundTest, FirstLogLineOfARunTruncatesTheLog) {
  // A fresh process, so the unit's counter starts at 0. It runs this test again from the
  // start, so the log goes to a folder both processes can name.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto logFolder = std::filesystem::temp_directory_path() / ("kotobune-ddsd-" + std::to_string(getuid()));
  std::filesystem::create_directories(logFolder);
  headless::SetExeName((logFolder / "kotobune").string());
  std::ofstream(logFolder / "DDSD_DebugLog.txt") << "old contents\n";
  TDDSD& component = StartSound(dsoDebugMessage);
  EXPECT_EXIT(
      {
        component.Channel(10);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  std::ifstream log(logFolder / "DDSD_DebugLog.txt");
  const std::string contents{std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()};
  EXPECT_EQ(contents, "debug#00001 ... チャンネル番号10は無効です、0～9の範囲で指定してください\n");
  std::filesystem::remove_all(logFolder);
}

}  // namespace
