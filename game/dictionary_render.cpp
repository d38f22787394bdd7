#include "Unit1.h"

// Stand-ins until the text textures exist; they will render the glyph and the line.
void TForm1::RenderBallChar(int) {}
void TForm1::RenderMeaningLine(int) {}
