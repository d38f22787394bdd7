// The DirectSound and RIFF stand-ins below the component.
#include <cstdio>
#include <random>

#include "platform/dsound.h"
#include "platform/mmsystem.h"
#include "sound_fixture.h"

namespace {

using namespace wave_files;
using platform::com::ComPtr;

class DirectSoundTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  }
  void TearDown() override {
    CoUninitialize();
    SoundTest::TearDown();
  }

  HRESULT Create(ComPtr<IDirectSound8>& directSound) {
    void* created = nullptr;
    const HRESULT result = CoCreateInstance(CLSID_DirectSound8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound8, &created);
    directSound.Adopt(static_cast<IDirectSound8*>(created));
    if (result != S_OK) return result;
    if (const HRESULT initialised = directSound->Initialize(nullptr); initialised != DS_OK) return initialised;
    return directSound->SetCooperativeLevel(form->Handle(), DSSCL_PRIORITY);
  }

  // A buffer holding `frames` frames of a constant 16-bit level, at 44.1 kHz.
  ComPtr<IDirectSoundBuffer> Constant(IDirectSound8& directSound, int channels, std::int16_t level, DWORD frames,
                                      DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY) {
    WAVEFORMATEX format{WAVE_FORMAT_PCM, static_cast<WORD>(channels), 44100, 44100u * 2 * channels,
                        static_cast<WORD>(2 * channels), 16, 0};
    DSBUFFERDESC description{sizeof(DSBUFFERDESC), flags, frames * format.nBlockAlign, 0, &format, {}};
    ComPtr<IDirectSoundBuffer> buffer;
    EXPECT_EQ(directSound.CreateSoundBuffer(&description, buffer.Put(), nullptr), DS_OK);
    void* part = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(buffer->Lock(0, 0, &part, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    auto* samples = static_cast<std::int16_t*>(part);
    for (DWORD i = 0; i < bytes / 2; ++i) samples[i] = level;
    EXPECT_EQ(buffer->Unlock(part, bytes, nullptr, 0), DS_OK);
    return buffer;
  }
};

TEST_F(DirectSoundTest, WithoutAudioOutputDirectSoundCannotBeInitialised) {
  headless::SetAudioOutput(false);
  ComPtr<IDirectSound8> directSound;
  EXPECT_EQ(Create(directSound), DSERR_NODRIVER);
  IDirectSoundBuffer* buffer = nullptr;
  DSBUFFERDESC primary{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
  EXPECT_EQ(directSound->CreateSoundBuffer(&primary, &buffer, nullptr), DSERR_UNINITIALIZED);
  EXPECT_EQ(buffer, nullptr);
}

TEST_F(DirectSoundTest, CreationRefusesBadRequests) {
  ComPtr<IDirectSound8> directSound;
  ASSERT_EQ(Create(directSound), DS_OK);
  EXPECT_EQ(directSound->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  IDirectSoundBuffer* buffer = nullptr;
  const auto create = [&](DWORD flags, DWORD bytes, WAVEFORMATEX* wanted) {
    DSBUFFERDESC description{DSBUFFERDESC_SIZE32, flags, bytes, 0, wanted, {}};
    const HRESULT result = directSound->CreateSoundBuffer(&description, &buffer, nullptr);
    if (buffer != nullptr) buffer->Release();
    buffer = nullptr;
    return result;
  };
  EXPECT_EQ(create(0, 0, &format), DSERR_INVALIDPARAM);
  EXPECT_EQ(create(0, DSBSIZE_MAX + 1, &format), DSERR_INVALIDPARAM);
  EXPECT_EQ(create(0, 400, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(create(DSBCAPS_CTRL3D, 400, &format), DSERR_INVALIDPARAM);  // stereo cannot be placed in space
  EXPECT_EQ(create(DSBCAPS_PRIMARYBUFFER, 400, &format), DSERR_INVALIDPARAM);
  WAVEFORMATEX badAlign = format;
  badAlign.nBlockAlign = 3;
  EXPECT_EQ(create(0, 400, &badAlign), DSERR_BADFORMAT);
  WAVEFORMATEX tooFast = format;
  tooFast.nSamplesPerSec = DSBFREQUENCY_MAX + 1;
  EXPECT_EQ(create(0, 400, &tooFast), DSERR_BADFORMAT);
  EXPECT_EQ(create(0x40E0, 400, &format), DS_OK);
}

TEST_F(DirectSoundTest, VolumePanAndFrequencyShapeTheMix) {
  ComPtr<IDirectSound8> directSound;
  ASSERT_EQ(Create(directSound), DS_OK);
  ComPtr<IDirectSoundBuffer> buffer = Constant(*directSound, 1, 16384, 44100);
  ASSERT_EQ(buffer->SetVolume(-600), DS_OK);
  ASSERT_EQ(buffer->SetPan(DSBPAN_RIGHT), DS_OK);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  const std::vector<float> heard = Listen(2);
  EXPECT_NEAR(heard[1], 0.5f * std::pow(10.0f, -0.3f), 1e-5);
  EXPECT_NEAR(heard[0], 0.0f, 1e-5);
  EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetFrequency(50), DSERR_INVALIDPARAM);

  // Half the rate: the buffer lasts twice as long.
  ASSERT_EQ(buffer->SetFrequency(22050), DS_OK);
  ASSERT_EQ(buffer->SetCurrentPosition(0), DS_OK);
  DWORD play = 0;
  Listen(100);
  buffer->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 2205u * 2);
  ASSERT_EQ(buffer->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  DWORD frequency = 0;
  buffer->GetFrequency(&frequency);
  EXPECT_EQ(frequency, 44100u);

  ComPtr<IDirectSoundBuffer> plain = Constant(*directSound, 1, 100, 100, 0);
  EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
}

TEST_F(DirectSoundTest, PlayContinuesStopHoldsAndLoopingWraps) {
  ComPtr<IDirectSound8> directSound;
  ASSERT_EQ(Create(directSound), DS_OK);
  ComPtr<IDirectSoundBuffer> buffer = Constant(*directSound, 2, 1000, 441);  // 10 ms
  DWORD status = 0, play = 0;
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
  Listen(4);
  ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);  // goes on, does not restart
  Listen(4);
  buffer->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 352u * 4);
  buffer->Stop();
  Listen(4);
  buffer->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 352u * 4);
  buffer->Play(0, 0, 0);
  Listen(4);
  buffer->GetStatus(&status);
  EXPECT_EQ(status, 0u);  // ended by itself

  buffer->Play(0, 0, DSBPLAY_LOOPING);
  const std::vector<float> looped = Listen(50);
  EXPECT_FLOAT_EQ(looped.back(), 1000 / 32768.0f);
  buffer->GetStatus(&status);
  EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->SetCurrentPosition(441 * 4), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, DuplicateSharesSamplesButNotPosition) {
  ComPtr<IDirectSound8> directSound;
  ASSERT_EQ(Create(directSound), DS_OK);
  ComPtr<IDirectSoundBuffer> original = Constant(*directSound, 1, 1000, 4410);
  ComPtr<IDirectSoundBuffer> duplicate;
  ASSERT_EQ(directSound->DuplicateSoundBuffer(original.Get(), duplicate.Put()), DS_OK);
  void* part = nullptr;
  DWORD bytes = 0;
  ASSERT_EQ(original->Lock(0, 2, &part, &bytes, nullptr, nullptr, 0), DS_OK);
  *static_cast<std::int16_t*>(part) = 20000;
  original->Unlock(part, bytes, nullptr, 0);
  original->Play(0, 0, 0);
  Listen(20);
  duplicate->Play(0, 0, 0);
  const std::vector<float> heard = Listen(1);
  EXPECT_FLOAT_EQ(heard[0], (20000 + 1000) / 32768.0f);  // the duplicate starts at the edited sample
  original.Reset();
  EXPECT_FLOAT_EQ(Listen(1)[0], 1000 / 32768.0f);

  ComPtr<IDirectSoundBuffer> none;
  EXPECT_EQ(directSound->DuplicateSoundBuffer(nullptr, none.Put()), DSERR_INVALIDPARAM);
  ComPtr<IDirectSoundBuffer> effects = Constant(*directSound, 1, 1, 100, DSBCAPS_CTRLFX);
  EXPECT_EQ(directSound->DuplicateSoundBuffer(effects.Get(), none.Put()), DSERR_INVALIDCALL);
}

TEST_F(DirectSoundTest, LockWrapsAroundTheEndOfTheBuffer) {
  ComPtr<IDirectSound8> directSound;
  ASSERT_EQ(Create(directSound), DS_OK);
  ComPtr<IDirectSoundBuffer> buffer = Constant(*directSound, 1, 0, 100);
  void *part1 = nullptr, *part2 = nullptr;
  DWORD bytes1 = 0, bytes2 = 0;
  ASSERT_EQ(buffer->Lock(150, 100, &part1, &bytes1, &part2, &bytes2, 0), DS_OK);
  EXPECT_EQ(bytes1, 50u);
  EXPECT_EQ(bytes2, 50u);
  EXPECT_EQ(static_cast<BYTE*>(part1) - static_cast<BYTE*>(part2), 150);
  EXPECT_EQ(buffer->Unlock(part1, bytes1, part2, bytes2), DS_OK);
  EXPECT_EQ(buffer->Unlock(part1, 51, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(200, 1, &part1, &bytes1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(buffer->Lock(0, 201, &part1, &bytes1, nullptr, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundTest, ComMustBeInitialisedAndKnowsOnlyDirectSound) {
  void* created = nullptr;
  EXPECT_EQ(CoCreateInstance(IID_IDirectSound8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound8, &created),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_DirectSound8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSoundBuffer, &created),
            E_NOINTERFACE);
  EXPECT_EQ(created, nullptr);
  CoUninitialize();
  CoUninitialize();  // the fixture's and the component unit's
  EXPECT_EQ(CoCreateInstance(CLSID_DirectSound8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound8, &created),
            CO_E_NOTINITIALIZED);
  CoInitializeEx(nullptr, 0);
  CoInitializeEx(nullptr, 0);
}

// ---- RIFF reading ----

class MmioTest : public SoundTest {
 protected:
  struct Closer {
    void operator()(MmioFile* file) const { mmioClose(file, 0); }
  };
  std::unique_ptr<MmioFile, Closer> Open(const std::string& bytes) {
    folder.Write("f.riff", bytes);
    return std::unique_ptr<MmioFile, Closer>(mmioOpenA(folder.Game("f.riff").c_str(), nullptr, MMIO_READ | MMIO_ALLOCBUF));
  }
};

TEST_F(MmioTest, DescendFindsChunksInsideTheParentOnly) {
  const std::string inner = Chunk("abcd", "x") + Chunk("LIST", "INFOzz") + Chunk("efgh", "12");
  auto file = Open(Riff("TEST", inner) + Chunk("late", "9"));
  ASSERT_TRUE(file);
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('T', 'E', 'S', 'T');
  ASSERT_EQ(mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.dwDataOffset, 8u);
  MMCKINFO list{};
  list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
  ASSERT_EQ(mmioDescend(file.get(), &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR);
  char data[2] = {};
  EXPECT_EQ(mmioRead(file.get(), data, 2), 2);
  EXPECT_EQ(std::string(data, 2), "zz");
  ASSERT_EQ(mmioAscend(file.get(), &list, 0), MMSYSERR_NOERROR);
  MMCKINFO chunk{};
  chunk.ckid = mmioFOURCC('e', 'f', 'g', 'h');
  ASSERT_EQ(mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR);
  EXPECT_EQ(chunk.cksize, 2u);
  chunk.ckid = mmioFOURCC('l', 'a', 't', 'e');
  mmioSeek(file.get(), 12, SEEK_SET);
  EXPECT_EQ(mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
}

TEST_F(MmioTest, TruncatedHeadersAndReadsStopAtTheEnd) {
  EXPECT_FALSE(Open("") == nullptr);
  MMCKINFO chunk{};
  EXPECT_EQ(mmioDescend(Open("RIFF\x10").get(), &chunk, nullptr, 0), MMIOERR_CHUNKNOTFOUND);
  chunk.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  EXPECT_EQ(mmioDescend(Open(std::string("RIFF\x04\x00\x00\x00WA", 10)).get(), &chunk, nullptr, MMIO_FINDRIFF),
            MMIOERR_CHUNKNOTFOUND);
  auto file = Open("abcdef");
  char buffer[16] = {};
  EXPECT_EQ(mmioRead(file.get(), buffer, 16), 6);
  EXPECT_EQ(mmioRead(file.get(), buffer, 16), 0);
  EXPECT_EQ(mmioRead(file.get(), buffer, -1), -1);
  EXPECT_EQ(mmioOpenA(folder.Game("absent").c_str(), nullptr, MMIO_READ), nullptr);
  EXPECT_EQ(mmioOpenA(folder.Game("").c_str(), nullptr, MMIO_READ), nullptr);  // a folder
  EXPECT_EQ(mmioOpenA(folder.Game("f.riff").c_str(), nullptr, MMIO_WRITE), nullptr);
}

// ---- fuzzing the loader ----

TEST_F(SoundTest, RandomAndMutatedWavesNeverBreakTheLoader) {
  TDDSD& component = StartSound(0);
  const std::string valid = Riff("WAVE", Chunk("LIST", "INFOabc") + Chunk("fmt ", Format(1, 2, 22050, 16)) +
                                             Chunk("data", Pcm16({1, 2, 3, 4, 5, 6, 7, 8})));
  std::mt19937 random(20240611);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = valid;
    if (round % 4 == 0) {
      bytes.resize(random() % 80);
      for (char& byte : bytes) byte = static_cast<char>(random());
    } else {
      const int mutations = 1 + static_cast<int>(random() % 6);
      for (int m = 0; m < mutations; ++m) bytes[random() % bytes.size()] = static_cast<char>(random());
      if (round % 3 == 0) bytes.resize(random() % bytes.size());
    }
    TDDSDWaveData& wave = Load("fuzz.wav", bytes);
    component.Channel(round % 10)->setWaveData(&wave);
    component.Channel(round % 10)->Play();
    headless::AdvanceTime(1);
    waves.clear();
  }
}

}  // namespace
