// The media-player control over whichever sequencer device the host has.
#include "backend.h"
#include "platform/files.h"
#include "sequencer.h"

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
  if (sequencer_) sequencer_->Play();
}

void TMediaPlayer::Stop() {
  platform::backend::Trace("MediaPlayer.Stop");
  if (sequencer_) sequencer_->Stop();
}

void TMediaPlayer::Rewind() {
  platform::backend::Trace("MediaPlayer.Rewind");
  if (sequencer_) sequencer_->Rewind();
}

void TMediaPlayer::Close() {
  platform::backend::Trace("MediaPlayer.Close");
  sequencer_.reset();
}

TMPModes TMediaPlayer::Mode() const {
  platform::backend::Trace("MediaPlayer.Mode");
  return sequencer_ ? sequencer_->Mode() : mpNotReady;
}
