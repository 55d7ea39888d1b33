// The deletion window (form MainCrt): the settings of a deletion run, the
// target folder, Start, Stop and Help, and the counters of the run.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "PurgaVersion.h"
#include "engine/RunWindow.h"
#include "platform/win32/UiCall.h"
#include "ui/model/MainCrtModel.h"
#include "ui/win/Buttons.h"
#include "ui/win/Edits.h"
#include "ui/win/Form.h"
#include "ui/win/Panels.h"
#include "ui/win/Splitter.h"

namespace purga::win {

// Opens ExeFolder + "Purga.chm" with the shell's "Open" verb, owned by
// `owner`. The result is not looked at: a missing file or viewer shows
// nothing from the program itself.
void OpenHelpFile(HWND owner);

class TMainCrt : public Form, public RunWindow {
 public:
  // Position of the window (screen coordinates) and size of its client
  // area; the outer size follows from the system's frame (742 x 438 with
  // classic frames).
  static constexpr Bounds kPlace{215, 151, 734, 411};
  static constexpr const char* kCaption = "Purgator　Ver. " PURGA_VERSION_TEXT;

  // Creates the window hidden and runs FormCreate (the settings are loaded
  // and shown).
  TMainCrt();
  ~TMainCrt() override;

  // How the folder choice shows the folder selection dialog: modally over
  // `owner`, giving the accepted folder or nothing. Unset, it shows the
  // program's Select_Folder.
  std::function<std::optional<std::string>(HWND owner)> folderChooser;

  // Event handlers.
  void Panel12Click();
  void SpeedButton1Click();
  void SpeedButton5Click();  // Start
  void SpeedButton6Click();  // Stop
  void SpeedButton2Click();  // Help

  // RunWindow: carried out on the user-interface thread; the worker waits.
  void ShowCaption(RunCaption which, const std::string& text) override;
  void ShowProgress(const std::string& text) override;

  // Before the program ends: asks a running worker to stop and serves its
  // last hand-overs until it has ended, so that no worker outlives the
  // window it reports to.
  void ShutDown();

  MainCrtModel& Model() { return model_; }

 protected:
  bool CloseQuery() override;  // FormCloseQuery
  void Resized(int clientWidth, int clientHeight) override;

 private:
  void CreateControls();
  void FormCreate();
  void FolderChoice();
  void LayOut(int clientWidth, int clientHeight);
  // Runs `call` on the user-interface thread and returns when it is done.
  void OnUiThread(const std::function<void()>& call);
  // Shows what the run's calls left: the progress text and the counters.
  void ShowLatest() noexcept;

  // Made on the user-interface thread with the window; carries the worker's
  // calls there.
  UiCall ui_;
  MainCrtModel model_;
  // The panels whose captions change with every file (the progress text,
  // the read and deleted counts): set at display rate, when the run pauses
  // and when they are read.
  std::array<Panel*, 3> shownLater_{};
  Panel* panel10_ = nullptr;  // folder bar
  Panel* panel16_ = nullptr;  // settings area
  Panel* panel13_ = nullptr;  // status bar
  Panel* bevel4_ = nullptr;
  Panel* panel12_ = nullptr;  // folder panel
  Splitter* splitter1_ = nullptr;
  Panel* panel11_ = nullptr;  // button panel
};

// The program-wide deletion window.
extern TMainCrt* MainCrt;

}  // namespace purga::win
