// The MP3 player: opening reads the length from the file's Xing, Info or VBRI header, or
// estimates it and counts the frames on a thread of its own; decoding happens on demand
// inside the mixer. So a change of track costs the game's thread no scan of the file.
#include <mpg123.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "backend.h"
#include "platform/audio.h"
#include "platform/files.h"
#include "platform/tasks.h"
#include "platform/vbmp3.h"
#include "thread_host.h"

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

// What the first frame of a file says about the whole: enough of the frame header to find a
// length header inside it.
struct FrameHeader {
  int version = 0;  // 1 for MPEG-1, 2 for MPEG-2 and 2.5
  int layer = 0;
  int sampleRate = 0;
  bool mono = false;
  int SamplesPerFrame() const { return layer == 1 ? 384 : (layer == 3 && version == 2) ? 576 : 1152; }
};

std::uint32_t BigEndian(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* bytes) {
  const std::uint32_t word = BigEndian(bytes);
  if ((word >> 21) != 0x7FF) return std::nullopt;
  const int versionBits = static_cast<int>((word >> 19) & 3), layerBits = static_cast<int>((word >> 17) & 3);
  const int bitrateIndex = static_cast<int>((word >> 12) & 15), rateIndex = static_cast<int>((word >> 10) & 3);
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return std::nullopt;
  constexpr int kRates[3] = {44100, 48000, 32000};
  FrameHeader header;
  header.version = versionBits == 3 ? 1 : 2;
  header.layer = 4 - layerBits;
  header.sampleRate = kRates[rateIndex] >> (versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2);
  header.mono = ((word >> 6) & 3) == 3;
  return header;
}

// Encoder delay and padding from a LAME tag after the Xing fields, which the decoder trims.
std::int64_t LameTrim(const std::vector<std::uint8_t>& bytes, size_t xing) {
  const std::uint32_t flags = BigEndian(&bytes[xing + 4]);
  const size_t lame = xing + 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) + ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
  if (lame + 24 > bytes.size()) return 0;
  const auto encoder = std::string_view(reinterpret_cast<const char*>(&bytes[lame]), 4);
  if (encoder != "LAME" && encoder != "Lavc" && encoder != "Lavf") return 0;
  const std::uint8_t* trim = &bytes[lame + 21];
  return ((std::int64_t{trim[0]} << 4) | (trim[1] >> 4)) + (((trim[1] & 15) << 8) | trim[2]);
}

bool TagAt(const std::vector<std::uint8_t>& bytes, size_t at, size_t length, std::string_view tag) {
  return at + length <= bytes.size() && std::string_view(reinterpret_cast<const char*>(&bytes[at]), 4) == tag;
}

// The number of samples the first frame's Xing, Info or VBRI header gives, or nothing.
std::optional<std::int64_t> HeaderSamples(const std::vector<std::uint8_t>& bytes, size_t frame, const FrameHeader& header) {
  if (header.layer != 3) return std::nullopt;
  const size_t sideInfo = header.version == 1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17);
  const size_t xing = frame + 4 + sideInfo;
  if ((TagAt(bytes, xing, 12, "Xing") || TagAt(bytes, xing, 12, "Info")) && (BigEndian(&bytes[xing + 4]) & 1)) {
    const std::int64_t samples = std::int64_t{BigEndian(&bytes[xing + 8])} * header.SamplesPerFrame() - LameTrim(bytes, xing);
    return samples > 0 ? std::optional(samples) : std::nullopt;
  }
  const size_t vbri = frame + 36;
  if (TagAt(bytes, vbri, 18, "VBRI")) return std::int64_t{BigEndian(&bytes[vbri + 14])} * header.SamplesPerFrame();
  return std::nullopt;
}

// The length in whole seconds from the length header, when the file has one.
std::optional<std::int32_t> HeaderLengthSeconds(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(10);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), 10)) return std::nullopt;
  std::streamoff skip = 0;
  if (std::memcmp(bytes.data(), "ID3", 3) == 0) {
    skip = 10 + ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F)) + ((bytes[5] & 0x10) ? 10 : 0);
  }
  // The first frame lies close behind the tag; a header frame is at most a few hundred bytes.
  constexpr size_t kWindow = 16384;
  bytes.assign(kWindow, 0);
  file.clear();
  file.seekg(skip);
  file.read(reinterpret_cast<char*>(bytes.data()), kWindow);
  bytes.resize(static_cast<size_t>(file.gcount()));
  for (size_t at = 0; at + 4 <= bytes.size(); ++at) {
    const auto header = ParseFrameHeader(bytes.data() + at);
    if (!header) continue;
    const auto samples = HeaderSamples(bytes, at, *header);
    if (!samples) return std::nullopt;
    return static_cast<std::int32_t>(*samples / header->sampleRate);
  }
  return std::nullopt;
}

// Counts a header-less file's samples frame by frame on a thread of its own, reading the
// file through a handle of its own; stops early when the file is closed.
class LengthScan {
 public:
  explicit LengthScan(std::string path, std::uint64_t generation);
  ~LengthScan() {
    cancelled_ = true;
    thread_.join();
  }
  LengthScan(const LengthScan&) = delete;
  LengthScan& operator=(const LengthScan&) = delete;

 private:
  std::optional<std::int32_t> Count(const std::string& path) const;

  std::atomic<bool> cancelled_{false};
  std::thread thread_;
};

void ScanFinished(std::uint64_t generation, std::int32_t seconds);

