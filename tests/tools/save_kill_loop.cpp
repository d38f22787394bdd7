// Kills a game again and again at random instants while it saves, and counts the times the
// record and the saved idioms were left from different saves. Its answer depends on timing,
// so it is a tool to run by hand rather than a test.
// Usage: save_kill_loop [KILLS]
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "Unit1.h"
#include "platform/codepage.h"
#include "platform/headless.h"
#include "platform/ini.h"
#include "support/temp_folder.h"

namespace {

constexpr const char* kIdiomSource = "data/\xe8\xbf\xbd\xe5\x8a\xa0\xe5\x95\x8f\xe9\xa1\x8c.txt";  // 追加問題.txt

void PrepareFolder(const TempFolder& folder) {
  std::filesystem::create_directory(folder.Native("data"));
  std::filesystem::create_symlink(std::filesystem::path(KOTOBUNE_DATA_DIR) / "data.qda", folder.Native("data/data.qda"));
  std::string idioms;
  for (int i = 0; i < 15; ++i) idioms += "#\r\n";
  idioms += Sjis(u"一期一会\r\n一生に一度\r\nいちごいちえ\r\n");
  folder.Write(kIdiomSource, idioms);
}

// Save n carries n as its score and as the meaning of the round's user idiom.
[[noreturn]] void SaveForever(const TempFolder& folder, int ready) {
  headless::Reset();
  headless::SetExeName(folder.Native("kotobune"));
  TApplication application;
  application.Initialize();
  TForm1& game = application.CreateForm<TForm1>();
  game.questionIndex[0] = kBuiltinIdiomCount;
  const char signal = 1;
  if (::write(ready, &signal, 1) != 1) std::_Exit(2);
  for (std::int32_t n = 1;; ++n) {
    game.score = n;
    const std::string digits = std::to_string(n);
    game.extraMeaning[0] = std::u16string(digits.begin(), digits.end());
    game.SaveGame();
  }
}

// True when both files are from the same save, or there is no saved game yet.
bool PairReadMatches(const TempFolder& folder) {
  const std::string record = folder.Read("data/record1.dat");
  if (record.size() != static_cast<std::size_t>(kRecordSize)) return true;
  const std::int32_t score = RecordInt(reinterpret_cast<const std::uint8_t*>(&record[520]));
  const std::string meaning = GetPrivateProfileStringA("0", "Imi", "", folder.Game("data\\tuika.ini"));
  return meaning == std::to_string(score);
}

// As the next start finds them: start-up first finishes a save cut short.
bool PairMatches(const TempFolder& folder) {
  const pid_t child = ::fork();
  if (child == 0) {
    headless::Reset();
    headless::SetExeName(folder.Native("kotobune"));
    TApplication application;
    application.Initialize();
    application.CreateForm<TForm1>();
    std::_Exit(PairReadMatches(folder) ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts a saving game and kills it once it has saved for a random while.
void KillWhileSaving(const TempFolder& folder, std::mt19937& random) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) std::exit(2);
  const pid_t child = ::fork();
  if (child == 0) SaveForever(folder, pipeEnds[1]);
  char signal = 0;
  if (::read(pipeEnds[0], &signal, 1) != 1) std::exit(2);
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
  ::usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const int kills = argc > 1 ? std::atoi(argv[1]) : 200;
  const TempFolder folder;
  PrepareFolder(folder);
  std::mt19937 random(std::random_device{}());
  int mismatched = 0;
  for (int i = 0; i < kills; ++i) {
    KillWhileSaving(folder, random);
    if (!PairMatches(folder)) ++mismatched;
  }
  std::printf("%d kills during saving, %d mismatched pairs\n", kills, mismatched);
  return mismatched == 0 ? 0 : 1;
}
