#include "engine/RunStart.h"

#include <string>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/Cleanup.h"
#include "engine/DeleteF.h"

namespace purga {

void BeginRun(RunWindow& window) {
  StopRequested.store(0);
  RunGuard.store(1);
  try {
    const int64_t before = GetDriveFreeKB(TargetFolder.substr(0, 1));
    FreeSpaceBefore.store(before);
    window.ShowCaption(RunCaption::FreeSpace, std::to_string(before));
    window.ShowCaption(RunCaption::SpaceWon, "0");
    RunPreRunTasks();
    new TFileDelte(window);  // frees itself when its run ends
  } catch (...) {
    // No worker exists (not even when its memory could not be had), so
    // none will clear it.
    RunGuard.store(0);
    throw;
  }
}

}  // namespace purga
