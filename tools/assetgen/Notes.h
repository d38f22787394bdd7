#pragma once
// Note names as the sources write them: letter, optional # or b, octave; C4 is middle C (60).
#include <string>

namespace assetgen {

// Drops a comment: '#' at the start of the line or after a blank ("F#5" keeps its sharp).
std::string StripComment(const std::string& line);

// -1 when the text is not a note name.
int NoteNumber(const std::string& name);
// A note name or a plain number of hertz.
double ParsePitch(const std::string& text);

}  // namespace assetgen
