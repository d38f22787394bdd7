#pragma once
// The player's memory of the idioms: how often each was asked and how it went, kept apart
// from the record file as plain UTF-8 text, one idiom per line, keyed by idiom and reading
// so that it survives edits of the idiom file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// What became of an idiom asked in a round.
enum class StudyOutcome { Correct, Wrong, Unanswered };

struct StudyEntry {
  std::string idiom, reading, meaning;  // UTF-8, without tabs or line breaks
  std::int32_t asked = 0, correct = 0, wrong = 0, unanswered = 0;
  std::string lastSeen;  // YYYY-MM-DD
  std::int32_t Missed() const { return wrong + unanswered; }
};

// One idiom for the review page.
struct ReviewItem {
  std::string idiom, reading, meaning;
  bool missed = false;  // in this session, or ever when there is no session
};

class StudyRecord {
 public:
  // Nothing, and why in `fault`, unless the text is a study record this game wrote.
  static std::optional<StudyRecord> Parse(std::string_view text, std::string& fault);
  std::string Text() const;
  // For flashcard programs: idiom, reading, meaning, asked, correct, missed, last seen.
  std::string ReviewExport() const;

  void Note(std::string_view idiom, std::string_view reading, std::string_view meaning, StudyOutcome outcome,
            std::string_view date);
  // How an idiom is looked up; made once, it spares converting its texts at every look-up.
  static std::string KeyOf(std::string_view idiom, std::string_view reading);
  std::int32_t MissesOf(const std::string& key) const;
  const std::vector<StudyEntry>& Entries() const { return entries_; }

  // This session's idioms, its misses first, each group in the order met; with no session
  // yet, the idioms missed most often.
  std::vector<ReviewItem> Review() const;
  bool HasSession() const { return !session_.empty(); }

 private:
  struct SessionIdiom {
    std::size_t entry;
    bool missed;
  };
  std::vector<StudyEntry> entries_;
  std::unordered_map<std::string, std::size_t> byKey_;
  std::vector<SessionIdiom> session_;

  std::size_t EntryFor(std::string_view idiom, std::string_view reading, std::string_view meaning);
  bool Add(StudyEntry entry);
};
