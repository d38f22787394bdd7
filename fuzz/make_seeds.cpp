// make_seeds DATA OUT: the fuzz targets' first inputs, one folder per target under OUT, from
// the game's built data and the shapes the tests build. Members of the built archive are kept
// small, so that mutations stay quick.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "QDAWriter.h"
#include "QDArc.h"
#include "archive/sample_pictures.h"
#include "game/record_bytes.h"
#include "sound/wave_files.h"
#include "support/audio_files.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr std::size_t kLargestSeed = 16 * 1024;
constexpr std::size_t kArchiveMembersTaken = 4;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Seeds {
 public:
  explicit Seeds(fs::path folder) : folder_(std::move(folder)) { fs::create_directories(folder_); }

  void Add(const std::string& name, const Bytes& bytes) const {
    std::ofstream(folder_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void Add(const std::string& name, const std::string& bytes) const { Add(name, Bytes(bytes.begin(), bytes.end())); }
  // The file's first bytes: for media files a cut is still a file worth reading.
  void AddStartOf(const fs::path& file) const {
    Bytes bytes = ReadFile(file);
    bytes.resize(std::min(bytes.size(), kLargestSeed));
    Add(file.filename().string(), bytes);
  }

 private:
  fs::path folder_;
};

// The smallest members of the built archive.
std::vector<QDAMemberSource> SmallPictures(const fs::path& archiveFile) {
  TMemoryStream archive(ReadFile(archiveFile));
  QDAIndex index = QDAReadIndex(archive);
  std::sort(index.Entries.begin(), index.Entries.end(),
            [](const QDAEntry& a, const QDAEntry& b) { return a.OriginalSize < b.OriginalSize; });
  std::vector<QDAMemberSource> members;
  for (std::size_t i = 0; i < index.Entries.size() && i < kArchiveMembersTaken; ++i) {
    archive.SetPosition(0);
    const auto member = QDAReadMemberFromStream(archive, index.Entries[i].Name);
    members.push_back({index.Entries[i].Name, {member->Memory().begin(), member->Memory().end()}});
  }
  return members;
}

void ArchiveAndBitmapSeeds(const fs::path& data, const fs::path& out) {
  std::vector<QDAMemberSource> members = SmallPictures(data / "data.qda");
  members.push_back({"sample.bmp", MakeSampleBmp(24, 16)});
  const Seeds archives(out / "fuzz_archive"), bitmaps(out / "fuzz_bitmap");
  archives.Add("raw.qda", QDABuildArchive(members, false));
  archives.Add("compressed.qda", QDABuildArchive(members, true));
  for (std::size_t i = 0; i < members.size(); ++i) {
    bitmaps.Add("picture" + std::to_string(i) + ".bmp", members[i].Bytes);
  }
}

void WaveSeeds(const fs::path& data, const fs::path& out) {
  using namespace wave_files;
  const Seeds waves(out / "fuzz_wave");
  waves.AddStartOf(data / "shoot.wav");
  waves.Add("stereo16.wav", Wave16(2, 22050, {0, 1000, -1000, 32767, -32768, 5}));
  const std::string eightBit("\x80\xff\x00\x40", 4);
  waves.Add("mono8.wav", Riff("WAVE", Chunk("fmt ", Format(1, 1, 11025, 8)) + Chunk("data", eightBit)));
}

void TextSeeds(const fs::path& data, const fs::path& out) {
  const Seeds settings(out / "fuzz_ini"), idioms(out / "fuzz_user_idioms");
  settings.AddStartOf(data / "settei.ini.sample");
  settings.Add("utf8.ini",
               std::string("\xEF\xBB\xBF[BGM]\r\nSettei=2\r\nMusicFolda=\"音楽\"\r\n[Font]\nName=IPAGothic\n"));
  idioms.AddStartOf(data / "追加問題.txt");
}

void RecordSeeds(const fs::path& out) {
  const Seeds records(out / "fuzz_record");
  records.Add("no_saved_game", RecordWith(31000, -1));
  records.Add("saved_game", RecordWith(20000, 0));
  records.Add("saved_with_idioms", RecordWith(20000, 0) +
                                       "[0]\r\nJukugo=\x8e\x6c\x8e\x9a\x8f\x6e\x8c\xea\r\nImi=four\r\nYomi=yoji\r\n");
}

void MusicSeeds(const fs::path& data, const fs::path& out) {
  const Seeds mp3(out / "fuzz_mp3"), midi(out / "fuzz_midi");
  mp3.AddStartOf(data / "tamsu01.mp3");
  mp3.AddStartOf(data / "parade.mp3");
  midi.AddStartOf(data / "music" / "tamsu01.mid");
  midi.AddStartOf(data / "music" / "umibe.mid");
  midi.Add("arpeggio.mid", test_audio::Arpeggio());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds DATA OUT\n");
    return 2;
  }
  const fs::path data = argv[1], out = argv[2];
  try {
    ArchiveAndBitmapSeeds(data, out);
    WaveSeeds(data, out);
    TextSeeds(data, out);
    RecordSeeds(out);
    MusicSeeds(data, out);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "make_seeds: %s\n", error.what());
    return 1;
  }
  return 0;
}
