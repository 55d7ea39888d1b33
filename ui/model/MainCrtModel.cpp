#include "ui/model/MainCrtModel.h"

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/RunStart.h"
#include "platform/Platform.h"
#include "settings/SettingsFile.h"
#include "ui/model/FolderSelectModel.h"

namespace purga {

MainCrtModel::MainCrtModel(MainCrtServices services) : services_(std::move(services)) {
  if (!services_.beginRun) services_.beginRun = [](RunWindow& window) { BeginRun(window); };
  for (CaptionModel* caption : {&freeSpace, &spaceWon, &readCount, &deletedCount})
    caption->SetText("0");
}

CaptionModel& MainCrtModel::Caption(RunCaption which) {
  switch (which) {
    case RunCaption::FreeSpace:
      return freeSpace;
    case RunCaption::SpaceWon:
      return spaceWon;
    case RunCaption::ReadCount:
      return readCount;
    case RunCaption::DeletedCount:
      break;
  }
  return deletedCount;
}

void MainCrtModel::FormCreate() {
  ExeFolder = GetExeFolder();
  InitSettings();
  LoadSettings(controls);
  controls.SettingsToControls();
}

void MainCrtModel::FormCloseQuery() { SaveSettings(controls); }

void MainCrtModel::ChooseFolder() {
  const std::optional<std::string> chosen = services_.chooseFolder();
  if (!chosen) return;
  // A path the record cannot hold whole would name another folder once cut.
  if (!controls.SetFolder(*chosen))
    services_.messageBox(kFolderNotSelectable, kConfirmCaption, MessageButtons::Ok);
}

void MainCrtModel::Start(RunWindow& window) {
  SaveSettings(controls);
  if (RunGuard.load() != 0) return;
  TargetFolder = controls.folder.Text();
  if (TargetFolder.empty()) {
    services_.messageBox(kNoFolderText, kConfirmCaption, MessageButtons::Ok);
    return;
  }
  if (LoadFlag(DeleteSettings.ConfirmStart) == 1 &&
      !services_.messageBox(kStartQuestionText, kStartQuestionCaption, MessageButtons::YesNo))
    return;
  services_.beginRun(window);
}

void MainCrtModel::Stop() { StopRequested.store(1); }

std::u16string HelpFilePath() { return ExeFolder + Os().ToWide(kHelpFileName); }

}  // namespace purga
