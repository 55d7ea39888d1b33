// The part of Start that begins a run once the window's checks have passed
// (no run active, a target folder set, the user agreed).
#pragma once

#include "engine/RunWindow.h"

namespace purga {

// On the user-interface thread, with TargetFolder set: clears StopRequested,
// sets RunGuard, reads FreeSpaceBefore from the target's drive and shows it
// (with "0" as the space won), runs the pre-run clean-up tasks and creates the
// worker, which reports to `window` from then on. If anything fails before the
// worker exists, RunGuard is cleared again and the error propagates.
void BeginRun(RunWindow& window);

}  // namespace purga
