// The sound effects: a small additive/subtractive synthesiser driven by a text description
// (assets/sounds/effects.txt explains its keys).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Generate.h"
#include "Notes.h"
#include "Wav.h"

namespace assetgen {
namespace {

constexpr int kRate = 44100;
constexpr double kTwoPi = 2 * std::numbers::pi;
// Loudness target: the loudest 50 ms of every effect has this RMS (about -13 dBFS).
constexpr double kTargetRms = 0.22;
constexpr double kPeakLimit = 0.9;

enum class Wave { Sine, Triangle, Square, Saw, Bell, Noise };

struct Glide {
  double from = 0, to = 0;
  double At(double progress) const {
    return (from > 0 && to > 0) ? from * std::pow(to / from, progress) : from + (to - from) * progress;
  }
};

struct Voice {
  double at = 0, duration = 0.2;
  Wave wave = Wave::Sine;
  Glide frequency{440, 440};
  double amp = 0.5, attack = 0.003, decay = 0, release = 0.02;
  double vibratoDepth = 0, vibratoRate = 0;  // semitones, Hz
  Glide cutoff{0, 0};                        // 0: no filter
};

struct Effect {
  std::string name;
  double levelDb = 0;
  std::vector<Voice> voices;
};

using Keys = std::map<std::string, std::string>;

Keys ReadKeys(std::istringstream& words) {
  Keys keys;
  std::string word;
  while (words >> word) {
    const auto equals = word.find('=');
    if (equals == std::string::npos) throw std::runtime_error("expected key=value, got " + word);
    keys[word.substr(0, equals)] = word.substr(equals + 1);
  }
  return keys;
}

Glide ParseGlide(const std::string& text) {
  const auto arrow = text.find('>');
  if (arrow == std::string::npos) return {ParsePitch(text), ParsePitch(text)};
  return {ParsePitch(text.substr(0, arrow)), ParsePitch(text.substr(arrow + 1))};
}

Wave ParseWave(const std::string& name) {
  static const std::map<std::string, Wave> waves{{"sine", Wave::Sine},     {"triangle", Wave::Triangle},
                                                 {"square", Wave::Square}, {"saw", Wave::Saw},
                                                 {"bell", Wave::Bell},     {"noise", Wave::Noise}};
  const auto found = waves.find(name);
  if (found == waves.end()) throw std::runtime_error("unknown wave " + name);
  return found->second;
}

Voice ParseVoice(const Keys& keys) {
  Voice voice;
  for (const auto& [key, value] : keys) {
    if (key == "at") voice.at = std::stod(value);
    else if (key == "dur") voice.duration = std::stod(value);
    else if (key == "wave") voice.wave = ParseWave(value);
    else if (key == "freq") voice.frequency = ParseGlide(value);
    else if (key == "amp") voice.amp = std::stod(value);
    else if (key == "attack") voice.attack = std::stod(value);
    else if (key == "decay") voice.decay = std::stod(value);
    else if (key == "release") voice.release = std::stod(value);
    else if (key == "cutoff") voice.cutoff = ParseGlide(value);
    else if (key == "vibrato") {
      const auto colon = value.find(':');
      voice.vibratoDepth = std::stod(value.substr(0, colon));
      voice.vibratoRate = std::stod(value.substr(colon + 1));
    } else if (key != "notes" && key != "step") {
      throw std::runtime_error("unknown key " + key);
    }
  }
  // Clicks come from steps: never let a voice start or stop abruptly.
  voice.attack = std::max(voice.attack, 0.002);
  voice.release = std::max(voice.release, 0.005);
  return voice;
}

// "seq notes=C6,E6,G6 step=0.08 ...": one voice per note, each `step` seconds after the last.
void AddSequence(Effect& effect, Keys keys) {
  const std::string notes = keys.at("notes");
  const double step = std::stod(keys.at("step"));
  const double start = keys.contains("at") ? std::stod(keys.at("at")) : 0.0;
  std::istringstream list(notes);
  std::string note;
  for (int i = 0; std::getline(list, note, ','); ++i) {
    keys["freq"] = note;
    keys["at"] = std::to_string(start + step * i);
    effect.voices.push_back(ParseVoice(keys));
  }
}

std::vector<Effect> ParseEffects(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<Effect> effects;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = StripComment(line);
    std::istringstream words(line);
    std::string verb;
    if (!(words >> verb)) continue;
    try {
      if (verb == "effect") {
        Effect effect;
        words >> effect.name;
        const Keys keys = ReadKeys(words);
        if (keys.contains("level")) effect.levelDb = std::stod(keys.at("level"));
        effects.push_back(effect);
      } else if (effects.empty()) {
        throw std::runtime_error("voice before the first effect");
      } else if (verb == "tone" || verb == "noise") {
        Keys keys = ReadKeys(words);
        if (verb == "noise") keys["wave"] = "noise";
        effects.back().voices.push_back(ParseVoice(keys));
      } else if (verb == "seq") {
        AddSequence(effects.back(), ReadKeys(words));
      } else {
        throw std::runtime_error("unknown line " + verb);
      }
    } catch (const std::exception& error) {
      throw std::runtime_error(path + ":" + std::to_string(number) + ": " + error.what());
    }
  }
  return effects;
}

// Band-limited steps for square and saw: the usual polynomial correction near each jump.
double PolyBlep(double phase, double increment) {
  if (phase < increment) {
    const double t = phase / increment;
    return t + t - t * t - 1;
  }
  if (phase > 1 - increment) {
    const double t = (phase - 1) / increment;
    return t * t + t + t + 1;
  }
  return 0;
}

class Oscillator {
 public:
  explicit Oscillator(std::uint32_t seed) : noise_(seed) {}

