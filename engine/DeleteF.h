// The deletion worker: one thread that walks TargetFolder, deletes the files
// that the matching rules select and keeps the deletion window's counters
// current.
//
// Creating a run (on the user-interface thread, after Start has set the run
// state):
//
//   new TFileDelte(window);   // starts at once; frees itself at the end
//
// Nobody keeps the pointer or waits for the worker. Every caption update and
// progress hand-over goes through `window` (RunWindow), whose calls the
// user-interface thread carries out while the worker waits.
//
// Ending the program during a run: before the deletion window or its RunWindow
// goes away, call
//
//   TFileDelte::StopAndWait([] { /* let the UI thread serve hand-overs */ });
//
// It sets StopRequested and calls the service routine until no worker is
// alive any more. The worker finishes the file in hand, unwinds and runs its
// end steps, all of which need the user-interface thread: the service routine
// must carry out pending hand-overs (on Win32, UiCall::ServeFor). A worker
// counts as alive until after its last hand-over, so once StopAndWait returns
// no worker touches any window again.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/RunWindow.h"
#include "engine/TreeWalk.h"
#include "platform/Platform.h"

namespace purga {

class TFileDelte {
 public:
  // Stores the window and starts the thread. If the thread cannot be created
  // the run is over before it began: RunGuard is cleared again and the error
  // propagates to the caller.
  explicit TFileDelte(RunWindow& owner);

  TFileDelte(const TFileDelte&) = delete;
  TFileDelte& operator=(const TFileDelte&) = delete;

  // True while some worker's thread body has not finished.
  static bool Alive();
  // Asks a running worker to stop and returns once none is alive, calling
  // `service` repeatedly meanwhile (see above).
  static void StopAndWait(const std::function<void()>& service);

 private:
  class RunVisitor;

  // Only the thread body deletes the worker.
  ~TFileDelte() = default;

  static void ThreadBody(TFileDelte* self);
  void Execute();
  // Walks the tree below root_, each folder's files before its sub-folders,
  // and removes the folders left empty when the options say so.
  void WalkFolder(TreeWalk& walk);
  // One plain file of the folder being walked.
  void HandleFile(const FindEntry& entry, TreeWalk& walk);
  void HandOver();
  void ShowCount(RunCaption which, int64_t value);

  RunWindow& OwnerWindow;
  std::string ProgressText;
  int32_t DeletedCount = 0;
  int32_t ReadCount = 0;
  // TargetFolder as it was when the run was created: Start may write the
  // program-wide string again as soon as RunGuard is cleared, while this
  // worker still takes the final free-space reading.
  const std::string root_;

  static std::atomic<int32_t> alive_;
};

// The extension of a listed name as the matching rules take it: from its
// last "." to the end, in the code page and upper-cased. Nothing when it has
// no exact form there, so that no look-alike is ever matched. `exactForm`,
// when given, is the whole name's exact form in the code page, which holds
// the extension already (a "." is never part of a double-byte character).
std::optional<std::string> MatchedExtension(const std::u16string& name,
                                            const std::string* exactForm = nullptr);

}  // namespace purga
