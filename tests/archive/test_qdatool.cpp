#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <random>

#include "BytePair.h"
#include "QDAWriter.h"
#include "archive/archive_bytes.h"
#include "archive/sample_pictures.h"
#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text) { return {text.begin(), text.end()}; }

Bytes RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(size);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
  return bytes;
}

Bytes Text() {
  std::string text;
  for (int line = 0; line < 300; ++line) {
    text += "四字熟語 " + std::to_string(line) + ": the quick brown shark jumps over the lazy ball.\r\n";
  }
  return ToBytes(text);
}

// What a packer must survive: runs that nest pairs deeply, every byte value, nothing at all.
std::vector<QDAMemberSource> RoundTripMembers() {
  Bytes everyValue;
  for (int i = 0; i < 20000; ++i) everyValue.push_back(static_cast<std::uint8_t>(i * 7));
  return {
      {"text.txt", Text()},
      {"same0.bmp", MakeSampleBmp(64, 64)},
      {"back.bmp", MakeSampleBmp(480, 480, 3)},
      {"odd.bmp", MakeSampleBmp(37, 11, 5)},
      {"random.bin", RandomBytes(30000, 1)},
      {"zeros.bin", Bytes(100000, 0)},
      {"every.bin", everyValue},
      {"one.bin", Bytes{42}},
      {"empty.bin", {}},
  };
}

TEST(QDAWriterRoundTrip, ReaderExpandsEverythingToTheOriginalBytes) {
  const std::vector<QDAMemberSource> members = RoundTripMembers();
  for (const bool compress : {true, false}) {
    const Bytes archive = QDABuildArchive(members, compress);
    for (const QDAMemberSource& member : members) {
      EXPECT_EQ(ReadMember(archive, member.Name), AsString(member.Bytes)) << member.Name << " compress=" << compress;
    }
  }
}

// Few byte values in random order: overlapping runs ("aaa") and pairs of pairs at every turn.
TEST(QDAWriterRoundTrip, SmallAlphabetsOfEveryLength) {
  std::mt19937 random(5);
  for (const int alphabet : {1, 2, 3, 16}) {
    for (int round = 0; round < 20; ++round) {
      Bytes original(random() % 20000);
      for (auto& byte : original) byte = static_cast<std::uint8_t>('a' + random() % alphabet);
      TMemoryStream packed(BytePairCompress(original));
      ASSERT_EQ(AsString(QDAExpand(packed, static_cast<std::int32_t>(original.size()))->Memory()), AsString(original))
          << "alphabet " << alphabet << ", " << original.size() << " bytes";
    }
  }
}

TEST(QDAWriterRoundTrip, CompressedPicturesAndTextAreMuchSmaller) {
  for (const Bytes& original : {MakeSampleBmp(64, 64), MakeSampleBmp(480, 480), Text()}) {
    const std::size_t packed = BytePairCompress(original).size();
    EXPECT_LT(packed * 2, original.size()) << original.size() << " -> " << packed;
  }
  // Noise cannot shrink; it may only grow by its tables.
  EXPECT_LT(BytePairCompress(RandomBytes(30000, 2)).size(), 30000u * 101 / 100);
}

TEST(QDAWriter, RefusesNamesThatCannotBeStoredOrFound) {
  const auto build = [](std::vector<QDAMemberSource> members) { return QDABuildArchive(members, false); };
  EXPECT_THROW(build({{"A.bmp", {}}, {"a.BMP", {}}}), std::invalid_argument);
  EXPECT_THROW(build({{std::string(256, 'n'), {}}}), std::invalid_argument);
  EXPECT_THROW(build({{"", {}}}), std::invalid_argument);
  EXPECT_NO_THROW(build({{std::string(255, 'n'), {}}}));
}

struct ToolResult {
  int exitCode;
  std::string out;
  std::string err;
};

std::string Quoted(const std::string& argument) {
  std::string quoted = "'";
  for (const char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ToolResult RunTool(const TempFolder& folder, const std::vector<std::string>& args) {
  std::string command = Quoted(QDATOOL_PATH);
  for (const std::string& argument : args) command += " " + Quoted(argument);
  command += " 2>" + Quoted(folder.Native("stderr.txt"));
  ToolResult result{-1, {}, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, got);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = folder.Read("stderr.txt");
  return result;
}

class QdatoolCli : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.Write("Title.bmp", AsString(MakeSampleBmp(64, 32)));
    folder.Write("readme.txt", "hello");
  }
  ToolResult Run(const std::vector<std::string>& args) { return RunTool(folder, args); }
  std::string Path(std::string_view name) const { return folder.Native(name); }

  TempFolder folder;
};

