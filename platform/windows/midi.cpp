// The MIDI sequencer device is Windows' own MCI sequencer, which plays to the system's MIDI
// output rather than into the mixer.
#include <string>

#include "sequencer.h"
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

class MciSequencer final : public TMediaPlayer::Sequencer {
 public:
  static std::unique_ptr<MciSequencer> Open(const std::string& nativePath) {
    const std::u16string path = platform::win32::ToWide(platform::win32::kCodePageUtf8, nativePath, true);
    if (path.empty()) return nullptr;
    // Another player in this process may have left the alias behind.
    Mci(u"close");
    if (!platform::win32::SendMci(u"open \"" + path + u"\" type sequencer alias " + std::u16string(kAlias))) {
      return nullptr;
    }
    Mci(u"set", u" time format milliseconds");
    return std::make_unique<MciSequencer>();
  }
  MciSequencer() = default;
  ~MciSequencer() override { Mci(u"close"); }
  MciSequencer(const MciSequencer&) = delete;
  MciSequencer& operator=(const MciSequencer&) = delete;

  void Play() override { Mci(u"play"); }
  void Stop() override { Mci(u"stop"); }
  void Rewind() override { Mci(u"seek", u" to start"); }

  TMPModes Mode() const override {
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

}  // namespace

std::unique_ptr<TMediaPlayer::Sequencer> TMediaPlayer::Sequencer::Open(const std::string& nativePath) {
  return MciSequencer::Open(nativePath);
}
