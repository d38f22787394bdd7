#pragma once
// The MIDI sequencer device behind the media-player control; each host opens its own.
#include <memory>
#include <string>

#include "platform/mediaplayer.h"

struct TMediaPlayer::Sequencer {
  // Null when the file cannot be played.
  static std::unique_ptr<Sequencer> Open(const std::string& nativePath);
  virtual ~Sequencer() = default;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  virtual void Rewind() = 0;
  virtual TMPModes Mode() const = 0;
};
