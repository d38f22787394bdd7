// The MIDI sequencer device is Windows' own MCI sequencer, which plays to the system's MIDI
// output rather than into the mixer.
#include <string>

#include "backend.h"
#include "platform/files.h"
#include "platform/mediaplayer.h"
#include "win32.h"

namespace {

constexpr std::u16string_view kAlias = u"kotobune_sequencer";

bool Mci(std::u16string_view verb, std::u16string_view rest = {}) {
  std::u16string command(verb);
  command += u' ';
  command += kAlias;
  command += rest;
  return platform::win32::SendMci(command).has_value();
}

}  // namespace

struct TMediaPlayer::Sequencer {
  static std::unique_ptr<Sequencer> Open(const std::string& nativePath) {
    const std::u16string path = platform::win32::ToWide(platform::win32::kCodePageUtf8, nativePath, true);
    if (path.empty()) return nullptr;
    // Another player in this process may have left the alias behind.
    Mci(u"close");
    if (!platform::win32::SendMci(u"open \"" + path + u"\" type sequencer alias " + std::u16string(kAlias))) {
      return nullptr;
    }
    Mci(u"set", u" time format milliseconds");
    return std::make_unique<Sequencer>();
  }
  Sequencer() = default;
  ~Sequencer() { Mci(u"close"); }
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  TMPModes Mode() const {
    std::u16string command = u"status ";
    command += kAlias;
    command += u" mode";
    const auto mode = platform::win32::SendMci(command);
    if (!mode) return mpNotReady;
    if (*mode == u"playing") return mpPlaying;
    if (*mode == u"paused") return mpPaused;
    if (*mode == u"seeking") return mpSeeking;
    if (*mode == u"not ready") return mpNotReady;
    return mpStopped;
  }
};

TMediaPlayer::TMediaPlayer() = default;
TMediaPlayer::~TMediaPlayer() = default;

// Only the bytes format is ever asked for, and no position is reported, so it is just kept.
void TMediaPlayer::SetTimeFormat(TMPTimeFormats format) { timeFormat_ = format; }

void TMediaPlayer::Open() {
  platform::backend::Trace("MediaPlayer.Open " + FileName);
  Close();
  sequencer_ = Sequencer::Open(platform::NativePath(FileName));
}

void TMediaPlayer::Play() {
  platform::backend::Trace("MediaPlayer.Play");
  if (sequencer_) Mci(u"play");
}

void TMediaPlayer::Stop() {
  platform::backend::Trace("MediaPlayer.Stop");
  if (sequencer_) Mci(u"stop");
}

void TMediaPlayer::Rewind() {
  platform::backend::Trace("MediaPlayer.Rewind");
  if (sequencer_) Mci(u"seek", u" to start");
}

void TMediaPlayer::Close() {
  platform::backend::Trace("MediaPlayer.Close");
  sequencer_.reset();
}

TMPModes TMediaPlayer::Mode() const {
  platform::backend::Trace("MediaPlayer.Mode");
  if (!sequencer_) return mpNotReady;
  return sequencer_->Mode();
}
