// The folder selection dialog: the shell's folder tree, the selected path
// above it, and Cancel, Set and Refresh. The deletion window shows it
// modally and, when FolderSet is 1, takes FolderPath as its target folder.
#pragma once

#include "ui/model/FolderSelectModel.h"
#include "ui/win/Buttons.h"
#include "ui/win/Form.h"
#include "ui/win/Panels.h"
#include "ui/win/ShellTree.h"

namespace purga::win {

class TSelect_Folder : public Form, public FolderSelectModel {
 private:
  // Created first: the containers of the bar.
  HWND mainWindow_;
  Panel& bar_;
  Panel& buttons_;

 public:
  // `mainWindow`: the window the dialog is centred over when first shown.
  explicit TSelect_Folder(HWND mainWindow = nullptr);
  ~TSelect_Folder() override;

  void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }

  // The node last reported by the tree; the refresh button re-reads it.
  HTREEITEM RefreshNode = nullptr;

  ShellTree& ShellTreeView1;
  Panel& Panel3;
  SpeedButton& SpeedButton1;  // 設 定
  SpeedButton& SpeedButton2;  // ｷｬﾝｾﾙ
  SpeedButton& SpeedButton3;  // ﾘﾌﾚｯｼｭ

  void ShellTreeView1Change(HTREEITEM node);
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();

 protected:
  void FormShow() override;
  void Resized(int clientWidth, int clientHeight) override;

 private:
  void Layout(int clientWidth, int clientHeight);
};

// The program's one folder dialog.
extern TSelect_Folder* Select_Folder;

}  // namespace purga::win
