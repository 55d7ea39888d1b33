// The deletion window's decisions, without a display: what its controls
// store, what Start does and in which order, Stop, the folder choice and the
// window's creation and closing. The Win32 window shows these models and
// provides the services (message boxes, the folder dialog).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/RunWindow.h"
#include "settings/ControlModel.h"
#include "settings/SettingsControls.h"

namespace purga {

// The window's own message boxes (no icon).
inline constexpr const char* kConfirmCaption = "確認";
inline constexpr const char* kNoFolderText = "削除パスの指示がありません！ ";
inline constexpr const char* kStartQuestionCaption = "　　　設定をもう一度確認";
inline constexpr const char* kStartQuestionText =
    "＜＜　削除を開始しますか？　＞＞\r\r　　削除すると元に戻せません";
inline constexpr const char* kHelpFileName = "Purga.chm";

enum class MessageButtons { Ok, YesNo };

struct MainCrtServices {
  // Shows a message box without an icon; true when the answer is Yes (OK
  // for an OK box).
  std::function<bool(const std::string& text, const std::string& caption, MessageButtons)>
      messageBox;
  // Shows the folder selection dialog modally; the accepted folder, or
  // nothing when none was accepted.
  std::function<std::optional<std::string>()> chooseFolder;
  // Begins the run once Start's checks have passed (run state, free space,
  // clean-up tasks, worker). The default is the engine's BeginRun.
  std::function<void(RunWindow&)> beginRun;
};

class MainCrtModel {
 public:
  explicit MainCrtModel(MainCrtServices services);
  MainCrtModel(const MainCrtModel&) = delete;
  MainCrtModel& operator=(const MainCrtModel&) = delete;

  // The settings controls, wired to DeleteSettings.
  SettingsControls controls;
  // The status bar: StaticText1, StaticText2, StaticText3, StaticText5.
  CaptionModel freeSpace, spaceWon, readCount, deletedCount;
  // The name a run reports as it goes.
  CaptionModel progress;
  CaptionModel& Caption(RunCaption which);

  // FormCreate: ExeFolder, InitSettings, LoadSettings, SettingsToControls.
  void FormCreate();
  // FormCloseQuery: saves the settings; a failure throws and keeps the
  // window open.
  void FormCloseQuery();
  // SpeedButton1Click and Panel12Click.
  void ChooseFolder();
  // SpeedButton5Click. A save failure throws before anything else happens.
  void Start(RunWindow& window);
  // SpeedButton6Click.
  void Stop();

 private:
  MainCrtServices services_;
};

// ExeFolder + "Purga.chm".
std::u16string HelpFilePath();

}  // namespace purga
