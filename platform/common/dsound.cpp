// DirectSound over the program's mixer. Every secondary buffer is a mixer source for its
// whole life, so starting one never allocates; the audio thread reads the playback state
// under the mixer's lock and the caller changes it under the same lock.
#include "backend.h"
#include "platform/dsound.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/audio.h"

namespace {

using platform::audio::kChannels;
using platform::audio::kSampleRate;
using platform::audio::Mixer;
using platform::com::IUnknown;

// ---- sample formats ----

using FrameReader = void (*)(const BYTE* frame, float& left, float& right);

float Unsigned8(const BYTE* sample) { return (static_cast<int>(sample[0]) - 128) / 128.0f; }
float Signed16(const BYTE* sample) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(sample[0] | (sample[1] << 8))) / 32768.0f;
}
float Signed24(const BYTE* sample) {
  const auto bits = static_cast<std::uint32_t>(sample[0] << 8 | sample[1] << 16 | static_cast<std::uint32_t>(sample[2]) << 24);
  return static_cast<float>(static_cast<std::int32_t>(bits) / 2147483648.0);
}
float Signed32(const BYTE* sample) {
  std::int32_t value = 0;
  std::memcpy(&value, sample, sizeof value);
  return static_cast<float>(value / 2147483648.0);
}
float Float32(const BYTE* sample) {
  float value = 0;
  std::memcpy(&value, sample, sizeof value);
  return value;
}

template <float (*Decode)(const BYTE*), int kBytes>
void ReadMono(const BYTE* frame, float& left, float& right) {
  left = right = Decode(frame);
}
template <float (*Decode)(const BYTE*), int kBytes>
void ReadStereo(const BYTE* frame, float& left, float& right) {
  left = Decode(frame);
  right = Decode(frame + kBytes);
}

template <float (*Decode)(const BYTE*), int kBytes>
FrameReader ReaderFor(WORD channels) {
  return channels == 1 ? &ReadMono<Decode, kBytes> : &ReadStereo<Decode, kBytes>;
}

// nullptr for formats a secondary buffer cannot hold.
FrameReader ChooseReader(const WAVEFORMATEX& format) {
  if (format.nChannels < 1 || format.nChannels > 2) return nullptr;
  if (format.nSamplesPerSec < DSBFREQUENCY_MIN || format.nSamplesPerSec > DSBFREQUENCY_MAX) return nullptr;
  if (format.nBlockAlign != format.nChannels * format.wBitsPerSample / 8) return nullptr;
  if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
    return format.wBitsPerSample == 32 ? ReaderFor<Float32, 4>(format.nChannels) : nullptr;
  }
  if (format.wFormatTag != WAVE_FORMAT_PCM) return nullptr;
  switch (format.wBitsPerSample) {
    case 8: return ReaderFor<Unsigned8, 1>(format.nChannels);
    case 16: return ReaderFor<Signed16, 2>(format.nChannels);
    case 24: return ReaderFor<Signed24, 3>(format.nChannels);
    case 32: return ReaderFor<Signed32, 4>(format.nChannels);
    default: return nullptr;
  }
}

float DecibelsToGain(LONG hundredths) { return std::pow(10.0f, static_cast<float>(hundredths) / 2000.0f); }

constexpr DS3DBUFFER kDefault3DBuffer{sizeof(DS3DBUFFER), {0, 0, 0}, {0, 0, 0}, 360, 360, {0, 0, 1.0f}, 0, 1.0f, 1.0e9f,
                                      DS3DMODE_NORMAL};
constexpr DS3DLISTENER kDefaultListener{sizeof(DS3DLISTENER), {0, 0, 0}, {0, 0, 0}, {0, 0, 1.0f}, {0, 1.0f, 0},
                                        1.0f, 1.0f, 1.0f};

template <class Record>
HRESULT StoreParameters(Record& stored, const Record* given, DWORD apply) {
  if (given == nullptr || given->dwSize != sizeof(Record) || apply > DS3D_DEFERRED) return DSERR_INVALIDPARAM;
  stored = *given;
  return DS_OK;
}

