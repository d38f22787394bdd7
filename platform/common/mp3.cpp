// The MP3 player: files open and scan on the caller's thread, decoding happens on demand
// inside the mixer, so no operation blocks for longer than one scan of the file.
#include <mpg123.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backend.h"
#include "platform/audio.h"
#include "platform/files.h"
#include "platform/vbmp3.h"

namespace {

using platform::audio::kChannels;
using platform::audio::kSampleRate;
using platform::audio::Mixer;

struct HandleDeleter {
  void operator()(mpg123_handle* handle) const {
    mpg123_close(handle);
    mpg123_delete(handle);
  }
};
using Mpg123Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

// Every rate and channel count the decoder knows, as 16-bit samples: the stream keeps its
// own format and we resample, rather than letting the decoder pick one for us. Quiet, since
// a broken file would otherwise print on the game's terminal.
bool Configure(mpg123_handle* handle) {
  if (mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0) != MPG123_OK) return false;
  if (mpg123_format_none(handle) != MPG123_OK) return false;
  const long* rates = nullptr;
  std::size_t count = 0;
  mpg123_rates(&rates, &count);
  for (std::size_t i = 0; i < count; ++i) {
    mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  return true;
}

// One open file and its position, resampled to the mixer's rate.
class Mp3Stream {
 public:
  static std::unique_ptr<Mp3Stream> Open(const std::string& path);

  std::int32_t LengthSeconds() const { return lengthSeconds_; }
  void Rewind();
  // Adds up to `frames` frames; false once the file has ended.
  bool MixInto(float* mix, int frames);

 private:
  explicit Mp3Stream(Mpg123Handle handle) : handle_(std::move(handle)) {}
  bool ReadFormat();
  bool Scan();
  bool Decode();
  void Append(std::size_t bytes);
  void DropConsumed();

  Mpg123Handle handle_;
  long rate_ = kSampleRate;
  int channels_ = 2;
  std::int32_t lengthSeconds_ = 0;
  std::array<std::int16_t, 8192> raw_{};
  std::vector<float> frames_;  // decoded stereo frames not yet passed
  double cursor_ = 0.0;        // position in frames_, in source frames
  bool ended_ = false;
};

std::unique_ptr<Mp3Stream> Mp3Stream::Open(const std::string& path) {
  Mpg123Handle handle(mpg123_new(nullptr, nullptr));
  if (!handle || !Configure(handle.get())) return nullptr;
  if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) return nullptr;
  std::unique_ptr<Mp3Stream> stream(new Mp3Stream(std::move(handle)));
  if (!stream->ReadFormat() || !stream->Scan()) return nullptr;
  return stream;
}

bool Mp3Stream::ReadFormat() {
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (mpg123_getformat(handle_.get(), &rate, &channels, &encoding) != MPG123_OK) return false;
  if (rate <= 0 || channels < 1 || channels > 2) return false;
  rate_ = rate;
  channels_ = channels;
  return true;
}

// Without a full scan the length of a VBR file without a header would be a guess.
bool Mp3Stream::Scan() {
  if (mpg123_scan(handle_.get()) != MPG123_OK) return false;
  const off_t samples = mpg123_length(handle_.get());
  if (samples < 0) return false;
  lengthSeconds_ = static_cast<std::int32_t>(samples / rate_);
  Rewind();
  return true;
}

void Mp3Stream::Rewind() {
  mpg123_seek(handle_.get(), 0, SEEK_SET);
  frames_.clear();
  cursor_ = 0.0;
  ended_ = false;
}

void Mp3Stream::Append(std::size_t bytes) {
  const std::size_t samples = bytes / sizeof(std::int16_t);
  for (std::size_t i = 0; i + channels_ <= samples; i += channels_) {
    const float left = raw_[i] / 32768.0f;
    const float right = channels_ == 2 ? raw_[i + 1] / 32768.0f : left;
    frames_.push_back(left);
    frames_.push_back(right);
  }
}

// Appends at least one frame, or returns false at the end of the file (or on an error,
// which for playback is the same thing).
bool Mp3Stream::Decode() {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::size_t done = 0;
    const int result = mpg123_read(handle_.get(), raw_.data(), sizeof(raw_), &done);
    Append(done);
    if (result == MPG123_NEW_FORMAT && !ReadFormat()) return false;
    if (done > 0) return true;
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) return false;
  }
  return false;
}

void Mp3Stream::DropConsumed() {
  const auto whole = static_cast<std::size_t>(cursor_);
  frames_.erase(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(whole * 2));
  cursor_ -= static_cast<double>(whole);
}

