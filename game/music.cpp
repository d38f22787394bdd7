// Background music: chosen once at the title from data\settei.ini, then watched every idle pass.
#include <algorithm>
#include <cstring>

#include "Unit1.h"
#include "GameAssets.h"
#include "platform/files.h"
#include "platform/audio.h"
#include "platform/ini.h"
#include "platform/timer.h"
#include "platform/vbmp3.h"

namespace {

constexpr int kMidiPollInterval = 40;
// Far more than any music collection; a scan of a whole disk stops there.
constexpr std::size_t kScanEntryLimit = 20000;
constexpr int kScanDepthLimit = 12;
constexpr std::size_t kScanEntriesBetweenMessages = 256;
constexpr std::string_view kSoundSection = "Sound";
constexpr std::array<platform::audio::Bus, 2> kBuses{platform::audio::Bus::Music, platform::audio::Bus::Effects};

std::string_view VolumeKey(platform::audio::Bus bus) {
  return bus == platform::audio::Bus::Music ? "MusicVolume" : "EffectsVolume";
}

std::int32_t VolumeSetting(std::string_view key, const std::string& settings) {
  const auto value = static_cast<std::int32_t>(GetPrivateProfileIntA(kSoundSection, key, kFullVolume, settings));
  return std::clamp(value, 0, kFullVolume);
}

bool HasExtension(const std::string& path, std::string_view extension) { return ExtractFileExt(path) == extension; }

std::int32_t Mp3LengthSeconds(const std::array<std::uint8_t, kVbmp3InfoSize>& info) {
  std::int32_t seconds;
  std::memcpy(&seconds, &info[kVbmp3LengthOffset], sizeof seconds);
  return seconds;
}

}  // namespace

bool TForm1::BgmIsMidi() const { return HasExtension(bgmPath, ".mid"); }

bool TForm1::MusicSetUp() {
  const std::string settings = SettingsFile();
  const std::string ownMusic = exeDir + std::string(kOwnMusic);
  if (FileExists(settings)) {
    switch (static_cast<std::int32_t>(GetPrivateProfileIntA("BGM", "Settei", 0, settings))) {
      case 0:
        bgmPath = ownMusic;
        shuffleMode = false;
        break;
      case 1:
        bgmPath = GetPrivateProfileStringA("BGM", "MusicName", ownMusic, settings);
        shuffleMode = false;
        break;
      case 2:
        musicFolder = GetPrivateProfileStringA("BGM", "MusicFolda", "", settings);
        shuffleMode = true;
        break;
      default:
        break;
    }
  }
  if (!shuffleMode) {
    if (!FileExists(bgmPath)) bgmPath = ownMusic;
  } else if (!DirectoryExists(musicFolder)) {
    shuffleMode = false;
    bgmPath = ownMusic;
  } else if (!ChooseFirstShuffleTrack(ownMusic)) {
    return false;
  }
  Application.ProcessMessages();
  if (quitRequested) return false;
  MediaPlayer1.SetTimeFormat(tfBytes);
  vbmp3_init();
  if (HasExtension(bgmPath, ".mid")) StartMidi();
  if (HasExtension(bgmPath, ".mp3")) StartMp3();
  musicOn = true;
  bgmReady = true;
  return true;
}

bool TForm1::ChooseFirstShuffleTrack(const std::string& ownMusic) {
  std::vector<std::string> scanList;
  Application.ProcessMessages();
  if (quitRequested) return false;
  ScanMusicFolder(musicFolder, scanList);
  if (quitRequested) return false;
  if (scanList.empty()) {
    shuffleMode = false;
    bgmPath = ownMusic;
    return true;
  }
  trackNames = std::move(scanList);
  trackCount = static_cast<std::int32_t>(trackNames.size());
  trackPlayed.assign(trackNames.size(), false);
  const int first = Random(trackCount);
  bgmPath = trackNames[first];
  trackPlayed[first] = true;
  playedCount = 1;
  if (trackCount == 1) shuffleMode = false;
  return true;
}

// Depth first, in the order the folder lists its entries. Links to folders are not
// followed: a link back up the tree would never end. A folder as large as a whole disk is
// cut short, and the window keeps answering while it is read.
void TForm1::ScanMusicFolder(const std::string& folder, std::vector<std::string>& scanList) {
  std::size_t visited = 0;
  ScanMusicSubfolder(folder, 0, visited, scanList);
}

