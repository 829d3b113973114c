// Arbitrary bytes as a file's head: detection must neither crash nor read out of bounds, must
// name a kind it can detect, and must look only at the first bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "player/engine/core/MWFileFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvr::engine;
  TMWMemoryFile whole(data, size);
  const TMediaKind kind = DetectMediaType(whole);
  if (kind > mkFlv) std::abort();  // WebM is never detected, only chosen by extension
  // Nothing beyond offset 40 (the CDXA "data" tag) takes part.
  constexpr size_t kHead = 64;
  if (size > kHead) {
    TMWMemoryFile head(data, kHead);
    if (DetectMediaType(head) != kind) std::abort();
  }
  return 0;
}
