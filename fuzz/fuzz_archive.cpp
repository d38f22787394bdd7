// The archive's index and every member it lists, expanded: each read ends in a member or in
// EQDAError.
#include "QDArc.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TMemoryStream archive(std::vector<std::uint8_t>(data, data + size));
  QDAIndex index;
  try {
    index = QDAReadIndex(archive);
  } catch (const EQDAError&) {
    return 0;
  }
  for (const QDAEntry& entry : index.Entries) {
    archive.SetPosition(0);
    try {
      QDAReadMemberFromStream(archive, entry.Name);
    } catch (const EQDAError&) {
    }
  }
  return 0;
}