TEST_F(QdatoolCli, PackListAndExtractRoundTrip) {
  for (const bool compress : {true, false}) {
    std::vector<std::string> pack{"pack"};
    if (compress) pack.push_back("--compress");
    pack.insert(pack.end(), {Path("a.qda"), Path("Title.bmp"), Path("readme.txt")});
    ASSERT_EQ(Run(pack).exitCode, 0);

    const ToolResult list = Run({"list", Path("a.qda")});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find(compress ? "compressed, 2 members" : "raw, 2 members"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("6198\t"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\tTitle.bmp\n"), std::string::npos) << list.out;

    const ToolResult toStdout = Run({"extract", Path("a.qda"), "README.TXT"});
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_EQ(toStdout.out, "hello");
    ASSERT_EQ(Run({"extract", Path("a.qda"), "title.bmp", Path("out.bmp")}).exitCode, 0);
    EXPECT_EQ(folder.Read("out.bmp"), folder.Read("Title.bmp"));
  }
}

TEST_F(QdatoolCli, JapaneseFileNamesBecomeShiftJisIds) {
  folder.Write("鮫.bmp", "shark");
  ASSERT_EQ(Run({"pack", Path("a.qda"), Path("鮫.bmp")}).exitCode, 0);
  EXPECT_EQ(ReadMember(ToBytes(folder.Read("a.qda")), "\x8E\x4C.bmp"), "shark");
  EXPECT_NE(Run({"list", Path("a.qda")}).out.find("\t鮫.bmp\n"), std::string::npos);
  EXPECT_EQ(Run({"extract", Path("a.qda"), "鮫.BMP"}).out, "shark");
}

TEST_F(QdatoolCli, HelpAndUsageErrors) {
  const ToolResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("qdatool pack [--compress] ARCHIVE FILE..."), std::string::npos);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"list"}, {"extract", Path("a.qda")}, {"pack", Path("a.qda")}, {"pack", "--compress"}}) {
    const ToolResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("qdatool --help"), std::string::npos) << result.err;
  }
}

TEST_F(QdatoolCli, FailuresExitNonZeroWithAReasonAndLeaveTheArchiveAlone) {
  ASSERT_EQ(Run({"pack", Path("a.qda"), Path("readme.txt")}).exitCode, 0);
  const std::string before = folder.Read("a.qda");

  const ToolResult missingInput = Run({"pack", Path("a.qda"), Path("readme.txt"), Path("gone.bmp")});
  EXPECT_EQ(missingInput.exitCode, 1);
  EXPECT_NE(missingInput.err.find("gone.bmp"), std::string::npos) << missingInput.err;
  const ToolResult duplicate = Run({"pack", Path("a.qda"), Path("readme.txt"), Path("readme.txt")});
  EXPECT_EQ(duplicate.exitCode, 1);
  EXPECT_NE(duplicate.err.find("twice"), std::string::npos) << duplicate.err;
  EXPECT_EQ(folder.Read("a.qda"), before);

  const ToolResult unknownId = Run({"extract", Path("a.qda"), "Nope.bmp"});
  EXPECT_EQ(unknownId.exitCode, 1);
  EXPECT_NE(unknownId.err.find("'Nope.bmp'"), std::string::npos) << unknownId.err;
  EXPECT_EQ(Run({"list", Path("missing.qda")}).exitCode, 1);
  EXPECT_EQ(Run({"list", Path("readme.txt")}).err, "qdatool: Quadruple D Archiveの扱えるデータではありません\n");
  EXPECT_EQ(Run({"extract", Path("a.qda"), "readme.txt", Path("no/such/folder/out")}).exitCode, 1);

  std::filesystem::directory_iterator files(folder.Native());
  const auto leftovers = std::count_if(begin(files), end(files), [](const auto& entry) {
    return entry.path().filename().string().find(".qda.") != std::string::npos;
  });
  EXPECT_EQ(leftovers, 0) << "temporary files left behind";
}

}  // namespace
