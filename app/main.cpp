#include <cstdio>

#include "Unit1.h"

int main() {
  try {
    TApplication Application;
    Application.Initialize();
    Application.Title = Sjis(u"ことぶね");
    Application.CreateForm<TForm1>();
    Application.Run();
  } catch (const EProgramHalt&) {
    return 1;  // the component has said why
  } catch (const std::exception& error) {
    std::fprintf(stderr, "ことぶね: %s\n", error.what());
    return 1;
  } catch (...) {
    std::fprintf(stderr, "ことぶね: stopped by an unexpected error\n");
    return 1;
  }
  return 0;
}
