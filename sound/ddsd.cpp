#include "ddsd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"
#include "platform/component_log.h"

namespace {

platform::ComponentLog& UnitLog() {
  static platform::ComponentLog log("DDSD_DebugLog.txt");
  return log;
}

// The process's COM lifetime: this unit starts it and ends it.
struct ComApartment {
  ComApartment() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
  ~ComApartment() { CoUninitialize(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};
const ComApartment comApartment;

constexpr DWORD kWaveBufferFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
constexpr DWORD k3DWaveBufferFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRL3D;
constexpr DWORD kEffectsWaveBufferFlags = DSBCAPS_CTRLFX | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
constexpr DWORD kRecordSize3D = 64;
// The bytes of a PCM format record without its extension size.
constexpr DWORD kShortestFormat = 16;

// A release is an error only when it hands back an error code rather than a count.
template <class Interface>
void ReleaseChecked(platform::com::ComPtr<Interface>& object, const char* message) {
  if (!object) return;
  const ULONG left = object.Reset();
  if (left >= 0x80000000u) DDSDCheckResult(static_cast<HRESULT>(left), message);
}

struct MmioCloser {
  void operator()(MmioFile* file) const { mmioClose(file, 0); }
};
using MmioHandle = std::unique_ptr<MmioFile, MmioCloser>;

// WAVEFORMATEXTENSIBLE: the format record, then valid bits, channel mask and sub-format.
#pragma pack(push, 1)
struct ExtensibleFormat {
  WAVEFORMATEX format;
  WORD validBitsPerSample;
  DWORD channelMask;
  GUID subFormat;
};
#pragma pack(pop)
static_assert(sizeof(ExtensibleFormat) == 40);

// The sub-formats of plain PCM and float share this GUID but for its first word, which is
// the plain format tag.
bool IsPlainSubFormat(const GUID& subFormat) {
  constexpr BYTE kTail[8] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  return subFormat.Data2 == 0x0000 && subFormat.Data3 == 0x0010 && std::memcmp(subFormat.Data4, kTail, 8) == 0 &&
         (subFormat.Data1 == WAVE_FORMAT_PCM || subFormat.Data1 == WAVE_FORMAT_IEEE_FLOAT);
}

// Bytes from the file position to the end of the file.
DWORD BytesLeft(HMMIO file) {
  const LONG here = mmioSeek(file, 0, SEEK_CUR);
  const LONG end = mmioSeek(file, 0, SEEK_END);
  mmioSeek(file, here, SEEK_SET);
  return here >= 0 && end > here ? static_cast<DWORD>(end - here) : 0;
}

}  // namespace

void DDSDLog(const std::string& message) {
  UnitLog().Write(message);
  if (UnitLog().Raises()) throw EDDSD(message);
}

HRESULT DDSDCheckResult(HRESULT result, const std::string& message) {
  if (result == 0) return result;
  const std::string line = platform::ComponentLog::WithErrorCode(message, result);
  DDSDLog(line);
  if (UnitLog().Halts()) UnitLog().Halt(line);
  return result;
}

TDDSDDebugOptionProperty& TDDSDDebugOptionProperty::operator=(TDDSDDebugOptions options) {
  options_ = options;
  UnitLog().SetFlags(options);
  return *this;
}

// ---- 3D parameters ----

TDDSDParams3D::TDDSDParams3D(TDDSDChannel& channel)
    : Record{kRecordSize3D, {0, 0, 0}, {0, 0, 0}, 360, 360, {0, 0, 1.0f}, 0, 5.0f, 100.0f, DS3DMODE_NORMAL},
      channel_(channel) {}

void TDDSDParams3D::Apply(const TDDSDParams3D& source) {
  Record = source.Record;
  if (IDirectSound3DBuffer* from = source.channel_.Buffer3D()) from->GetAllParameters(&Record);
  if (IDirectSound3DBuffer* to = channel_.Buffer3D()) to->SetAllParameters(&Record, DS3D_IMMEDIATE);
}

TDDSDListener::TDDSDListener(TDDSD& sound)
    : Record{kRecordSize3D, {0, 0, 0}, {0, 0, 0}, {0, 0, 1.0f}, {0, 1.0f, 0}, 1.0f, 1.0f, 1.0f}, sound_(sound) {
  if (IDirectSound3DListener* listener = sound_.Listener3D()) {
    DDSDCheckResult(listener->SetAllParameters(&Record, DS3D_IMMEDIATE), "Listenerに指定されたパラメータが不適切です");
  }
}

// ---- waves ----

TDDSDGenWave::TDDSDGenWave(TDDSD& sound, bool useEffects) : sound_(&sound), useEffects_(useEffects) {
  sound.waves_.push_back(this);
}

TDDSDGenWave::~TDDSDGenWave() {
  ReleaseChecked(buffer_, "二次バッファの解放に失敗しました");
  if (sound_ != nullptr) sound_->Forget(*this);
}

bool TDDSDGenWave::ReadFormat(HMMIO file, const MMCKINFO& chunk, const std::string& fileName) {
  ExtensibleFormat read{};
  const LONG wanted = static_cast<LONG>(std::min<DWORD>(chunk.cksize, sizeof read));
  if (mmioRead(file, reinterpret_cast<char*>(&read), wanted) < wanted || chunk.cksize < kShortestFormat) {
    DDSDLog(fileName + "のfmtチャンクが不正です");
    return false;
  }
  format_ = read.format;
  if (chunk.cksize < sizeof(WAVEFORMATEX)) format_.cbSize = 0;
  // An extensible record of plain samples is read as the plain format it describes.
  if (format_.wFormatTag == WAVE_FORMAT_EXTENSIBLE && wanted == sizeof read && IsPlainSubFormat(read.subFormat)) {
    format_.wFormatTag = static_cast<WORD>(read.subFormat.Data1);
    format_.cbSize = 0;
  }
  return true;
}

void TDDSDGenWave::CreateBuffer(DWORD flags) {
  DSBUFFERDESC description{DSBUFFERDESC_SIZE32, flags, bufferSize_, 0, &format_, {}};
  IDirectSoundBuffer* first = nullptr;
  DDSDCheckResult(sound_->DirectSound()->CreateSoundBuffer(&description, &first, nullptr), "サウンドバッファの作成に失敗しました");
  platform::com::ComPtr<IDirectSoundBuffer> created(first);
  if (!created) return;
  DDSDCheckResult(created->QueryInterface(IID_IDirectSoundBuffer8, buffer_.Put()), "サウンドバッファのQueryInterfaceで失敗しました");
}

void TDDSDGenWave::FillBuffer(HMMIO file) {
  void* part1 = nullptr;
  void* part2 = nullptr;
  DWORD bytes1 = 0, bytes2 = 0;
  if (DDSDCheckResult(buffer_->Lock(0, bufferSize_, &part1, &bytes1, &part2, &bytes2, 0),
                      "LoadWAV中に、サウンドバッファのロックが失敗しました") != DS_OK) {
    return;
  }
  mmioRead(file, static_cast<char*>(part1), static_cast<LONG>(bytes1));
  if (bytes2 != 0) mmioRead(file, static_cast<char*>(part2), static_cast<LONG>(bytes2));
  DDSDCheckResult(buffer_->Unlock(part1, bytes1, part2, bytes2), "LoadWAV中に、サウンドバッファのアンロックが失敗しました");
}

void TDDSDGenWave::LoadWAV(const std::string& fileName, bool use3D) {
  streaming_ = false;
  if (sound_ == nullptr || !sound_->Initialized()) return;
  const std::string shownName = platform::Cp932ToUtf8(fileName);
  MmioHandle file(mmioOpenA(fileName.c_str(), nullptr, MMIO_READ | MMIO_ALLOCBUF));
  if (!file) return DDSDLog(shownName + "が、見つかりません");
  MMCKINFO riff{};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
    return DDSDLog(shownName + "は、WAVEファイルではありません");
  }
  MMCKINFO chunk{};
  chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
    return DDSDLog(shownName + "には、fmtチャンクが有りません");
  }
  if (!ReadFormat(file.get(), chunk, shownName)) return;
  mmioAscend(file.get(), &chunk, 0);
  MMCKINFO data{};
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file.get(), &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
    return DDSDLog(shownName + "には、dataチャンクが有りません");
  }
  // A size beyond the end of the file would only be silence, and could be gigabytes of it.
  bufferSize_ = std::min(data.cksize, BytesLeft(file.get()));
  DWORD flags = use3D ? k3DWaveBufferFlags : kWaveBufferFlags;
  if (useEffects_) flags = kEffectsWaveBufferFlags;
  if (sound_->StickyFocus) flags |= DSBCAPS_STICKYFOCUS;
  CreateBuffer(flags);
  if (!buffer_) return;
  FillBuffer(file.get());
  buffer_->SetFrequency(format_.nSamplesPerSec);
}

