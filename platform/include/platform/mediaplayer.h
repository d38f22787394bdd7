#pragma once
// The media-player control: one MCI sequencer device playing a MIDI file into the mixer.
#include <memory>
#include <string>

enum TMPModes { mpNotReady = 0, mpStopped, mpPlaying, mpRecording, mpSeeking, mpPaused, mpOpen };
enum TMPTimeFormats { tfMilliseconds = 0, tfBytes = 8 };

class TMediaPlayer {
 public:
  TMediaPlayer();
  ~TMediaPlayer();
  TMediaPlayer(const TMediaPlayer&) = delete;
  TMediaPlayer& operator=(const TMediaPlayer&) = delete;

  bool Visible = false;
  std::string FileName;  // Shift-JIS game path

  void SetTimeFormat(TMPTimeFormats format);
  void Open();    // positions at the start; a file that fails to open leaves the device closed
  void Play();    // returns at once
  void Stop();    // the device stays open
  void Rewind();  // seek to the start
  void Close();   // harmless when nothing is open
  TMPModes Mode() const;

  struct Sequencer;  // the host's device

 private:
  std::unique_ptr<Sequencer> sequencer_;
  TMPTimeFormats timeFormat_ = tfMilliseconds;
};
