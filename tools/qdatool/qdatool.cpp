// qdatool: lists, extracts and packs the game's picture archive.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "QDAWriter.h"
#include "QDArc.h"
#include "platform/codepage.h"

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  qdatool list ARCHIVE\n"
    "      one line per member: original size, stored size, ID\n"
    "  qdatool extract ARCHIVE ID [OUT]\n"
    "      writes the member's bytes to OUT, or to standard output\n"
    "  qdatool pack [--compress] ARCHIVE FILE...\n"
    "      writes a new archive; each member's ID is its file's name;\n"
    "      --compress stores the members byte-pair compressed\n"
    "  qdatool --help\n"
    "IDs are matched without regard to the case of ASCII letters.\n";

// Wrong command line: exit 2 with a hint; anything else that fails: exit 1.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ShiftJisId(std::string_view utf8) {
  const std::optional<std::string> id = platform::Utf8ToCp932(utf8);
  if (!id) throw std::runtime_error("'" + std::string(utf8) + "' cannot be written in Shift-JIS");
  return *id;
}

void WriteToStandardOutput(std::span<const std::uint8_t> bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
    throw std::runtime_error("cannot write to standard output");
  }
}

int List(std::span<const std::string> args) {
  if (args.size() != 1) throw UsageError("list takes one ARCHIVE");
  TFileStream archive(args[0]);
  const QDAIndex index = QDAReadIndex(archive);
  std::cout << (index.Compressed ? "compressed" : "raw") << ", " << index.Entries.size()
            << (index.Entries.size() == 1 ? " member\n" : " members\n");
  for (const QDAEntry& entry : index.Entries) {
    std::cout << entry.OriginalSize << '\t' << entry.StoredSize << '\t'
              << platform::Cp932ToUtf8(entry.Name) << '\n';
  }
  return 0;
}

int Extract(std::span<const std::string> args) {
  if (args.size() != 2 && args.size() != 3) throw UsageError("extract takes ARCHIVE ID [OUT]");
  TFileStream archive(args[0]);
  const std::unique_ptr<TMemoryStream> member = QDAReadMemberFromStream(archive, ShiftJisId(args[1]));
  if (args.size() == 3) {
    WriteFileAtomically(args[2], member->Memory());
  } else {
    WriteToStandardOutput(member->Memory());
  }
  return 0;
}

int Pack(std::span<const std::string> args) {
  const bool compress = !args.empty() && args[0] == "--compress";
  if (compress) args = args.subspan(1);
  if (args.size() < 2) throw UsageError("pack takes [--compress] ARCHIVE FILE...");
  std::vector<QDAMemberSource> members;
  for (const std::string& file : args.subspan(1)) {
    const std::filesystem::path path(file);
    members.push_back({ShiftJisId(path.filename().string()), ReadWholeFile(path)});
  }
  WriteFileAtomically(args[0], QDABuildArchive(members, compress));
  return 0;
}

int Run(std::span<const std::string> args) {
  if (args.empty()) throw UsageError("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "list") return List(args.subspan(1));
  if (command == "extract") return Extract(args.subspan(1));
  if (command == "pack") return Pack(args.subspan(1));
  throw UsageError("unknown command '" + command + "'");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return Run(args);
  } catch (const UsageError& error) {
    std::cerr << "qdatool: " << error.what() << "\nTry 'qdatool --help'.\n";
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "qdatool: " << error.what() << '\n';
    return 1;
  }
}
