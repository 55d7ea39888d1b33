#include "engine/DeleteF.h"

#include <thread>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/MatchRules.h"

namespace purga {

namespace {

constexpr uint32_t kFailedDeletionPauseMs = 30;

}  // namespace

std::atomic<int32_t> TFileDelte::alive_{0};

std::optional<std::string> MatchedExtension(const std::u16string& name,
                                            const std::string* exactForm) {
  if (exactForm != nullptr) return Os().UpperCase(FileExtension(*exactForm));
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos) return std::string();
  bool exact = false;
  const std::string extension = Os().ToAnsi(name.substr(dot), exact);
  if (!exact) return std::nullopt;
  return Os().UpperCase(extension);
}

TFileDelte::TFileDelte(RunWindow& owner) try : OwnerWindow(owner), root_(TargetFolder) {
  alive_.fetch_add(1);
  try {
    std::thread(&TFileDelte::ThreadBody, this).detach();
  } catch (...) {
    alive_.fetch_sub(1);
    throw;
  }
} catch (...) {
  // No thread will clear it: the run is over before it began. The error
  // itself goes on to the caller.
  RunGuard.store(0);
}

bool TFileDelte::Alive() { return alive_.load() != 0; }

void TFileDelte::StopAndWait(const std::function<void()>& service) {
  StopRequested.store(1);
  while (Alive()) service();
}

void TFileDelte::ThreadBody(TFileDelte* self) {
  self->Execute();
  delete self;
  // Last of all: after this no worker touches a window.
  alive_.fetch_sub(1);
}

void TFileDelte::HandOver() { OwnerWindow.ShowProgress(ProgressText); }

void TFileDelte::ShowCount(RunCaption which, int64_t value) {
  OwnerWindow.ShowCaption(which, std::to_string(value));
}

void TFileDelte::Execute() {
  // Whatever goes wrong inside the walk (memory running out, a failing
  // window), the end steps still run as far as they can and RunGuard is
  // cleared, so that the user can start again.
  try {
    DeletedCount = 0;
    ReadCount = 0;
    ShowCount(RunCaption::ReadCount, 0);
    ShowCount(RunCaption::DeletedCount, 0);
    ProgressText.clear();
    HandOver();
    // The user chose this path: it is opened once, links followed, and
    // everything below it is reached from that handle. Bytes that are no
    // code page 932 text name no folder: nothing is walked.
    bool exact = false;
    const std::u16string top = Os().ToWide(root_, exact);
    if (exact) {
      TreeWalk walk(top);
      WalkFolder(walk);
    }
  } catch (...) {
  }
  try {
    ProgressText.clear();
    HandOver();
  } catch (...) {
  }
  const int64_t before = FreeSpaceBefore.load();
  RunGuard.store(0);
  try {
    const int64_t after = GetDriveFreeKB(root_.substr(0, 1));
    FreeSpaceAfter.store(after);
    ShowCount(RunCaption::FreeSpace, after);
    ShowCount(RunCaption::SpaceWon, after - before);
  } catch (...) {
  }
}

// The run's steps of the walk. StopRequested is looked at between entries:
// a stop in a folder's file pass leaves that folder as it is, a stop in its
// sub-folder pass still lets it try its removal.
class TFileDelte::RunVisitor : public TreeWalk::Visitor {
 public:
  RunVisitor(TFileDelte& worker, TreeWalk& walk) : worker_(worker), walk_(walk) {}
  bool LeavePass() override { return StopRequested.load() == 1; }
  bool LeaveFolder() override { return StopRequested.load() != 0; }
  void File(const FindEntry& entry) override { worker_.HandleFile(entry, walk_); }
  void Leave(const CheckedEntry& folder, bool top) override {
    // A chosen folder that is a link leads to the folder walked; neither is
    // the user's to change. The platform refuses to remove a folder that
    // still holds anything; it goes when its handle closes.
    if (!FlagSet(DeleteSettings.DeleteEmptyFolders) || (top && walk_.TopIsLink())) return;
    if (FlagSet(DeleteSettings.DeleteReadOnly)) folder.SetAttributes(kAttrDirectory);
    folder.Delete();
  }

 private:
  TFileDelte& worker_;
  TreeWalk& walk_;
};

void TFileDelte::WalkFolder(TreeWalk& walk) {
  RunVisitor visitor(*this, walk);
  walk.Run(visitor);
}

void TFileDelte::HandleFile(const FindEntry& entry, TreeWalk& walk) {
  // Shown in the code page; the file itself is reached by its own name.
  bool exact = false;
  const std::string shown = Os().ToAnsi(entry.name, exact);
  ProgressText = shown;
  HandOver();
  const int32_t sizeKB = SizeKB(entry.size);
  const auto extension = MatchedExtension(entry.name, exact ? &shown : nullptr);
  const int32_t selected = extension ? MatchFile(*extension, sizeKB) : 0;
  ++ReadCount;
  ShowCount(RunCaption::ReadCount, ReadCount);
  if (selected != 1) return;

  bool deleted = false;
  try {
    // A file that is not the one listed, where it was listed, or that its
    // own handle shows not selected, is reported like a failed deletion.
    FileFacts facts;
    if (const CheckedEntry file = walk.OpenFile(entry, facts))
      if (MatchFile(*extension, SizeKB(facts.size)) == 1)
        deleted = DeleteCheckedFile(file, facts, FlagSet(DeleteSettings.DeleteReadOnly));
  } catch (...) {
    deleted = false;
  }
  if (deleted) {
    ++DeletedCount;
    ShowCount(RunCaption::DeletedCount, DeletedCount);
  } else {
    ProgressText = shown + " 削除できません";
    HandOver();
    Os().Sleep(kFailedDeletionPauseMs);
  }
}

}  // namespace purga