TDDSDWaveData::TDDSDWaveData(TDDSD& sound, const std::string& fileName, bool useEffects)
    : TDDSDGenWave(sound, useEffects) {
  LoadWAV(fileName, false);
}

// ---- channels ----

TDDSDChannel::TDDSDChannel(TDDSD& owner) : owner_(owner), params3D_(std::make_unique<TDDSDParams3D>(*this)) {}

TDDSDChannel::~TDDSDChannel() { ReleaseBuffers(); }

void TDDSDChannel::ReleaseBuffers() {
  if (wave_ != nullptr && wave_->sharedChannel_ == this) wave_->sharedChannel_ = nullptr;
  buffer3D_.Reset();
  buffer_.Reset();
  shared_ = false;
}

void TDDSDChannel::TakeBuffer(TDDSDGenWave& wave) {
  if (wave.Streaming() || wave.UseEffects()) {
    // Such buffers cannot be duplicated: the channel plays the wave's own.
    wave.buffer_->AddRef();
    buffer_.Adopt(wave.buffer_.Get());
    wave.sharedChannel_ = this;
    return;
  }
  IDirectSoundBuffer* duplicate = nullptr;
  DDSDCheckResult(owner_.DirectSound()->DuplicateSoundBuffer(wave.Buffer(), &duplicate),
                  "setWaveData サウンドバッファの複製に失敗しました");
  platform::com::ComPtr<IDirectSoundBuffer> first(duplicate);
  if (!first) return;
  DDSDCheckResult(first->QueryInterface(IID_IDirectSoundBuffer8, buffer_.Put()), "setWaveData QueryInterfaceに失敗しました");
}

