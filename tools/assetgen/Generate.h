#pragma once
// The generator's jobs, one per kind of runtime file.
#include <string>

namespace assetgen {

struct PictureJob {
  std::string outDir;       // the BMPs land here
  std::string archive;      // packed into this archive
  std::string qdatool;      // with this program
  std::string overrideDir;  // a BMP here replaces the drawing of the same name
  std::string preview;      // contact sheet PNG, optional
};
void GeneratePictures(const PictureJob& job);

// Renders every effect of the description into OUT_DIR/NAME.wav.
void GenerateEffects(const std::string& description, const std::string& outDir);

// A score becomes a Standard MIDI File and its rendering as 16-bit stereo WAV.
void GenerateMusic(const std::string& score, const std::string& midiPath, const std::string& wavPath,
                   const std::string& soundFont);

// UTF-8 text to Shift-JIS (code page 932) with CR LF line ends.
void GenerateShiftJisText(const std::string& source, const std::string& target);

// The desktop icon into OUT_DIR: kotobune.svg, kotobune-SIZE.png for 48, 64, 128 and 256,
// kotobune.ico for Windows and kotobune.bmp for the game's window.
void GenerateIcon(const std::string& outDir);

}  // namespace assetgen
