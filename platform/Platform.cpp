#include "platform/Platform.h"

#include <cstdlib>

namespace purga {

namespace {
Platform* current = nullptr;
}

Platform& Os() {
  // Every entry point installs a platform first; running without one is a
  // programming error, not an OS failure.
  if (current == nullptr) std::abort();
  return *current;
}

void SetPlatform(Platform* platform) { current = platform; }

}  // namespace purga
