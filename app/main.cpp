#include <cstdio>
#include <optional>
#include <string_view>

#include "Unit1.h"

namespace {

constexpr const char* kUsage = "usage: kotobune [--window | --fullscreen] [--help] [--version]\n";
constexpr const char* kHelp =
    "ことぶね: shoot the characters of two Japanese idioms in the right order.\n"
    "\n"
    "  --window      play in a window (Alt+Enter switches while playing)\n"
    "  --fullscreen  play on the whole screen\n"
    "  Without either, the game starts as it was last left (the whole screen at first).\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n";

enum class Action { Play, Help, Version, Misuse };

struct CommandLine {
  Action action = Action::Play;
  std::optional<platform::WindowMode> mode{};  // else the mode last played in
};

CommandLine Parse(int argc, char** argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (option == "--help" || option == "-h") return {Action::Help};
    if (option == "--version") return {Action::Version};
    if (option == "--window") {
      line.mode = platform::WindowMode::Window;
    } else if (option == "--fullscreen") {
      line.mode = platform::WindowMode::FullScreen;
    } else {
      std::fprintf(stderr, "kotobune: unknown option '%s'\n", argv[i]);
      return {Action::Misuse};
    }
  }
  return line;
}

int Play(std::optional<platform::WindowMode> mode) {
  try {
    TApplication Application;
    Application.Initialize();
    if (mode) platform::SetWindowMode(*mode);
    Application.Title = Sjis(u"ことぶね");
    Application.CreateForm<TForm1>();
    Application.Run();
  } catch (const EProgramHalt&) {
    return 1;  // the component has said why
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ことぶね: %s\n", error.what());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "ことぶね: stopped by an unexpected error\n");
    return 1;
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
    case Action::Play:
      break;
  }
  return Play(line.mode);
}