template <class Record>
HRESULT LoadParameters(const Record& stored, Record* wanted) {
  if (wanted == nullptr) return DSERR_INVALIDPARAM;
  *wanted = stored;
  return DS_OK;
}

// ---- secondary buffers ----

// The samples of one wave, shared by a buffer and its duplicates.
struct Samples {
  std::vector<BYTE> bytes;
  WAVEFORMATEX format;
};

class SecondaryBuffer final : public IDirectSoundBuffer8, public IDirectSound3DBuffer, public platform::audio::Source {
 public:
  SecondaryBuffer(std::shared_ptr<Samples> samples, DWORD flags)
      : samples_(std::move(samples)),
        flags_(flags),
        reader_(ChooseReader(samples_->format)),
        blockAlign_(samples_->format.nBlockAlign),
        frames_(static_cast<DWORD>(samples_->bytes.size() / blockAlign_)),
        frequency_(samples_->format.nSamplesPerSec) {
    Mixer::Instance().Add(this);
  }
  ~SecondaryBuffer() override {
    Mixer::Instance().Remove(this);
    platform::backend::TraceRelease("ReleaseSoundBuffer", static_cast<IDirectSoundBuffer8*>(this));
  }

  // A duplicate: the same samples and settings, stopped at the start.
  SecondaryBuffer* Duplicate() const {
    auto lock = Mixer::Instance().Lock();
    auto* copy = new SecondaryBuffer(samples_, flags_);
    copy->volume_ = volume_;
    copy->pan_ = pan_;
    copy->frequency_ = frequency_;
    copy->UpdateGains();
    return copy;
  }
  bool HasEffects() const { return (flags_ & DSBCAPS_CTRLFX) != 0; }

  HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override;
  HRESULT GetStatus(DWORD* status) override;
  HRESULT GetVolume(LONG* volume) override { return Get(DSBCAPS_CTRLVOLUME, volume_, volume); }
  HRESULT GetPan(LONG* pan) override { return Get(DSBCAPS_CTRLPAN, pan_, pan); }
  HRESULT GetFrequency(DWORD* frequency) override { return Get(DSBCAPS_CTRLFREQUENCY, frequency_, frequency); }
  HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2, DWORD flags) override;
  HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) override;
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;
  HRESULT Stop() override;
  HRESULT SetCurrentPosition(DWORD position) override;
  HRESULT SetVolume(LONG volume) override;
  HRESULT SetPan(LONG pan) override;
  HRESULT SetFrequency(DWORD frequency) override;

  HRESULT GetAllParameters(DS3DBUFFER* parameters) override { return LoadParameters(parameters3D_, parameters); }
  HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) override {
    return StoreParameters(parameters3D_, parameters, apply);
  }

  void MixInto(float* mix, int frames) override;

 protected:
  void* Interface(REFIID iid) override {
    if (iid == IID_IDirectSoundBuffer) return static_cast<IDirectSoundBuffer*>(this);
    if (iid == IID_IDirectSoundBuffer8) return static_cast<IDirectSoundBuffer8*>(this);
    if (iid == IID_IDirectSound3DBuffer && (flags_ & DSBCAPS_CTRL3D) != 0) return static_cast<IDirectSound3DBuffer*>(this);
    return nullptr;
  }

 private:
  static constexpr int kFractionBits = 32;

  template <class Value>
  HRESULT Get(DWORD control, const Value& stored, Value* wanted) const {
    if (wanted == nullptr) return DSERR_INVALIDPARAM;
    if ((flags_ & control) == 0) return DSERR_CONTROLUNAVAIL;
    auto lock = Mixer::Instance().Lock();
    *wanted = stored;
    return DS_OK;
  }
  DWORD SizeInBytes() const { return static_cast<DWORD>(samples_->bytes.size()); }
  DWORD PlayFrame() const { return static_cast<DWORD>(position_ >> kFractionBits); }
  void UpdateGains();
  bool WrapOrEnd();

  std::shared_ptr<Samples> samples_;
  DWORD flags_;
  FrameReader reader_;
  DWORD blockAlign_;
  DWORD frames_;
  LONG volume_ = DSBVOLUME_MAX;
  LONG pan_ = DSBPAN_CENTER;
  DWORD frequency_;
  float leftGain_ = 1.0f, rightGain_ = 1.0f;
  std::uint64_t position_ = 0;  // in frames, 32 fraction bits
  bool playing_ = false, looping_ = false;
  DS3DBUFFER parameters3D_ = kDefault3DBuffer;
};

