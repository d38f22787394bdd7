#pragma once
// A window with its sound component on the headless machine, audio captured on request.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "ddsd.h"
#include "platform/audio.h"
#include "platform/headless.h"
#include "support/temp_folder.h"
#include "wave_files.h"

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    headless::SetExeName(folder.Native("kotobune"));
    form = std::make_unique<TForm>(application, TFormSettings{640, 480, false, {}});
  }
  void TearDown() override {
    waves.clear();
    sound.reset();
    form.reset();
    headless::Reset();
  }

  // The component as the game sets it up, but logging rather than halting by default.
  TDDSD& StartSound(TDDSDDebugOptions options = dsoDebugMessage, DWORD channels = 10) {
    sound = std::make_unique<TDDSD>(*form);
    sound->DebugOption = options;
    sound->ChannelCount = channels;
    sound->Loaded();
    return *sound;
  }

  TDDSDWaveData& Load(const std::string& name, const std::string& bytes) {
    folder.Write(name, bytes);
    return LoadFile(name);
  }
  TDDSDWaveData& LoadFile(const std::string& name) {
    waves.push_back(std::make_unique<TDDSDWaveData>(*sound, folder.Game(name), false));
    return *waves.back();
  }

  // Everything the mixer renders during the next `milliseconds`, interleaved stereo.
  static std::vector<float> Listen(DWORD milliseconds) {
    headless::StartAudioCapture();
    headless::AdvanceTime(milliseconds);
    return headless::TakeAudioCapture();
  }

  // The message of the last log line; the counter is process-wide, so its number is not checked.
  std::string LastLogMessage() const {
    std::string log = folder.Read("DDSD_DebugLog.txt");
    if (!log.empty() && log.back() == '\n') log.pop_back();
    const std::string line = log.substr(log.rfind('\n') == std::string::npos ? 0 : log.rfind('\n') + 1);
    const auto separator = line.find(" ... ");
    EXPECT_EQ(separator, 11u) << line;
    return separator == std::string::npos ? line : line.substr(separator + 5);
  }

  TempFolder folder;
  TApplication application;
  std::unique_ptr<TForm> form;
  std::unique_ptr<TDDSD> sound;
  std::vector<std::unique_ptr<TDDSDWaveData>> waves;
};
