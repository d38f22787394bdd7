#pragma once
// The runtime files the game loads from its data folder.
#include <array>
#include <string>
#include <string_view>

// Sound effects, one per channel: channel i plays kWaveFiles[i].
inline constexpr std::array<std::string_view, 10> kWaveFiles{
    "data\\shoot.wav",     "data\\hit.wav",      "data\\seikai.wav",       "data\\renzokuseikai.wav",
    "data\\fuseikai.wav",  "data\\gameclear.wav", "data\\gameover.wav",    "data\\same_hit.wav",
    "data\\same_shometu.wav", "data\\stageclear.wav"};

inline constexpr std::string_view kPictureArchive = "data\\data.qda";

// Every member of the picture archive that the game reads.
inline constexpr std::array<std::string_view, 39> kArchivePictures{
    "Haikei.bmp",   "ball0.bmp",      "ball1.bmp",      "ball2.bmp",     "ball3.bmp",         "same0.bmp",
    "same1.bmp",    "same2.bmp",      "same3.bmp",      "same4.bmp",     "same5.bmp",         "same6.bmp",
    "same7.bmp",    "same8.bmp",      "same9.bmp",      "same10.bmp",    "same11.bmp",        "same12.bmp",
    "same13.bmp",   "same14.bmp",     "same15.bmp",     "tama.bmp",      "target.bmp",        "maru.bmp",
    "batu.bmp",     "seikai.bmp",     "renzokuseikai.bmp", "fuseikai.bmp", "gage.bmp",         "bakuhatu.bmp",
    "GOBakuhatu.bmp", "StageClear.bmp", "GameClear.bmp", "GameOver.bmp", "SosaHoho.bmp",      "Title.bmp",
    "rogo.bmp",     "PromptBand.bmp", "PageBack.bmp"};

// The record (best score and saved game) and the user idioms of the saved round.
inline constexpr const char* kRecordFile = "data\\record1.dat";
inline constexpr const char* kSavedIdiomFile = "data\\tuika.ini";
// The player's study record: every idiom asked, and how it went.
inline constexpr const char* kStudyFile = "data\\study.tsv";

// One plain line on standard error for each picture archive or sound effect the game could
// not use, with the real path and what to do; nothing when all are sound.
void ReportUnusableGameData(const std::string& exeDir);

inline constexpr std::string_view kOwnMusic = "data\\tamsu01.mp3";
inline constexpr std::string_view kVictoryMusic = "data\\parade.mp3";
