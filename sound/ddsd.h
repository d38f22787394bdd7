#pragma once
// The sound-effect component: DirectSound, a fixed set of numbered channels, and waves
// loaded from RIFF files. Binding a wave gives a channel its own duplicate of the wave's
// buffer, so every channel starts and stops on its own.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/dsound.h"

enum TDDSDDebugOption : std::uint8_t { dsoHaltOnError = 1, dsoDebugMessage = 2, dsoExceptOnError = 4 };
using TDDSDDebugOptions = std::uint8_t;

class EDDSD : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The logging routine: writes the line to DDSD_DebugLog.txt when logging is on, then raises
// EDDSD when raising is on.
void DDSDLog(const std::string& message);
// A non-zero result is logged with its code and, under halt-on-error, ends the program.
HRESULT DDSDCheckResult(HRESULT result, const std::string& message);

// Writing it also sets the unit-wide error flags, whichever component writes.
class TDDSDDebugOptionProperty {
 public:
  TDDSDDebugOptionProperty& operator=(TDDSDDebugOptions options);
  operator TDDSDDebugOptions() const { return options_; }

 private:
  TDDSDDebugOptions options_ = dsoHaltOnError;
};

class TDDSD;
class TDDSDChannel;

// The 3D parameters of one channel.
class TDDSDParams3D {
 public:
  explicit TDDSDParams3D(TDDSDChannel& channel);
  // Copies `source` (as its channel's 3D buffer holds it, if it has one) and sends it to this
  // channel's 3D buffer, if it has one.
  void Apply(const TDDSDParams3D& source);
  DS3DBUFFER Record;

 private:
  TDDSDChannel& channel_;
};

// The listener of a 3D primary buffer.
class TDDSDListener {
 public:
  explicit TDDSDListener(TDDSD& sound);
  DS3DLISTENER Record;

 private:
  TDDSD& sound_;
};

// A loaded wave: its own buffer and format.
class TDDSDGenWave {
 public:
  virtual ~TDDSDGenWave();
  TDDSDGenWave(const TDDSDGenWave&) = delete;
  TDDSDGenWave& operator=(const TDDSDGenWave&) = delete;

  IDirectSoundBuffer8* Buffer() const { return buffer_.Get(); }
  const WAVEFORMATEX& Format() const { return format_; }
  DWORD BufferSize() const { return bufferSize_; }
  bool Streaming() const { return streaming_; }
  bool UseEffects() const { return useEffects_; }
  // Waves placed in space; none of the kinds here is.
  virtual bool Is3D() const { return false; }
  virtual const TDDSDParams3D* Params3D() const { return nullptr; }

 protected:
  TDDSDGenWave(TDDSD& sound, bool useEffects);
  void LoadWAV(const std::string& fileName, bool use3D);

 private:
  friend class TDDSD;
  friend class TDDSDChannel;

  bool ReadFormat(HMMIO file, const MMCKINFO& chunk, const std::string& fileName);
  void CreateBuffer(DWORD flags);
  void FillBuffer(HMMIO file);

  platform::com::ComPtr<IDirectSoundBuffer8> buffer_;
  WAVEFORMATEX format_{};
  DWORD bufferSize_ = 0;
  TDDSD* sound_;  // nullptr once the component is gone
  bool streaming_ = false;
  bool useEffects_;
  TDDSDChannel* sharedChannel_ = nullptr;
};

// A wave loaded from a file. fileName is Shift-JIS, as the game names files.
class TDDSDWaveData : public TDDSDGenWave {
 public:
  TDDSDWaveData(TDDSD& sound, const std::string& fileName, bool useEffects);
};

class TDDSDChannel {
 public:
  explicit TDDSDChannel(TDDSD& owner);
  ~TDDSDChannel();
  TDDSDChannel(const TDDSDChannel&) = delete;
  TDDSDChannel& operator=(const TDDSDChannel&) = delete;

  // Binds `wave` (or nothing) to this channel.
  void setWaveData(TDDSDGenWave* wave);
  // From the start, once. A channel still sounding starts over.
  void Play();
  void Stop();

  IDirectSoundBuffer8* Buffer() const { return buffer_.Get(); }
  TDDSDGenWave* Wave() const { return wave_; }
  DWORD SampleRate() const { return sampleRate_; }
  bool Shared() const { return shared_; }
  bool Is3D() const { return is3D_; }
  IDirectSound3DBuffer* Buffer3D() const { return buffer3D_.Get(); }
  TDDSDParams3D& Params3D() { return *params3D_; }

 private:
  friend class TDDSDGenWave;
  friend class TDDSD;
  void ReleaseBuffers();
  void TakeBuffer(TDDSDGenWave& wave);

  platform::com::ComPtr<IDirectSoundBuffer8> buffer_;
  platform::com::ComPtr<IDirectSound3DBuffer> buffer3D_;
  bool is3D_ = false;
  TDDSD& owner_;
  DWORD sampleRate_ = 0;
  TDDSDGenWave* wave_ = nullptr;
  std::unique_ptr<TDDSDParams3D> params3D_;
  bool shared_ = false;
};

class TDDSD {
 public:
  explicit TDDSD(TForm& owner);
  ~TDDSD();
  TDDSD(const TDDSD&) = delete;
  TDDSD& operator=(const TDDSD&) = delete;

  TDDSDDebugOptionProperty DebugOption;
  DWORD ChannelCount = 8;  // 0 counts as 1
  bool StickyFocus = true;
  bool Use3D = false;

  // Runs once the owner has set the properties: applies DebugOption, then Initialize.
  void Loaded();
  // Creates the channels, then DirectSound; true when DirectSound is ready. Without an
  // audio device the channels exist but stay silent.
  bool Initialize();
  // nullptr (after reporting) outside 0 .. ChannelCount - 1.
  TDDSDChannel* Channel(std::int32_t index);

  bool Initialized() const { return initialized_; }
  IDirectSound8* DirectSound() const { return directSound_.Get(); }
  IDirectSoundBuffer* PrimaryBuffer() const { return primaryBuffer_.Get(); }
  IDirectSound3DListener* Listener3D() const { return listener3D_.Get(); }
  TDDSDListener* Listener() const { return listener_.get(); }

 private:
  friend class TDDSDGenWave;
  void CreateChannels();
  void CreatePrimaryBuffer();
  void CreateListener();
  void ReleaseInterfaces();
  void Forget(TDDSDGenWave& wave);

  TForm& owner_;
  platform::com::ComPtr<IDirectSound8> directSound_;
  platform::com::ComPtr<IDirectSoundBuffer> primaryBuffer_;
  platform::com::ComPtr<IDirectSound3DListener> listener3D_;
  std::vector<std::unique_ptr<TDDSDChannel>> channels_;
  bool initialized_ = false;
  std::unique_ptr<TDDSDListener> listener_;
  std::vector<TDDSDGenWave*> waves_;  // alive, so that neither side outlives the other unseen
};
