#include <gtest/gtest.h>

#include "QDArc.h"
#include "archive/archive_bytes.h"
#include "support/temp_folder.h"

namespace {

using namespace std::string_literals;

const std::string kUnusable = "Quadruple D Archiveの扱えるデータではありません";

std::string NotFound(std::string_view id) {
  return "アーカイブ内には指定されたID '" + std::string(id) + "' を持つデータが見つかりません";
}

std::string ErrorOf(const std::vector<std::uint8_t>& archive, std::string_view id) {
  try {
    ReadMember(archive, id);
  } catch (const EQDAError& error) {
    return error.what();
  }
  return "(no error)";
}

// One raw member "abc" named Title.bmp, plus whatever else a test needs.
std::vector<std::uint8_t> TitleArchive() {
  return RawArchive(0, {{DataStart(1), 3, 3, "Title.bmp"}}, "abc");
}

TEST(QDArcLookup, IdsMatchIgnoringAsciiCaseAndErrorsKeepTheCallersSpelling) {
  EXPECT_EQ(ReadMember(TitleArchive(), "TITLE.BMP"), "abc");
  EXPECT_EQ(ReadMember(TitleArchive(), "title.bmp"), "abc");
  EXPECT_EQ(ErrorOf(TitleArchive(), "Title.BMPX"), NotFound("Title.BMPX"));
  EXPECT_EQ(ErrorOf(TitleArchive(), "Title"), NotFound("Title"));
}

TEST(QDArcLookup, SecondByteOfDoubleByteCharacterIsNotFolded) {
  // 0x83 0x41 and 0x83 0x61 are two different katakana; folding the trail byte would merge them.
  const auto archive = RawArchive(0, {{DataStart(1), 1, 1, "\x83\x41.bmp"}}, "k");
  EXPECT_EQ(ReadMember(archive, "\x83\x41.BMP"), "k");
  EXPECT_THROW(ReadMember(archive, "\x83\x61.bmp"), EQDAError);
}

TEST(QDArcLookup, FirstOfTwoDuplicatesWins) {
  const std::uint32_t data = DataStart(2);
  const auto archive =
      RawArchive(0, {{data, 5, 5, "same0.bmp"}, {data + 5, 6, 6, "SAME0.BMP"}}, "firstsecond");
  EXPECT_EQ(ReadMember(archive, "same0.bmp"), "first");
}

TEST(QDArcLookup, NoEntriesOrOffsetZeroMeanNotFound) {
  EXPECT_EQ(ErrorOf(RawArchive(0, {}, ""), "a.bmp"), NotFound("a.bmp"));
  // The later duplicate with a real offset is never seen.
  const auto archive =
      RawArchive(0, {{0, 3, 3, "a.bmp"}, {DataStart(3), 3, 3, "a.bmp"}, {DataStart(3), 3, 3, "b.bmp"}},
                 "xyz");
  EXPECT_EQ(ErrorOf(archive, "a.bmp"), NotFound("a.bmp"));
  EXPECT_EQ(ReadMember(archive, "b.bmp"), "xyz");
}

TEST(QDArcRaw, ReadsOriginalSizeWhateverStoredSizeSays) {
  const auto archive = RawArchive(7, {{DataStart(2), -1, 2, "a"}, {DataStart(2) + 2, 999999, 3, "b"}}, "12345");
  EXPECT_EQ(ReadMember(archive, "a"), "12");
  EXPECT_EQ(ReadMember(archive, "b"), "345");
}

TEST(QDArcRaw, ResultStartsAtZeroAndArchiveIsLeftAtMemberEnd) {
  TMemoryStream stream(RawArchive(0, {{DataStart(1), 2, 2, "a"}}, "xy-trailing"));
  const auto member = QDAReadMemberFromStream(stream, "a");
  EXPECT_EQ(member->Position(), 0);
  EXPECT_EQ(member->Size(), 2);
  EXPECT_EQ(stream.Position(), DataStart(1) + 2);
}

// Pair tables: 255 skips codes 0..127 and is followed by the entry of code 128.
const std::string kAllLiteralTable = "\xFF\x80\xFE"s;

std::string PackedBlock(const std::string& table, const std::string& packed) {
  std::string block = table;
  for (int i = 0; i < 4; ++i) block.push_back(static_cast<char>(packed.size() >> (8 * i)));
  return block + packed;
}

std::vector<std::uint8_t> CompressedArchive(const std::string& blocks, std::int32_t originalSize) {
  return RawArchive(1, {{DataStart(1), static_cast<std::int32_t>(blocks.size()), originalSize, "m"}}, blocks);
}

TEST(QDArcCompressed, AllLiteralTableCopiesEveryByteValueThrough) {
  const std::string packed = "\x00\x7F\x80\xFF"s;
  EXPECT_EQ(ReadMember(CompressedArchive(PackedBlock(kAllLiteralTable, packed), 4), "m"), packed);
}

TEST(QDArcCompressed, PairsExpandLeftFirstThroughNestedCodes) {
  // 128 = "ab", 129 = (128, 'c'); 253 then skips the remaining 126 codes.
  const std::string table = "\xFF" "ab" "\x00" "\x80" "c" "\xFD"s;
  EXPECT_EQ(ReadMember(CompressedArchive(PackedBlock(table, "\x81\x80-\x81"s), 9), "m"), "abcab-abc");
}

TEST(QDArcCompressed, BlocksAreConcatenatedEachWithItsOwnTable) {
  const std::string pairTable = "\xFF" "xy" "\xFE"s;
  const std::string blocks = PackedBlock(kAllLiteralTable, "ab\x80"s) + PackedBlock(pairTable, "\x80\x80z"s);
  EXPECT_EQ(ReadMember(CompressedArchive(blocks, 8), "m"), "ab\x80xyxyz"s);
}

TEST(QDArcCompressed, TableStartingWithPairRunsAndEmptyPackedData) {
  // Run byte 0 at k = 0: code 0 = "zz"; skip to 129, whose entry says literal; skip the rest.
  const std::string table = "\x00zz\xFF\x81\xFD"s;
  const std::string blocks = PackedBlock(table, "\x00"s) + PackedBlock(kAllLiteralTable, "");
  EXPECT_EQ(ReadMember(CompressedArchive(blocks, 2), "m"), "zz");
}

TEST(QDArcCompressed, ShortExpansionIsZeroPaddedToOriginalSize) {
  EXPECT_EQ(ReadMember(CompressedArchive(PackedBlock(kAllLiteralTable, "ab"), 4), "m"), "ab\0\0"s);
}

TEST(QDArcCompressed, ResultStartsAtZeroAndSourceIsConsumed) {
  TMemoryStream source(std::vector<std::uint8_t>{0xFF, 0x80, 0xFE, 1, 0, 0, 0, 'q'});
  const auto expanded = QDAExpand(source, 1);
  EXPECT_EQ(expanded->Position(), 0);
  EXPECT_EQ(AsString(expanded->Memory()), "q");
  EXPECT_EQ(source.Position(), source.Size());
}

struct MalformedCase {
  const char* what;
  std::vector<std::uint8_t> archive;
  const char* id = "m";
};

std::vector<MalformedCase> MalformedArchives() {
  auto badSignature = TitleArchive();
  badSignature[7] = '1';
  auto shortHeader = TitleArchive();
  shortHeader.resize(100);
  auto tooManyEntries = TitleArchive();
  tooManyEntries[8] = 2;
  auto negativeCount = TitleArchive();
  negativeCount[11] = 0x80;
  auto unterminatedName = TitleArchive();
  std::fill_n(unterminatedName.begin() + QDAHeaderSize + 12, QDANameSize, 'n');
  const std::uint32_t end = DataStart(1) + 3;
  const std::string runsPast255 = "\xFF" "ab" "\xFF"s;           // k = 129 + 128
  const std::string entriesPast255 = "\xFF\x80\x7F"s + std::string(128, 'x');  // 129 + 128 entries
  const std::string cycle = "\xFF\x81" "a" "\x00\x80" "a" "\xFD"s;  // 128 = (129, a), 129 = (128, a)
  return {
      {"signature", badSignature, "Title.bmp"},
      {"header cut short", shortHeader, "Title.bmp"},
      {"index past the end", tooManyEntries, "Title.bmp"},
      {"negative entry count", negativeCount, "Title.bmp"},
      {"name without NUL", unterminatedName, "Title.bmp"},
      {"raw offset past the end", RawArchive(0, {{end + 1, 3, 3, "m"}}, "abc")},
      {"raw member past the end", RawArchive(0, {{DataStart(1), 3, 4, "m"}}, "abc")},
      {"negative raw size", RawArchive(0, {{DataStart(1), 3, -1, "m"}}, "abc")},
      {"stored member past the end", RawArchive(1, {{DataStart(1), 40, 3, "m"}}, "abc")},
      {"negative stored size", RawArchive(1, {{DataStart(1), -3, 3, "m"}}, "abc")},
      {"huge original size", CompressedArchive(PackedBlock(kAllLiteralTable, "a"), 0x7FFFFFFF)},
      {"run past code 255", CompressedArchive(PackedBlock(runsPast255, "a"), 1)},
      {"entries past code 255", CompressedArchive(PackedBlock(entriesPast255, "a"), 1)},
      {"table cut short", CompressedArchive("\xFF\x80"s, 1)},
      {"packed length cut short", CompressedArchive("\xFF\x80\xFE\x01\x00"s, 1)},
      {"packed length past the member", CompressedArchive(kAllLiteralTable + "\x05\0\0\0abc"s, 5)},
      {"stack overflow", CompressedArchive(PackedBlock(cycle, "\x80"s), 1000)},
      {"expansion longer than the member", CompressedArchive(PackedBlock(kAllLiteralTable, "abc"), 2)},
  };
}

TEST(QDArcMalformed, EveryCaseRaisesUnusableData) {
  for (const MalformedCase& malformed : MalformedArchives()) {
    EXPECT_EQ(ErrorOf(malformed.archive, malformed.id), kUnusable) << malformed.what;
  }
}

TEST(QDArcFile, ReadsByGamePathAndReportsMissingFile) {
  TempFolder folder;
  const auto archive = TitleArchive();
  folder.Write("data.qda", AsString(archive));
  EXPECT_EQ(AsString(QDAReadMember(folder.Game("data.qda"), "title.bmp")->Memory()), "abc");
  EXPECT_THROW(QDAReadMember(folder.Game("nothing.qda"), "title.bmp"), EFOpenError);
  EXPECT_THROW(QDAReadMember(folder.Game("data.qda"), "other.bmp"), EQDAError);
}

}  // namespace
