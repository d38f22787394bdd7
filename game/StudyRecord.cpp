#include "StudyRecord.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>

namespace {

constexpr std::string_view kHeader = "idiom\treading\tmeaning\tasked\tcorrect\twrong\tunanswered\tlast seen";
constexpr std::string_view kExportHeader = "idiom\treading\tmeaning\tasked\tcorrect\tmissed\tlast seen";
constexpr std::size_t kFieldCount = 8;
// Far beyond a lifetime of rounds; the sum of the three outcomes still fits.
constexpr std::int32_t kCountCeiling = 999999999;

std::string Key(std::string_view idiom, std::string_view reading) {
  return std::string(idiom) + '\t' + std::string(reading);
}

// A tab or line break would start a new field or line in the file.
std::string FieldText(std::string_view text) {
  std::string field(text);
  std::replace_if(field.begin(), field.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
  return field;
}

StudyEntry Named(std::string_view idiom, std::string_view reading, std::string_view meaning) {
  StudyEntry entry;
  entry.idiom = idiom;
  entry.reading = reading;
  entry.meaning = meaning;
  return entry;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(separator, start)) != std::string_view::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::optional<std::int32_t> Count(std::string_view digits) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  const bool plain = !digits.empty() && digits.size() < 10 && std::isdigit(static_cast<unsigned char>(digits[0]));
  if (!plain || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

bool IsDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

std::optional<StudyEntry> ParseEntry(std::string_view line, std::string& fault) {
  const auto fields = Split(line, '\t');
  if (fields.size() != kFieldCount) {
    fault = std::to_string(fields.size()) + " fields instead of " + std::to_string(kFieldCount);
    return std::nullopt;
  }
  StudyEntry entry = Named(fields[0], fields[1], fields[2]);
  const std::array<std::int32_t*, 4> counts{&entry.asked, &entry.correct, &entry.wrong, &entry.unanswered};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const auto count = Count(fields[3 + i]);
    if (!count) {
      fault = "a count that is no number";
      return std::nullopt;
    }
    *counts[i] = *count;
  }
  entry.lastSeen = std::string(fields[7]);
  if (entry.idiom.empty() || entry.reading.empty()) fault = "an idiom or reading is empty";
  else if (std::int64_t{entry.asked} != std::int64_t{entry.correct} + entry.wrong + entry.unanswered) fault = "the counts do not add up";
  else if (!IsDate(entry.lastSeen)) fault = "the date is not YYYY-MM-DD";
  if (!fault.empty()) return std::nullopt;
  return entry;
}

void AppendLine(std::string& text, std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) text += '\t';
    text += field;
    first = false;
  }
  text += '\n';
}

}  // namespace

std::optional<StudyRecord> StudyRecord::Parse(std::string_view text, std::string& fault) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const auto lines = Split(text, '\n');
  const auto withoutCr = [](std::string_view line) { return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line; };
  if (withoutCr(lines[0]) != kHeader) {
    fault = "line 1 is not the study record's header";
    return std::nullopt;
  }
  StudyRecord record;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    auto entry = ParseEntry(withoutCr(lines[i]), fault);
    if (entry && !record.Add(std::move(*entry))) fault = "the idiom is listed twice";
    if (!fault.empty()) {
      fault = "line " + std::to_string(i + 1) + ": " + fault;
      return std::nullopt;
    }
  }
  return record;
}

bool StudyRecord::Add(StudyEntry entry) {
  if (!byKey_.emplace(Key(entry.idiom, entry.reading), entries_.size()).second) return false;
  entries_.push_back(std::move(entry));
  return true;
}

std::string StudyRecord::Text() const {
  std::string text(kHeader);
  text += '\n';
  for (const StudyEntry& e : entries_) {
    AppendLine(text, {e.idiom, e.reading, e.meaning, std::to_string(e.asked), std::to_string(e.correct),
                      std::to_string(e.wrong), std::to_string(e.unanswered), e.lastSeen});
  }
  return text;
}

std::string StudyRecord::ReviewExport() const {
  std::string text(kExportHeader);
  text += '\n';
  for (const StudyEntry& e : entries_) {
    AppendLine(text, {e.idiom, e.reading, e.meaning, std::to_string(e.asked), std::to_string(e.correct),
                      std::to_string(e.Missed()), e.lastSeen});
  }
  return text;
}

std::size_t StudyRecord::EntryFor(std::string_view idiom, std::string_view reading, std::string_view meaning) {
  StudyEntry entry = Named(FieldText(idiom), FieldText(reading), FieldText(meaning));
  const auto found = byKey_.find(Key(entry.idiom, entry.reading));
  if (found != byKey_.end()) {
    // The player may have reworded a meaning; the latest one is kept.
    entries_[found->second].meaning = std::move(entry.meaning);
    return found->second;
  }
  Add(std::move(entry));
  return entries_.size() - 1;
}

void StudyRecord::Note(std::string_view idiom, std::string_view reading, std::string_view meaning,
                       StudyOutcome outcome, std::string_view date) {
  const std::size_t index = EntryFor(idiom, reading, meaning);
  StudyEntry& entry = entries_[index];
  entry.lastSeen = std::string(date);
  if (entry.asked < kCountCeiling) {
    entry.asked += 1;
    (outcome == StudyOutcome::Correct ? entry.correct : outcome == StudyOutcome::Wrong ? entry.wrong
                                                                                        : entry.unanswered) += 1;
  }
  const bool missed = outcome != StudyOutcome::Correct;
  const auto met = std::find_if(session_.begin(), session_.end(), [&](const SessionIdiom& s) { return s.entry == index; });
  if (met == session_.end()) {
    session_.push_back({index, missed});
  } else {
    met->missed = met->missed || missed;
  }
}

std::string StudyRecord::KeyOf(std::string_view idiom, std::string_view reading) {
  return Key(FieldText(idiom), FieldText(reading));
}

std::int32_t StudyRecord::MissesOf(const std::string& key) const {
  const auto found = byKey_.find(key);
  return found == byKey_.end() ? 0 : entries_[found->second].Missed();
}

std::vector<ReviewItem> StudyRecord::Review() const {
  std::vector<ReviewItem> items;
  const auto item = [this](std::size_t index, bool missed) {
    const StudyEntry& e = entries_[index];
    return ReviewItem{e.idiom, e.reading, e.meaning, missed};
  };
  if (!session_.empty()) {
    for (const bool missed : {true, false}) {
      for (const SessionIdiom& s : session_) {
        if (s.missed == missed) items.push_back(item(s.entry, missed));
      }
    }
    return items;
  }
  std::vector<std::size_t> missed;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].Missed() > 0) missed.push_back(i);
  }
  std::stable_sort(missed.begin(), missed.end(),
                   [this](std::size_t a, std::size_t b) { return entries_[a].Missed() > entries_[b].Missed(); });
  for (const std::size_t index : missed) items.push_back(item(index, true));
  return items;
}