HRESULT SecondaryBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) {
  auto lock = Mixer::Instance().Lock();
  const DWORD play = PlayFrame() * blockAlign_;
  if (playCursor != nullptr) *playCursor = play;
  if (writeCursor != nullptr) *writeCursor = play;
  return DS_OK;
}

HRESULT SecondaryBuffer::GetStatus(DWORD* status) {
  if (status == nullptr) return DSERR_INVALIDPARAM;
  auto lock = Mixer::Instance().Lock();
  *status = (playing_ ? DSBSTATUS_PLAYING : 0) | (playing_ && looping_ ? DSBSTATUS_LOOPING : 0);
  return DS_OK;
}

HRESULT SecondaryBuffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                              DWORD flags) {
  if (part1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
  const DWORD size = SizeInBytes();
  if ((flags & DSBLOCK_ENTIREBUFFER) != 0) bytes = size;
  if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) GetCurrentPosition(nullptr, &offset);
  if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
  BYTE* data = samples_->bytes.data();
  const DWORD first = std::min(bytes, size - offset);
  *part1 = data + offset;
  *bytes1 = first;
  const DWORD wrapped = bytes - first;
  if (part2 != nullptr) *part2 = wrapped > 0 ? data : nullptr;
  if (bytes2 != nullptr) *bytes2 = part2 != nullptr ? wrapped : 0;
  return DS_OK;
}

HRESULT SecondaryBuffer::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) {
  const BYTE* begin = samples_->bytes.data();
  const BYTE* end = begin + samples_->bytes.size();
  const auto inside = [&](const void* part, DWORD bytes) {
    const auto* at = static_cast<const BYTE*>(part);
    return part == nullptr ? bytes == 0 : at >= begin && at <= end && bytes <= static_cast<std::size_t>(end - at);
  };
  return part1 != nullptr && inside(part1, bytes1) && inside(part2, bytes2) ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT SecondaryBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
  if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
  auto lock = Mixer::Instance().Lock();
  // A buffer that is already playing goes on from where it is.
  playing_ = frames_ > 0 && reader_ != nullptr;
  looping_ = (flags & DSBPLAY_LOOPING) != 0;
  return DS_OK;
}

HRESULT SecondaryBuffer::Stop() {
  auto lock = Mixer::Instance().Lock();
  playing_ = false;
  return DS_OK;
}

HRESULT SecondaryBuffer::SetCurrentPosition(DWORD position) {
  if (position >= SizeInBytes()) return DSERR_INVALIDPARAM;
  auto lock = Mixer::Instance().Lock();
  position_ = std::uint64_t{position / blockAlign_} << kFractionBits;
  return DS_OK;
}

void SecondaryBuffer::UpdateGains() {
  const float gain = DecibelsToGain(volume_);
  leftGain_ = gain * (pan_ > 0 ? DecibelsToGain(-pan_) : 1.0f);
  rightGain_ = gain * (pan_ < 0 ? DecibelsToGain(pan_) : 1.0f);
}