LengthScan::LengthScan(std::string path, std::uint64_t generation)
    : thread_([this, path = std::move(path), generation] {
        // Counting is never urgent; a frame late on a busy machine is.
        platform::host::LowerThisThreadsPriority();
        if (const auto seconds = Count(path)) {
          platform::PostToGameThread([generation, seconds = *seconds] { ScanFinished(generation, seconds); });
        }
      }) {}

std::optional<std::int32_t> LengthScan::Count(const std::string& path) const {
  Mpg123Handle handle(mpg123_new(nullptr, nullptr));
  if (!handle || !Configure(handle.get()) || mpg123_open(handle.get(), path.c_str()) != MPG123_OK) return std::nullopt;
  std::int64_t samples = 0;
  long rate = 0;
  while (!cancelled_) {
    const int result = mpg123_framebyframe_next(handle.get());
    if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
    mpg123_frameinfo info{};
    if (mpg123_info(handle.get(), &info) != MPG123_OK) return std::nullopt;
    const int perFrame = info.layer == 1 ? 384 : (info.layer == 3 && info.version != MPG123_1_0) ? 576 : 1152;
    samples += perFrame;
    rate = info.rate;
  }
  if (cancelled_ || rate <= 0) return std::nullopt;
  return static_cast<std::int32_t>(samples / rate);
}

// One open file and its position, resampled to the mixer's rate.
class Mp3Stream {
 public:
  // `generation` names this opening in the exact length a background scan posts.
  static std::unique_ptr<Mp3Stream> Open(const std::string& path, std::uint64_t generation);

  std::int32_t LengthSeconds() const { return lengthSeconds_; }
  void Rewind();
  // Adds up to `frames` frames; false once the file has ended.
  bool MixInto(float* mix, int frames);

 private:
  explicit Mp3Stream(Mpg123Handle handle) : handle_(std::move(handle)) {}
  bool ReadFormat();
  void LearnLength(const std::string& path, std::uint64_t generation);
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
  std::unique_ptr<LengthScan> scan_;
};

std::unique_ptr<Mp3Stream> Mp3Stream::Open(const std::string& path, std::uint64_t generation) {
  Mpg123Handle handle(mpg123_new(nullptr, nullptr));
  if (!handle || !Configure(handle.get())) return nullptr;
  // A FIFO or device under a track's name would block the open or never end.
  if (!platform::OpenRegularFile(path)) return nullptr;
  if (mpg123_open(handle.get(), path.c_str()) != MPG123_OK) return nullptr;
  std::unique_ptr<Mp3Stream> stream(new Mp3Stream(std::move(handle)));
  if (!stream->ReadFormat()) return nullptr;
  stream->LearnLength(path, generation);
  stream->Rewind();
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

// Without a header the decoder's estimate (from the first frame's bit rate) stands until
// the frames have been counted.
void Mp3Stream::LearnLength(const std::string& path, std::uint64_t generation) {
  if (const auto seconds = HeaderLengthSeconds(path)) {
    lengthSeconds_ = *seconds;
    return;
  }
  const off_t estimate = mpg123_length(handle_.get());
  lengthSeconds_ = estimate > 0 ? static_cast<std::int32_t>(estimate / rate_) : 0;
  scan_ = std::make_unique<LengthScan>(path, generation);
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

void WriteLengthField(void* info, std::int32_t seconds) {
  auto* record = static_cast<std::uint8_t*>(info);
  const auto bits = static_cast<std::uint32_t>(seconds);
  for (int i = 0; i < 4; ++i) {
    record[kVbmp3LengthOffset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
}

void WriteLength(void* info, std::int32_t seconds) {
  std::memset(info, 0, kVbmp3InfoSize);
  WriteLengthField(info, seconds);
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
  // The exact length replaces the estimate in the record of the opening it belongs to.
  void LengthCounted(std::uint64_t generation, std::int32_t seconds);
  bool Play();
  void Stop();
  void Close();
  void MixInto(float* mix, int frames) override;
  platform::audio::Bus Output() const override { return platform::audio::Bus::Music; }

 private:
  std::unique_ptr<Mp3Stream> Swap(std::unique_ptr<Mp3Stream> stream);

  std::unique_ptr<Mp3Stream> stream_;
  bool playing_ = false;
  std::uint64_t generation_ = 0;
  void* info_ = nullptr;
};

// Unique across players, so a count that finishes after vbmp3_free and vbmp3_init is ignored.
std::uint64_t NextGeneration() {
  static std::atomic<std::uint64_t> last{0};
  return ++last;
}

// The old stream is handed back so that it is destroyed outside the mixer's lock.
std::unique_ptr<Mp3Stream> Mp3Player::Swap(std::unique_ptr<Mp3Stream> stream) {
  auto lock = Mixer::Instance().Lock();
  playing_ = false;
  std::swap(stream_, stream);
  return stream;
}

bool Mp3Player::Open(const char* fileName, void* info) {
  Close();
  generation_ = NextGeneration();
  info_ = info;
  auto stream = fileName ? Mp3Stream::Open(platform::NativePath(fileName), generation_) : nullptr;
  if (info) WriteLength(info, stream ? stream->LengthSeconds() : 0);
  if (!stream) return false;
  Swap(std::move(stream));
  return true;
}

void Mp3Player::LengthCounted(std::uint64_t generation, std::int32_t seconds) {
  if (generation == generation_ && stream_ && info_) WriteLengthField(info_, seconds);
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

void ScanFinished(std::uint64_t generation, std::int32_t seconds) {
  if (Player()) Player()->LengthCounted(generation, seconds);
}

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