void TForm1::ScanMusicSubfolder(const std::string& folder, int depth, std::size_t& visited,
                                std::vector<std::string>& scanList) {
  const std::string prefix = IncludeTrailingPathDelimiter(folder);
  TSearchRec entry;
  if (FindFirst(prefix + "*.*", faAnyFile, entry) != 0) return;
  do {
    if (++visited > kScanEntryLimit || quitRequested) break;
    if (visited % kScanEntriesBetweenMessages == 0) Application.ProcessMessages();
    if ((entry.Attr & faDirectory) != 0) {
      const bool linked = (entry.Attr & faSymLink) != 0;
      if (entry.Name != "." && entry.Name != ".." && !linked && depth < kScanDepthLimit) {
        ScanMusicSubfolder(prefix + entry.Name, depth + 1, visited, scanList);
      }
    } else if (HasExtension(entry.Name, ".mid") || HasExtension(entry.Name, ".mp3")) {
      scanList.push_back(prefix + entry.Name);
    }
  } while (FindNext(entry) == 0);
  FindClose(entry);
}

void TForm1::StartMp3() {
  vbmp3_close();
  vbmp3_open(bgmPath.c_str(), mp3Info.data());
  vbmp3_play();
  mp3StartTime = timeGetTime();
}

void TForm1::StartMidi() {
  MediaPlayer1.Close();
  MediaPlayer1.FileName = bgmPath;
  MediaPlayer1.Open();
  MediaPlayer1.Play();
  midiPollTicks = 0;
}

void TForm1::StartCurrentTrack() {
  if (BgmIsMidi()) {
    StartMidi();
  } else {
    StartMp3();
  }
}

void TForm1::StopCurrentTrack() {
  if (BgmIsMidi()) {
    MediaPlayer1.Stop();
  } else {
    vbmp3_stop();
  }
}

void TForm1::NextShuffleTrack() {
  if (playedCount == trackCount) {
    trackPlayed.assign(trackPlayed.size(), false);
    playedCount = 0;
  }
  int next;
  do {
    next = Random(trackCount);
  } while (trackPlayed[next]);
  bgmPath = trackNames[next];
  trackPlayed[next] = true;
  playedCount += 1;
}

void TForm1::MusicMonitor() {
  if (BgmIsMidi()) {
    if (++midiPollTicks < kMidiPollInterval) return;
    midiPollTicks = 0;
    if (MediaPlayer1.Mode() == mpPlaying) return;
    MediaPlayer1.Stop();
    if (!shuffleMode) {
      MediaPlayer1.Rewind();
      MediaPlayer1.Play();
      return;
    }
    MediaPlayer1.Close();
  } else {
    const std::int64_t trackEnd = std::int64_t{mp3StartTime} + 1000 * std::int64_t{Mp3LengthSeconds(mp3Info)} + 1000;
    if (std::int64_t{timeGetTime()} <= trackEnd) return;
    if (!shuffleMode) {
      StartMp3();
      return;
    }
    vbmp3_close();
  }
  NextShuffleTrack();
  StartCurrentTrack();
}

void TForm1::ToggleMusic() {
  if (stageEnded || (titlePhase && !bgmReady)) return;
  if (musicOn) {
    StopCurrentTrack();
    musicOn = false;
    return;
  }
  if (BgmIsMidi()) {
    MediaPlayer1.Rewind();
    MediaPlayer1.Play();
    midiPollTicks = 0;
  } else {
    StartMp3();
  }
  musicOn = true;
}

void TForm1::StopMusicAtStageEnd() {
  stageEnded = true;
  if (musicOn) StopCurrentTrack();
}

void TForm1::RestartMusicAfterStage() {
  if (gameCleared) {
    paradeStarted = false;
    vbmp3_stop();
  }
  if (stageEnded && resumeState != 1 && musicOn) StartCurrentTrack();
}

std::int32_t& TForm1::Volume(platform::audio::Bus bus) {
  return bus == platform::audio::Bus::Music ? musicVolume : effectsVolume;
}

void TForm1::ReadVolumeSettings() {
  for (const auto bus : kBuses) Volume(bus) = VolumeSetting(VolumeKey(bus), SettingsFile());
  ApplyVolumes();
}

void TForm1::ApplyVolumes() {
  auto& mixer = platform::audio::Mixer::Instance();
  for (const auto bus : kBuses) mixer.SetVolume(bus, static_cast<float>(Volume(bus)) / kFullVolume);
}

bool TForm1::ChangeVolume(platform::audio::Bus bus, std::int32_t volume) {
  Volume(bus) = volume;
  ApplyVolumes();
  return WritePrivateProfileStringA(kSoundSection, VolumeKey(bus), std::to_string(volume), SettingsFile()) != FALSE;
}
