#include <string>
#include <vector>

#include "backend.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/present.h"

namespace platform::present {

namespace {

constexpr const char* kSection = "Display";
constexpr const char* kWindowedKey = "Window";
constexpr const char* kWidthKey = "WindowWidth";
constexpr const char* kHeightKey = "WindowHeight";
constexpr const char* kScaleKey = "Scale";
// Smaller than this, a saved size is a typing slip rather than a window anyone played in.
constexpr int kSmallestSide = 64;

std::optional<int> Number(const std::string& file, const char* key) {
  const std::string text = GetPrivateProfileStringA(kSection, key, "", file);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 6) {
    return std::nullopt;
  }
  return std::stoi(text);
}

// Written in one replacement, the rest of the file kept as it is.
Result<> WriteEntries(const std::vector<ProfileEntry>& entries) {
  const std::string file = SettingsFile();
  const auto bytes = ProfileWithEntries(file, entries);
  if (!bytes) return bytes.Why();
  const FileReplacement replacement{file, *bytes};
  return ReplaceFiles({&replacement, 1});
}

}  // namespace

std::string SettingsFile() {
  return ExtractFilePath(Utf8ToCp932Lossy(backend::ExeNameUtf8())) + "data\\settei.ini";
}

ScaleMode CurrentScaleMode() { return backend::CurrentScaleMode(); }
void SetScaleMode(ScaleMode mode) { backend::SetScaleMode(mode); }

WindowSetting SavedWindowSetting() {
  const std::string file = SettingsFile();
  WindowSetting setting;
  const auto windowed = Number(file, kWindowedKey);
  if (windowed && *windowed <= 1) setting.windowed = *windowed == 1;
  const auto width = Number(file, kWidthKey), height = Number(file, kHeightKey);
  if (width && height && *width >= kSmallestSide && *height >= kSmallestSide) setting.size = Size{*width, *height};
  return setting;
}

Result<> SaveWindowSetting(const WindowSetting& setting) {
  const WindowSetting saved = SavedWindowSetting();
  std::vector<ProfileEntry> entries;
  if (setting.windowed && *setting.windowed != saved.windowed.value_or(false)) {
    entries.push_back({kSection, kWindowedKey, *setting.windowed ? "1" : "0"});
  }
  if (setting.size && setting.size != saved.size) {
    entries.push_back({kSection, kWidthKey, std::to_string(setting.size->width)});
    entries.push_back({kSection, kHeightKey, std::to_string(setting.size->height)});
  }
  if (entries.empty()) return {};
  return WriteEntries(entries);
}

ScaleMode ScaleModeSetting() {
  const std::string name = GetPrivateProfileStringA(kSection, kScaleKey, ScaleModeName(ScaleMode::Sharp), SettingsFile());
  return ParseScaleMode(name).value_or(ScaleMode::Sharp);
}

Result<> SaveScaleMode(ScaleMode mode) {
  return WriteEntries({{kSection, kScaleKey, std::string(ScaleModeName(mode))}});
}

}  // namespace platform::present