HRESULT SecondaryBuffer::SetVolume(LONG volume) {
  if ((flags_ & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  auto lock = Mixer::Instance().Lock();
  volume_ = volume;
  UpdateGains();
  return DS_OK;
}

HRESULT SecondaryBuffer::SetPan(LONG pan) {
  if ((flags_ & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  auto lock = Mixer::Instance().Lock();
  pan_ = pan;
  UpdateGains();
  return DS_OK;
}

HRESULT SecondaryBuffer::SetFrequency(DWORD frequency) {
  if ((flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
  if (frequency == DSBFREQUENCY_ORIGINAL) frequency = samples_->format.nSamplesPerSec;
  if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  auto lock = Mixer::Instance().Lock();
  frequency_ = frequency;
  return DS_OK;
}

// At the end a looping buffer starts over; a one-shot buffer stops and rewinds.
bool SecondaryBuffer::WrapOrEnd() {
  const std::uint64_t length = std::uint64_t{frames_} << kFractionBits;
  if (position_ < length) return true;
  if (looping_) {
    position_ %= length;
    return true;
  }
  playing_ = false;
  position_ = 0;
  return false;
}

void SecondaryBuffer::MixInto(float* mix, int frames) {
  if (!playing_) return;
  const std::uint64_t step = (std::uint64_t{frequency_} << kFractionBits) / kSampleRate;
  const BYTE* data = samples_->bytes.data();
  for (int i = 0; i < frames && WrapOrEnd(); ++i) {
    const DWORD index = PlayFrame();
    const DWORD next = index + 1 < frames_ ? index + 1 : looping_ ? 0 : index;
    float left = 0, right = 0, nextLeft = 0, nextRight = 0;
    reader_(data + std::size_t{index} * blockAlign_, left, right);
    reader_(data + std::size_t{next} * blockAlign_, nextLeft, nextRight);
    const float t = static_cast<float>(position_ & 0xFFFFFFFFu) / 4294967296.0f;
    mix[i * kChannels] += (left + (nextLeft - left) * t) * leftGain_;
    mix[i * kChannels + 1] += (right + (nextRight - right) * t) * rightGain_;
    position_ += step;
  }
}

// ---- the primary buffer ----

// Only a handle on the device's output: it holds no samples of its own here.
class PrimaryBuffer final : public IDirectSoundBuffer, public IDirectSound3DListener {
 public:
  explicit PrimaryBuffer(DWORD flags) : flags_(flags) {}

  HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override {
    if (playCursor != nullptr) *playCursor = 0;
    if (writeCursor != nullptr) *writeCursor = 0;
    return DS_OK;
  }
  HRESULT GetStatus(DWORD* status) override { return LoadParameters(DSBSTATUS_PLAYING, status); }
  HRESULT GetVolume(LONG* volume) override { return LoadParameters(DSBVOLUME_MAX, volume); }
  HRESULT GetPan(LONG* pan) override { return LoadParameters(DSBPAN_CENTER, pan); }
  HRESULT GetFrequency(DWORD*) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT Lock(DWORD, DWORD, void**, DWORD*, void**, DWORD*, DWORD) override { return DSERR_PRIOLEVELNEEDED; }
  HRESULT Unlock(void*, DWORD, void*, DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override {
    return reserved == 0 && priority == 0 && (flags & DSBPLAY_LOOPING) != 0 ? DS_OK : DSERR_INVALIDPARAM;
  }
  HRESULT Stop() override { return DS_OK; }
  HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
  HRESULT SetVolume(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT SetPan(LONG) override { return DSERR_CONTROLUNAVAIL; }
  HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }

  HRESULT GetAllParameters(DS3DLISTENER* parameters) override { return LoadParameters(listener_, parameters); }
  HRESULT SetAllParameters(const DS3DLISTENER* parameters, DWORD apply) override {
    return StoreParameters(listener_, parameters, apply);
  }

 protected:
  void* Interface(REFIID iid) override {
    if (iid == IID_IDirectSoundBuffer) return static_cast<IDirectSoundBuffer*>(this);
    if (iid == IID_IDirectSound3DListener && (flags_ & DSBCAPS_CTRL3D) != 0) return static_cast<IDirectSound3DListener*>(this);
    return nullptr;
  }

 private:
  DWORD flags_;
  DS3DLISTENER listener_ = kDefaultListener;
};

// ---- the DirectSound object ----

constexpr DWORD kSecondaryControls = DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE | DSBCAPS_CTRL3D |
                                     DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME |
                                     DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLFX | DSBCAPS_STICKYFOCUS |
                                     DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;

bool ValidDescriptionSize(DWORD size) { return size == DSBUFFERDESC_SIZE32 || size == sizeof(DSBUFFERDESC); }

HRESULT CheckSecondary(const DSBUFFERDESC& description) {
  if ((description.dwFlags & ~kSecondaryControls) != 0 || description.lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
  if (description.dwBufferBytes < DSBSIZE_MIN || description.dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
  const WAVEFORMATEX& format = *description.lpwfxFormat;
  if (ChooseReader(format) == nullptr) return DSERR_BADFORMAT;
  // A sound placed in space comes from one point, and is not also panned.
  const bool positioned = (description.dwFlags & DSBCAPS_CTRL3D) != 0;
  if (positioned && (format.nChannels != 1 || (description.dwFlags & DSBCAPS_CTRLPAN) != 0)) return DSERR_INVALIDPARAM;
  return DS_OK;
}

class DirectSound final : public IDirectSound8 {
 public:
  HRESULT Initialize(const GUID* device) override {
    if (initialized_) return DSERR_ALREADYINITIALIZED;
    if (device != nullptr || !platform::audio::OutputAvailable()) return DSERR_NODRIVER;
    initialized_ = true;
    return DS_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
    if (!initialized_) return DSERR_UNINITIALIZED;
    if (window == nullptr || level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    level_ = level;
    return DS_OK;
  }

  HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, IUnknown* outer) override {
    if (buffer == nullptr || description == nullptr || !ValidDescriptionSize(description->dwSize)) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer != nullptr) return DSERR_NOAGGREGATION;
    if (!initialized_) return DSERR_UNINITIALIZED;
    if (level_ == 0) return DSERR_PRIOLEVELNEEDED;
    try {
      return (description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0 ? CreatePrimary(*description, buffer)
                                                                  : CreateSecondary(*description, buffer);
    } catch (const std::bad_alloc&) {
      return DSERR_OUTOFMEMORY;
    }
  }

  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override {
    if (duplicate == nullptr) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    if (!initialized_) return DSERR_UNINITIALIZED;
    if (original == nullptr) return DSERR_INVALIDPARAM;
    const auto* secondary = dynamic_cast<const SecondaryBuffer*>(original);
    if (secondary == nullptr || secondary->HasEffects()) return DSERR_INVALIDCALL;
    try {
      *duplicate = static_cast<IDirectSoundBuffer8*>(secondary->Duplicate());
    } catch (const std::bad_alloc&) {
      return DSERR_OUTOFMEMORY;
    }
    return DS_OK;
  }

 protected:
  void* Interface(REFIID iid) override { return iid == IID_IDirectSound8 ? static_cast<IDirectSound8*>(this) : nullptr; }

 private:
  static HRESULT CreatePrimary(const DSBUFFERDESC& description, IDirectSoundBuffer** buffer) {
    const DWORD allowed = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                          DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE | DSBCAPS_STICKYFOCUS | DSBCAPS_GLOBALFOCUS;
    if ((description.dwFlags & ~allowed) != 0 || description.dwBufferBytes != 0 || description.lpwfxFormat != nullptr) {
      return DSERR_INVALIDPARAM;
    }
    *buffer = static_cast<IDirectSoundBuffer*>(new PrimaryBuffer(description.dwFlags));
    return DS_OK;
  }

  static HRESULT CreateSecondary(const DSBUFFERDESC& description, IDirectSoundBuffer** buffer) {
    if (const HRESULT result = CheckSecondary(description); result != DS_OK) return result;
    auto samples = std::make_shared<Samples>();
    samples->format = *description.lpwfxFormat;
    samples->bytes.assign(description.dwBufferBytes, samples->format.wBitsPerSample == 8 ? 0x80 : 0x00);
    *buffer = static_cast<IDirectSoundBuffer8*>(new SecondaryBuffer(std::move(samples), description.dwFlags));
    return DS_OK;
  }

  bool initialized_ = false;
  DWORD level_ = 0;
};

}  // namespace

namespace platform::dsound {

// The class object behind CoCreateInstance(CLSID_DirectSound8).
HRESULT CreateInstance(REFIID iid, void** object) {
  platform::com::ComPtr<IDirectSound8> created;
  try {
    created.Adopt(new DirectSound);
  } catch (const std::bad_alloc&) {
    return DSERR_OUTOFMEMORY;
  }
  return created->QueryInterface(iid, object);
}

}  // namespace platform::dsound