void TDDSDChannel::setWaveData(TDDSDGenWave* wave) {
  if (!owner_.Initialized()) return;
  if (shared_) {
    if (wave == wave_) return;
    if (buffer_) buffer_->Stop();
  }
  ReleaseBuffers();
  wave_ = wave;
  is3D_ = false;
  // A wave whose file did not load leaves the channel silent.
  if (wave == nullptr || wave->Buffer() == nullptr) return;
  TakeBuffer(*wave);
  shared_ = wave->Streaming();
  if (wave->Is3D() && buffer_) {
    is3D_ = true;
    DDSDCheckResult(buffer_->QueryInterface(IID_IDirectSound3DBuffer, buffer3D_.Put()),
                    "setWaveData 3Dサウンドバッファの作成に失敗しました");
    if (const TDDSDParams3D* params = wave->Params3D()) params3D_->Apply(*params);
  }
  sampleRate_ = wave->Format().nSamplesPerSec;
}

void TDDSDChannel::Play() {
  if (!buffer_) return;
  buffer_->SetCurrentPosition(0);
  buffer_->Play(0, 0, 0);
}

void TDDSDChannel::Stop() {
  if (buffer_) buffer_->Stop();
}

// ---- the component ----

TDDSD::TDDSD(TForm& owner) : owner_(owner) {
  DebugOption = dsoHaltOnError;
  UnitLog().SetExeName(owner.Application.ExeName());
}

TDDSD::~TDDSD() {
  channels_.clear();
  listener_.reset();
  ReleaseInterfaces();
  for (TDDSDGenWave* wave : waves_) wave->sound_ = nullptr;
}

void TDDSD::ReleaseInterfaces() {
  ReleaseChecked(listener3D_, "DirectSound3D Listnerの解放に失敗しました");
  ReleaseChecked(primaryBuffer_, "一次バッファの解放に失敗しました");
  ReleaseChecked(directSound_, "DirectSoundの解放に失敗しました");
}

void TDDSD::Forget(TDDSDGenWave& wave) {
  std::erase(waves_, &wave);
  for (auto& channel : channels_) {
    if (channel->wave_ == &wave) channel->wave_ = nullptr;
  }
}

void TDDSD::Loaded() {
  DebugOption = TDDSDDebugOptions{DebugOption};
  Initialize();
}

void TDDSD::CreateChannels() {
  channels_.clear();
  const DWORD count = std::max<DWORD>(ChannelCount, 1);
  channels_.reserve(count);
  for (DWORD i = 0; i < count; ++i) channels_.push_back(std::make_unique<TDDSDChannel>(*this));
}

void TDDSD::CreatePrimaryBuffer() {
  const DWORD flags = Use3D ? DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D : DSBCAPS_PRIMARYBUFFER;
  DSBUFFERDESC description{DSBUFFERDESC_SIZE32, flags, 0, 0, nullptr, {}};
  DDSDCheckResult(directSound_->CreateSoundBuffer(&description, primaryBuffer_.Put(), nullptr), "一次バッファの作成に失敗しました");
}

void TDDSD::CreateListener() {
  if (!primaryBuffer_) return;
  DDSDCheckResult(primaryBuffer_->QueryInterface(IID_IDirectSound3DListener, listener3D_.Put()),
                  "DirectSound3D Listenerの作成に失敗しました");
  listener_.reset();
  listener_ = std::make_unique<TDDSDListener>(*this);
}

bool TDDSD::Initialize() {
  CreateChannels();
  listener_.reset();
  ReleaseInterfaces();
  initialized_ = false;
  void* created = nullptr;
  if (CoCreateInstance(CLSID_DirectSound8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound8, &created) != S_OK) return false;
  directSound_.Adopt(static_cast<IDirectSound8*>(created));
  if (directSound_->Initialize(nullptr) != DS_OK) return false;
  initialized_ = true;
  DDSDCheckResult(directSound_->SetCooperativeLevel(owner_.Handle(), DSSCL_PRIORITY), "DirectSoundの協調レベルの設定に失敗しました");
  CreatePrimaryBuffer();
  if (Use3D) CreateListener();
  return true;
}

TDDSDChannel* TDDSD::Channel(std::int32_t index) {
  const auto count = static_cast<std::int64_t>(channels_.size());
  if (index >= 0 && index < count) return channels_[static_cast<std::size_t>(index)].get();
  char message[160];
  std::snprintf(message, sizeof message, "チャンネル番号%dは無効です、%d～%dの範囲で指定してください", index, 0,
                static_cast<int>(count - 1));
  DDSDLog(message);
  if (UnitLog().Halts()) UnitLog().Halt(message);
  return nullptr;
}
