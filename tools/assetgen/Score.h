#pragma once
// The music sources: a compact note format (assets/music/README.score explains it).
#include <string>
#include <vector>

namespace assetgen {

constexpr int kTicksPerQuarter = 480;

struct Instrument {
  std::string name;
  int channel = 0;  // 9 is the drum kit
  int program = 0;
  int volume = 100, pan = 64, reverb = 40, chorus = 0;
};

struct Note {
  int tick = 0;
  int channel = 0;
  int key = 60;
  int velocity = 90;
  int length = kTicksPerQuarter;  // ticks until the key is released
};

struct Score {
  int tempo = 120;  // quarter notes per minute
  int beatsPerBar = 4;
  int bars = 0;
  bool loop = false;    // render for seamless repetition
  double cut = 0;       // seconds dropped from the end of a loop
  double tail = 2;      // seconds of release after a piece that is not looped
  std::vector<Instrument> instruments;
  std::vector<Note> notes;

  int PeriodTicks() const { return bars * beatsPerBar * kTicksPerQuarter; }
  double Seconds(int ticks) const { return ticks * 60.0 / (tempo * kTicksPerQuarter); }
};

Score ParseScore(const std::string& path);

}  // namespace assetgen
