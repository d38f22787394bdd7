#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "Unit1.h"
#include "platform/files.h"

namespace {

constexpr const char* kUsage =
    "usage: kotobune [--window | --fullscreen] [--help] [--version]\n"
    "       kotobune --export-review FILE|-\n";
constexpr const char* kHelp =
    "ことぶね: shoot the characters of two Japanese idioms in the right order.\n"
    "\n"
    "  --window      play in a window (Alt+Enter switches while playing)\n"
    "  --fullscreen  play on the whole screen\n"
    "  Without either, the game starts as it was last left (the whole screen at first).\n"
    "  --export-review FILE\n"
    "                write every idiom met so far, with its reading, meaning and how it went,\n"
    "                as tab-separated text for flashcard programs to FILE (- for standard\n"
    "                output) and exit\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n";

enum class Action { Play, Help, Version, ExportReview, Misuse };

struct CommandLine {
  Action action = Action::Play;
  std::optional<platform::WindowMode> mode{};  // else the mode last played in
  std::string exportTarget;
};

CommandLine Only(Action action) {
  CommandLine line;
  line.action = action;
  return line;
}

CommandLine Parse(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") return Only(Action::Help);
    if (option == "--version") return Only(Action::Version);
    if (option == "--export-review") {
      if (i + 1 < argc) {
        line.action = Action::ExportReview;
        line.exportTarget = argv[i + 1];
        return line;
      }
      std::fprintf(stderr, "kotobune: --export-review needs a file name, or - for standard output\n");
      return Only(Action::Misuse);
    }
    if (option == "--window") {
      line.mode = platform::WindowMode::Window;
    } else if (option == "--fullscreen") {
      line.mode = platform::WindowMode::FullScreen;
    } else {
      std::fprintf(stderr, "kotobune: unknown option '%s'\n", argv[i]);
      return Only(Action::Misuse);
    }
  }
  return line;
}

// A file is replaced whole or not at all; "-" is standard output.
platform::Result<> WriteReview(const std::string& text, const std::string& target) {
  if (target != "-") {
    return platform::ReplaceNativeFile(target, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return platform::Failure{"standard output: the review could not be written"};
  }
  return {};
}

int ExportReview(const std::string& target) {
  platform::UseProgramPlaces();
  const std::string exeDir = IncludeTrailingPathDelimiter(ExtractFilePath(platform::ProgramPath()));
  const auto record = ReadStudyFile(exeDir);
  if (!record) {
    std::fprintf(stderr, "kotobune: %s\n", record.Reason().c_str());
    return 1;
  }
  const std::string text = record->ReviewExport();
  const platform::Result<> written = WriteReview(text, target);
  if (written) return 0;
  std::fprintf(stderr, "kotobune: %s\n", written.Reason().c_str());
  return 1;
}

int Stopped(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  TellWhyTheGameStopped(line);
  return 1;
}

int Play(std::optional<platform::WindowMode> mode) {
  try {
    TApplication Application;
    Application.Initialize();
    if (mode) platform::SetWindowMode(*mode);
    Application.Title = Sjis(u"ことぶね");
    Application.CreateForm<TForm1>();
    Application.Run();
  } catch (const EProgramHalt& halt) {
    TellWhyTheGameStopped(halt.Line());  // the component has said why on standard error
    return 1;
  } catch (const std::exception& error) {
    return Stopped(std::string("ことぶね: ") + error.what());
  } catch (...) {
    return Stopped("ことぶね: stopped by an unexpected error");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine line = Parse(argc, argv);
  switch (line.action) {
    case Action::Help:
      std::fputs(kUsage, stdout);
      std::fputs(kHelp, stdout);
      return 0;
    case Action::Version:
      std::printf("kotobune %s\n", KOTOBUNE_VERSION);
      return 0;
    case Action::Misuse:
      std::fputs(kUsage, stderr);
      return 2;
    case Action::ExportReview:
      return ExportReview(line.exportTarget);
    case Action::Play:
      break;
  }
  return Play(line.mode);
}
