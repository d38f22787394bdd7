// Music: a score becomes a Standard MIDI File (shipped for the folder mode) and a rendering
// through FluidSynth with the General MIDI soundfont.
#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <tuple>
#include <stdexcept>
#include <vector>

#include "Generate.h"
#include "Score.h"
#include "Wav.h"

namespace assetgen {
namespace {

constexpr int kRate = 44100;
constexpr float kPeak = 0.89f;  // -1 dBFS, headroom for the MP3 encoder

// ---- Standard MIDI File ----

using Bytes = std::vector<std::uint8_t>;

void PutBig(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutVariable(Bytes& out, std::uint32_t value) {
  std::uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(groups[--count] | 0x80);
  out.push_back(groups[0]);
}

struct Event {
  int tick;
  int order;  // releases before presses at the same tick
  Bytes data;
};

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out(id, id + 4);
  PutBig(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes TrackChunk(std::vector<Event> events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const Event& a, const Event& b) { return std::tie(a.tick, a.order) < std::tie(b.tick, b.order); });
  Bytes body;
  int last = 0;
  for (const Event& event : events) {
    PutVariable(body, static_cast<std::uint32_t>(event.tick - last));
    body.insert(body.end(), event.data.begin(), event.data.end());
    last = event.tick;
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  return Chunk("MTrk", body);
}

std::vector<Event> SetupEvents(const Instrument& instrument) {
  const auto status = static_cast<std::uint8_t>(instrument.channel);
  Bytes name{0xFF, 0x03, static_cast<std::uint8_t>(instrument.name.size())};
  name.insert(name.end(), instrument.name.begin(), instrument.name.end());
  auto control = [status](int number, int value) {
    return Bytes{static_cast<std::uint8_t>(0xB0 | status), static_cast<std::uint8_t>(number),
                 static_cast<std::uint8_t>(value)};
  };
  return {{0, 0, name},
          {0, 0, {static_cast<std::uint8_t>(0xC0 | status), static_cast<std::uint8_t>(instrument.program)}},
          {0, 0, control(7, instrument.volume)},
          {0, 0, control(10, instrument.pan)},
          {0, 0, control(91, instrument.reverb)},
          {0, 0, control(93, instrument.chorus)}};
}

void WriteMidi(const Score& score, const std::string& path) {
  Bytes file = Chunk("MThd", {0, 1, 0, static_cast<std::uint8_t>(score.instruments.size() + 1),
                              static_cast<std::uint8_t>(kTicksPerQuarter >> 8),
                              static_cast<std::uint8_t>(kTicksPerQuarter & 0xFF)});
  Bytes tempo{0xFF, 0x51, 0x03};
  PutBig(tempo, static_cast<std::uint32_t>(60000000 / score.tempo), 3);
  const Bytes meter{0xFF, 0x58, 0x04, static_cast<std::uint8_t>(score.beatsPerBar), 2, 24, 8};
  const Bytes conductor = TrackChunk({{0, 0, tempo}, {0, 0, meter}});
  file.insert(file.end(), conductor.begin(), conductor.end());
  for (const Instrument& instrument : score.instruments) {
    std::vector<Event> events = SetupEvents(instrument);
    for (const Note& note : score.notes) {
      if (note.channel != instrument.channel) continue;
      const auto key = static_cast<std::uint8_t>(note.key);
      events.push_back({note.tick, 1, {static_cast<std::uint8_t>(0x90 | note.channel), key,
                                       static_cast<std::uint8_t>(note.velocity)}});
      events.push_back({note.tick + note.length, 0, {static_cast<std::uint8_t>(0x80 | note.channel), key, 0}});
    }
    const Bytes track = TrackChunk(std::move(events));
    file.insert(file.end(), track.begin(), track.end());
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// ---- Rendering ----

struct SynthEvent {
  std::int64_t frame;
  int order;
  int channel, key, velocity;  // velocity 0 releases
};

class Synth {
 public:
  explicit Synth(const std::string& soundFont) : settings_(new_fluid_settings()) {
    fluid_settings_setnum(settings_, "synth.sample-rate", kRate);
    fluid_settings_setnum(settings_, "synth.gain", 0.5);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setint(settings_, "synth.polyphony", 256);
    synth_ = new_fluid_synth(settings_);
    if (!synth_ || fluid_synth_sfload(synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
      throw std::runtime_error("cannot load the soundfont " + soundFont);
    }
  }
  ~Synth() {
    if (synth_) delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
  }
  Synth(const Synth&) = delete;
  Synth& operator=(const Synth&) = delete;

  void Setup(const Instrument& instrument) {
    fluid_synth_program_change(synth_, instrument.channel, instrument.program);
    fluid_synth_cc(synth_, instrument.channel, 7, instrument.volume);
    fluid_synth_cc(synth_, instrument.channel, 10, instrument.pan);
    fluid_synth_cc(synth_, instrument.channel, 91, instrument.reverb);
    fluid_synth_cc(synth_, instrument.channel, 93, instrument.chorus);
  }

  void Apply(const SynthEvent& event) {
    if (event.velocity > 0) {
      fluid_synth_noteon(synth_, event.channel, event.key, event.velocity);
    } else {
      fluid_synth_noteoff(synth_, event.channel, event.key);
    }
  }

  void Write(std::vector<float>& left, std::vector<float>& right, std::int64_t from, std::int64_t to) {
    constexpr std::int64_t kBlock = 4096;
    for (std::int64_t at = from; at < to; at += kBlock) {
      const int frames = static_cast<int>(std::min(kBlock, to - at));
      fluid_synth_write_float(synth_, frames, left.data() + at, 0, 1, right.data() + at, 0, 1);
    }
  }

 private:
  fluid_settings_t* settings_;
  fluid_synth_t* synth_ = nullptr;
};

std::vector<SynthEvent> Schedule(const Score& score, int passes) {
  auto frameOf = [&](std::int64_t tick) {
    return static_cast<std::int64_t>(std::llround(static_cast<double>(tick) * 60.0 * kRate /
                                                  (score.tempo * kTicksPerQuarter)));
  };
  std::vector<SynthEvent> events;
  for (int pass = 0; pass < passes; ++pass) {
    const std::int64_t offset = static_cast<std::int64_t>(pass) * score.PeriodTicks();
    for (const Note& note : score.notes) {
      events.push_back({frameOf(offset + note.tick), 1, note.channel, note.key, note.velocity});
      events.push_back({frameOf(offset + note.tick + note.length), 0, note.channel, note.key, 0});
    }
  }
  std::stable_sort(events.begin(), events.end(), [](const SynthEvent& a, const SynthEvent& b) {
    return std::tie(a.frame, a.order) < std::tie(b.frame, b.order);
  });
  return events;
}

// A looped piece is played twice and the second pass kept: its start already carries the
// reverb and release tails of the end, so the file joins onto itself without a seam.
std::vector<float> Render(const Score& score, const std::string& soundFont) {
  const int passes = score.loop ? 2 : 1;
  const auto period = static_cast<std::int64_t>(std::llround(score.Seconds(score.PeriodTicks()) * kRate));
  const std::int64_t total = passes * period + static_cast<std::int64_t>(score.tail * kRate);
  std::vector<float> left(static_cast<std::size_t>(total)), right(static_cast<std::size_t>(total));
  Synth synth(soundFont);
  for (const Instrument& instrument : score.instruments) synth.Setup(instrument);
  std::int64_t cursor = 0;
  for (const SynthEvent& event : Schedule(score, passes)) {
    const std::int64_t frame = std::min(event.frame, total);
    synth.Write(left, right, cursor, frame);
    cursor = frame;
    synth.Apply(event);
  }
  synth.Write(left, right, cursor, total);
  const std::int64_t begin = score.loop ? period : 0;
  const std::int64_t end = score.loop ? 2 * period - static_cast<std::int64_t>(score.cut * kRate) : total;
  std::vector<float> stereo;
  stereo.reserve(static_cast<std::size_t>(2 * (end - begin)));
  for (std::int64_t i = begin; i < end; ++i) {
    stereo.push_back(left[static_cast<std::size_t>(i)]);
    stereo.push_back(right[static_cast<std::size_t>(i)]);
  }
  return stereo;
}

void Normalise(std::vector<float>& samples) {
  float peak = 0;
  for (float sample : samples) peak = std::max(peak, std::abs(sample));
  if (peak <= 0) throw std::runtime_error("the rendering is silent");
  for (float& sample : samples) sample *= kPeak / peak;
}

}  // namespace

void GenerateMusic(const std::string& scorePath, const std::string& midiPath, const std::string& wavPath,
                   const std::string& soundFont) {
  const Score score = ParseScore(scorePath);
  WriteMidi(score, midiPath);
  std::vector<float> samples = Render(score, soundFont);
  Normalise(samples);
  FadeEnds(samples, 2, kRate / 200);
  WriteWav(wavPath, 2, kRate, ToPcm16(samples));
}

}  // namespace assetgen