  double Next(Wave wave, double frequency, double time) {
    const double increment = frequency / kRate;
    const double p = phase_;
    phase_ += increment;
    phase_ -= std::floor(phase_);
    switch (wave) {
      case Wave::Sine: return std::sin(kTwoPi * p);
      case Wave::Triangle: return 1 - 4 * std::abs(p - 0.5);
      case Wave::Saw: return 2 * p - 1 - PolyBlep(p, increment);
      case Wave::Square: {
        const double q = p + 0.5 - std::floor(p + 0.5);
        return (p < 0.5 ? 1 : -1) + PolyBlep(p, increment) - PolyBlep(q, increment);
      }
      case Wave::Bell:
        bell_ += increment;
        return std::sin(kTwoPi * p) + 0.45 * std::exp(-6 * time) * std::sin(kTwoPi * 2.76 * bell_) +
               0.22 * std::exp(-10 * time) * std::sin(kTwoPi * 5.4 * bell_);
      case Wave::Noise:
        noise_ = noise_ * 1664525u + 1013904223u;
        return static_cast<double>(noise_ >> 8) / 8388608.0 - 1.0;
    }
    return 0;
  }

 private:
  double phase_ = 0;
  double bell_ = 0;
  std::uint32_t noise_;
};

double Envelope(const Voice& voice, double t) {
  double level = std::min(1.0, t / voice.attack);
  if (voice.decay > 0 && t > voice.attack) level *= std::exp(-(t - voice.attack) / voice.decay);
  return level * std::min(1.0, (voice.duration - t) / voice.release);
}

// Two one-pole stages: a gentle 12 dB per octave slope, enough to shape noise.
class LowPass {
 public:
  double Next(double input, double cutoff) {
    const double a = 1 - std::exp(-kTwoPi * cutoff / kRate);
    first_ += a * (input - first_);
    second_ += a * (first_ - second_);
    return second_;
  }

 private:
  double first_ = 0, second_ = 0;
};

void RenderVoice(const Voice& voice, std::uint32_t seed, std::vector<double>& out) {
  Oscillator oscillator(seed);
  LowPass filter;
  const auto start = static_cast<std::size_t>(std::lround(voice.at * kRate));
  const auto length = static_cast<std::size_t>(std::lround(voice.duration * kRate));
  if (out.size() < start + length) out.resize(start + length, 0.0);
  for (std::size_t n = 0; n < length; ++n) {
    const double t = static_cast<double>(n) / kRate;
    const double progress = t / voice.duration;
    double frequency = voice.frequency.At(progress);
    if (voice.vibratoDepth > 0) {
      frequency *= std::pow(2.0, voice.vibratoDepth * std::sin(kTwoPi * voice.vibratoRate * t) / 12);
    }
    double sample = oscillator.Next(voice.wave, frequency, t);
    if (voice.cutoff.from > 0) sample = filter.Next(sample, voice.cutoff.At(progress));
    out[start + n] += sample * voice.amp * Envelope(voice, t);
  }
}

double LoudestWindowRms(const std::vector<double>& samples) {
  constexpr std::size_t kWindow = kRate / 20, kHop = kRate / 100;
  double loudest = 0;
  for (std::size_t start = 0; start < samples.size(); start += kHop) {
    const std::size_t end = std::min(samples.size(), start + kWindow);
    double sum = 0;
    for (std::size_t i = start; i < end; ++i) sum += samples[i] * samples[i];
    loudest = std::max(loudest, std::sqrt(sum / kWindow));
  }
  return loudest;
}

std::vector<float> Render(const Effect& effect) {
  std::vector<double> mix;
  std::uint32_t seed = 12345;
  for (const Voice& voice : effect.voices) RenderVoice(voice, seed++, mix);
  double peak = 0;
  for (double sample : mix) peak = std::max(peak, std::abs(sample));
  const double loudest = LoudestWindowRms(mix);
  if (loudest <= 0) throw std::runtime_error(effect.name + " is silent");
  double gain = kTargetRms * std::pow(10.0, effect.levelDb / 20) / loudest;
  gain = std::min(gain, kPeakLimit / peak);
  std::vector<float> out(mix.size());
  std::transform(mix.begin(), mix.end(), out.begin(), [gain](double s) { return static_cast<float>(s * gain); });
  FadeEnds(out, 1, kRate / 500);
  return out;
}

}  // namespace

void GenerateEffects(const std::string& description, const std::string& outDir) {
  for (const Effect& effect : ParseEffects(description)) {
    const std::vector<float> samples = Render(effect);
    if (samples.size() >= 2 * kRate) throw std::runtime_error(effect.name + " is 2 s or longer");
    WriteWav(outDir + "/" + effect.name + ".wav", 1, kRate, ToPcm16(samples));
  }
}

}  // namespace assetgen
