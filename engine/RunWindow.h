// What a deletion run needs from the deletion window.
#pragma once

#include <string>

namespace purga {

// The four status captions that a run writes.
enum class RunCaption {
  FreeSpace,     // StaticText1 "現サイズ": free space of the target drive, KB
  SpaceWon,      // StaticText2: space won by the run, KB
  ReadCount,     // StaticText3 "読み込み件数": files examined
  DeletedCount,  // StaticText5 "削除件数": files deleted
};

// Implemented by the deletion window. The worker calls these from its own
// thread; each is carried out on the user-interface thread, in the order
// issued, and returns only when it has been done there.
class RunWindow {
 public:
  virtual ~RunWindow() = default;
  virtual void ShowCaption(RunCaption which, const std::string& text) = 0;
  virtual void ShowProgress(const std::string& text) = 0;
};

}  // namespace purga
