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

bool NameIsFaithful(const std::string& name) {
  if (name.empty()) return false;
  if (name.back() == '.' || name.back() == ' ') return false;
  // Half a character (a lead byte at the end) can only name something else.
  if (Os().IsLeadByte(static_cast<uint8_t>(name.back())) && StartsCharacter(name, name.size() - 1))
    return false;
  return FindLastSeparator(name, "\\/:*?<>\"|") == std::string::npos;
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
    // The user chose this path: it is resolved once, links followed, and
    // nothing outside what it resolves to is ever acted on.
    const CheckedTree tree(root_);
    tree_ = &tree;
    if (tree.Top()) WalkFolder(root_, tree.Top());
    tree_ = nullptr;
  } catch (...) {
    tree_ = nullptr;
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

void TFileDelte::WalkFolder(const std::string& folder, const CheckedEntry& self) {
  // Files first; this listing is closed before the sub-folder pass.
  ForEachEntry(self, [&](const FindEntry& entry) {
    if (StopRequested.load() == 1) return false;
    if (IsPlainFile(entry.attributes)) HandleFile(entry, folder);
    return true;
  });

  // A stop during the file pass leaves this folder as it is.
  if (StopRequested.load() != 0) return;

  // Sub-folders, each walked completely while this listing stays open. A
  // folder is entered only once it is checked to be the one listed here.
  ForEachEntry(self, [&](const FindEntry& entry) {
    if (StopRequested.load() == 1) return false;
    if (!entry.name.empty() && entry.name[0] != '.' && IsPlainFolder(entry.attributes) &&
        EntryIsFaithful(entry)) {
      const std::string path = folder + "\\" + entry.name;
      if (const CheckedEntry sub = tree_->OpenFolder(path)) WalkFolder(path, sub);
    }
    return true;
  });

  // Reached also after a stop in the sub-folder pass. The platform refuses to
  // remove a folder that still holds anything; it goes when `self` closes.
  if (FlagSet(DeleteSettings.DeleteEmptyFolders)) {
    if (FlagSet(DeleteSettings.DeleteReadOnly)) self.SetAttributes(kAttrDirectory);
    self.Delete();
  }
}

void TFileDelte::HandleFile(const FindEntry& entry, const std::string& folder) {
  ProgressText = entry.name;
  HandOver();
  const int32_t sizeKB = SizeKB(entry.size);
  const std::string extension = Os().UpperCase(FileExtension(entry.name));
  const int32_t selected = MatchFile(extension, sizeKB);
  ++ReadCount;
  ShowCount(RunCaption::ReadCount, ReadCount);
  if (selected != 1) return;

  bool deleted = false;
  try {
    // A file that cannot be named safely, or is not the file listed, is
    // reported like a failed deletion.
    if (EntryIsFaithful(entry)) {
      if (const CheckedEntry file = tree_->OpenFile(folder + "\\" + entry.name)) {
        if (FlagSet(DeleteSettings.DeleteReadOnly)) file.SetAttributes(kAttrArchive);
        deleted = file.Delete();
      }
    }
  } catch (...) {
    deleted = false;
  }
  if (deleted) {
    ++DeletedCount;
    ShowCount(RunCaption::DeletedCount, DeletedCount);
  } else {
    ProgressText = entry.name + " 削除できません";
    HandOver();
    Os().Sleep(kFailedDeletionPauseMs);
  }
}

}  // namespace purga
