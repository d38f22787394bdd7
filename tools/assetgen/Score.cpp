#include "Score.h"

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "Notes.h"

namespace assetgen {
namespace {

const std::map<std::string, int> kDrums{
    {"kick", 36},    {"rim", 37},     {"snare", 38},  {"clap", 39},   {"hat", 42},    {"phat", 44},
    {"ohat", 46},    {"tomlo", 45},   {"tommid", 47}, {"tomhi", 50},  {"crash", 49},  {"ride", 51},
    {"tamb", 54},    {"cowbell", 56}, {"bongo", 60},  {"conga", 63},  {"shaker", 70}, {"triangle", 81}};

using Tokens = std::vector<std::string>;

// The running state of a track: where it is and how the next note sounds.
struct Cursor {
  int tick = 0;
  int length = kTicksPerQuarter;
  int velocity = 90;
  int gate = 90;  // percent of the length a note is held ("q80")
  int transpose = 0;
};

class Parser {
 public:
  explicit Parser(Score& score) : score_(score) {}

  void Line(const std::string& line) {
    std::istringstream words(line);
    std::string verb;
    if (!(words >> verb)) return;
    if (verb == "tempo") words >> score_.tempo;
    else if (verb == "meter") words >> score_.beatsPerBar;
    else if (verb == "bars") words >> score_.bars;
    else if (verb == "render") Render(words);
    else if (verb == "phrase") Begin(words, true);
    else if (verb == "track") Begin(words, false);
    else if (verb == "end") target_ = nullptr;
    else Body(line);
  }

  void Finish() {
    for (std::size_t i = 0; i < trackBodies_.size(); ++i) {
      Cursor cursor;
      Play(trackBodies_[i], score_.instruments[i].channel, cursor, 0);
      if (cursor.tick != score_.PeriodTicks()) {
        throw std::runtime_error("track " + score_.instruments[i].name + " lasts " + std::to_string(cursor.tick) +
                                 " ticks, the piece " + std::to_string(score_.PeriodTicks()));
      }
    }
  }

 private:
  static std::map<std::string, std::string> Keys(std::istringstream& words) {
    std::map<std::string, std::string> keys;
    std::string word;
    while (words >> word) {
      const auto equals = word.find('=');
      if (equals == std::string::npos) throw std::runtime_error("expected key=value: " + word);
      keys[word.substr(0, equals)] = word.substr(equals + 1);
    }
    return keys;
  }

  void Render(std::istringstream& words) {
    std::string mode;
    words >> mode;
    score_.loop = mode == "loop";
    for (const auto& [key, value] : Keys(words)) {
      if (key == "cut") score_.cut = std::stod(value);
      else if (key == "tail") score_.tail = std::stod(value);
      else throw std::runtime_error("unknown render key " + key);
    }
  }

  void Begin(std::istringstream& words, bool phrase) {
    std::string name;
    words >> name;
    if (phrase) {
      target_ = &phrases_[name];
      return;
    }
    Instrument instrument{name};
    for (const auto& [key, value] : Keys(words)) {
      const int number = std::stoi(value);
      if (key == "channel") instrument.channel = number;
      else if (key == "program") instrument.program = number;
      else if (key == "volume") instrument.volume = number;
      else if (key == "pan") instrument.pan = number;
      else if (key == "reverb") instrument.reverb = number;
      else if (key == "chorus") instrument.chorus = number;
      else throw std::runtime_error("unknown track key " + key);
    }
    score_.instruments.push_back(instrument);
    trackBodies_.emplace_back();
    target_ = &trackBodies_.back();
  }

  void Body(const std::string& line) {
    if (!target_) throw std::runtime_error("notes outside a track or phrase");
    std::istringstream words(line);
    std::string token;
    while (words >> token) target_->push_back(token);
  }

  int Length(const std::string& text, int current) const {
    if (text.empty()) return current;
    std::size_t used = 0;
    const int denominator = std::stoi(text, &used);
    int length = 4 * kTicksPerQuarter / denominator;
    int dotted = length;
    for (; used < text.size(); ++used) {
      if (text[used] == '.') {
        dotted /= 2;
        length += dotted;
      } else if (text[used] == 't') {
        length = length * 2 / 3;
      } else {
        throw std::runtime_error("bad length " + text);
      }
    }
    return length;
  }

  int Key(const std::string& name, int transpose) const {
    if (const auto drum = kDrums.find(name); drum != kDrums.end()) return drum->second;
    const int key = NoteNumber(name);
    if (key < 0) throw std::runtime_error("not a note: " + name);
    return key + transpose;
  }

  // "@name", "@name^-5" (transposed), "@name*4" (repeated), or both: "@name^2*2".
  void Call(const std::string& token, int channel, Cursor& cursor, int depth) {
    std::string name = token.substr(1);
    int times = 1, transpose = 0;
    if (const auto star = name.find('*'); star != std::string::npos) {
      times = std::stoi(name.substr(star + 1));
      name.resize(star);
    }
    if (const auto caret = name.find('^'); caret != std::string::npos) {
      transpose = std::stoi(name.substr(caret + 1));
      name.resize(caret);
    }
    const auto phrase = phrases_.find(name);
    if (phrase == phrases_.end()) throw std::runtime_error("no phrase " + name);
    for (int i = 0; i < times; ++i) {
      Cursor inner = cursor;
      inner.transpose += transpose;
      Play(phrase->second, channel, inner, depth + 1);
      cursor.tick = inner.tick;
    }
  }

  void Sound(const std::string& token, int channel, Cursor& cursor) {
    const auto colon = token.find(':');
    const std::string pitches = token.substr(0, colon);
    cursor.length = Length(colon == std::string::npos ? "" : token.substr(colon + 1), cursor.length);
    if (pitches != "r") {
      std::istringstream chord(pitches);
      std::string pitch;
      while (std::getline(chord, pitch, '+')) {
        score_.notes.push_back({cursor.tick, channel, Key(pitch, cursor.transpose), cursor.velocity,
                                std::max(1, cursor.length * cursor.gate / 100)});
      }
    }
    cursor.tick += cursor.length;
  }

  void Play(const Tokens& tokens, int channel, Cursor& cursor, int depth) {
    if (depth > 16) throw std::runtime_error("phrases call each other in a circle");
    const int bar = score_.beatsPerBar * kTicksPerQuarter;
    for (const std::string& token : tokens) {
      if (token == "|") {
        if (cursor.tick % bar != 0) throw std::runtime_error("bar line off the bar at tick " + std::to_string(cursor.tick));
      } else if (token[0] == '@') {
        Call(token, channel, cursor, depth);
      } else if (token[0] == 'v' && token.size() > 1 && std::isdigit(static_cast<unsigned char>(token[1]))) {
        cursor.velocity = std::stoi(token.substr(1));
      } else if (token[0] == 'q' && token.size() > 1 && std::isdigit(static_cast<unsigned char>(token[1]))) {
        cursor.gate = std::stoi(token.substr(1));
      } else {
        Sound(token, channel, cursor);
      }
    }
  }

  Score& score_;
  std::map<std::string, Tokens> phrases_;
  std::vector<Tokens> trackBodies_;
  Tokens* target_ = nullptr;
};

}  // namespace

Score ParseScore(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  Score score;
  Parser parser(score);
  std::string line;
  int number = 0;
  try {
    while (std::getline(in, line)) {
      ++number;
      parser.Line(StripComment(line));
    }
    number = 0;
    parser.Finish();
  } catch (const std::exception& error) {
    throw std::runtime_error(path + (number ? ":" + std::to_string(number) : "") + ": " + error.what());
  }
  return score;
}

}  // namespace assetgen
