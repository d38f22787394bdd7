#include <cstdio>

#include "Unit1.h"

int main() {
  try {
    TApplication Application;
    Application.Initialize();
    Application.Title = Sjis(u"ことぶね");
    Application.CreateForm<TForm1>();
    Application.Run();
  } catch (const EPlatformError& error) {
    std::fprintf(stderr, "ことぶね: %s\n", error.what());
    return 1;
  }
  return 0;
}