bool Mp3Stream::MixInto(float* mix, int frames) {
  const double step = static_cast<double>(rate_) / kSampleRate;
  for (int i = 0; i < frames; ++i) {
    const auto index = static_cast<std::size_t>(cursor_);
    while (!ended_ && (index + 2) * 2 > frames_.size()) ended_ = !Decode();
    if ((index + 2) * 2 > frames_.size()) break;
    const float t = static_cast<float>(cursor_ - static_cast<double>(index));
    const float* a = &frames_[index * 2];
    mix[i * kChannels] += a[0] + (a[2] - a[0]) * t;
    mix[i * kChannels + 1] += a[1] + (a[3] - a[1]) * t;
    cursor_ += step;
  }
  DropConsumed();
  return !ended_ || (static_cast<std::size_t>(cursor_) + 2) * 2 <= frames_.size();
}

void WriteLength(void* info, std::int32_t seconds) {
  auto* record = static_cast<std::uint8_t*>(info);
  std::memset(record, 0, kVbmp3InfoSize);
  const auto bits = static_cast<std::uint32_t>(seconds);
  for (int i = 0; i < 4; ++i) {
    record[kVbmp3LengthOffset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
}

class Mp3Player final : public platform::audio::Source {
 public:
  Mp3Player() {
    mpg123_init();
    Mixer::Instance().Add(this);
  }
  ~Mp3Player() override {
    Mixer::Instance().Remove(this);
    stream_.reset();
    mpg123_exit();
  }
  Mp3Player(const Mp3Player&) = delete;
  Mp3Player& operator=(const Mp3Player&) = delete;

  bool Open(const char* fileName, void* info);
  bool Play();
  void Stop();
  void Close();
  void MixInto(float* mix, int frames) override;

 private:
  std::unique_ptr<Mp3Stream> Swap(std::unique_ptr<Mp3Stream> stream);

  std::unique_ptr<Mp3Stream> stream_;
  bool playing_ = false;
};

// The old stream is handed back so that it is destroyed outside the mixer's lock.
std::unique_ptr<Mp3Stream> Mp3Player::Swap(std::unique_ptr<Mp3Stream> stream) {
  auto lock = Mixer::Instance().Lock();
  playing_ = false;
  std::swap(stream_, stream);
  return stream;
}

bool Mp3Player::Open(const char* fileName, void* info) {
  Close();
  auto stream = fileName ? Mp3Stream::Open(platform::NativePath(fileName)) : nullptr;
  if (info) WriteLength(info, stream ? stream->LengthSeconds() : 0);
  if (!stream) return false;
  Swap(std::move(stream));
  return true;
}

bool Mp3Player::Play() {
  auto lock = Mixer::Instance().Lock();
  if (!stream_) return false;
  stream_->Rewind();
  playing_ = true;
  return true;
}

void Mp3Player::Stop() {
  auto lock = Mixer::Instance().Lock();
  playing_ = false;
}

void Mp3Player::Close() { Swap(nullptr); }

void Mp3Player::MixInto(float* mix, int frames) {
  if (playing_ && stream_) playing_ = stream_->MixInto(mix, frames);
}

// The one library instance; it comes into being with vbmp3_init and goes with vbmp3_free.
class Mp3Library {
 public:
  static Mp3Library& Instance() {
    static Mp3Library library;
    return library;
  }
  std::unique_ptr<Mp3Player> player;

 private:
  // Touching the mixer first makes it outlive a player still alive at exit.
  Mp3Library() { Mixer::Instance(); }
};

Mp3Player* Player() { return Mp3Library::Instance().player.get(); }

}  // namespace

BOOL vbmp3_init() {
  platform::backend::Trace("vbmp3_init");
  auto& library = Mp3Library::Instance();
  if (!library.player) library.player = std::make_unique<Mp3Player>();
  return TRUE;
}

BOOL vbmp3_open(const char* fileName, void* info) {
  platform::backend::Trace(std::string("vbmp3_open ") + (fileName ? fileName : ""));
  if (Player()) return Player()->Open(fileName, info) ? TRUE : FALSE;
  if (info) WriteLength(info, 0);
  return FALSE;
}

BOOL vbmp3_play() {
  platform::backend::Trace("vbmp3_play");
  return Player() && Player()->Play() ? TRUE : FALSE;
}

BOOL vbmp3_stop() {
  platform::backend::Trace("vbmp3_stop");
  if (!Player()) return FALSE;
  Player()->Stop();
  return TRUE;
}

BOOL vbmp3_close() {
  platform::backend::Trace("vbmp3_close");
  if (!Player()) return FALSE;
  Player()->Close();
  return TRUE;
}

BOOL vbmp3_free() {
  platform::backend::Trace("vbmp3_free");
  Mp3Library::Instance().player.reset();
  return TRUE;
}
