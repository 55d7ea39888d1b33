// The file date and attribute editor: the shell's folder tree, the chosen
// folder's files, and a bar to set the picked file's last-write date and
// time and its read-only attribute.
#pragma once

#include "settings/ControlModel.h"
#include "ui/model/FileUpdateDateTime.h"
#include "ui/model/FileUpdateModel.h"
#include "ui/win/Buttons.h"
#include "ui/win/Edits.h"
#include "ui/win/Form.h"
#include "ui/win/Panels.h"
#include "ui/win/ShellList.h"
#include "ui/win/ShellTree.h"
#include "ui/win/Splitter.h"

namespace purga::win {

class TFileUp : public Form, private FileUpdateView {
 private:
  // Created first: models and containers.
  FileUpdateModel model_;
  CheckBoxModel readOnlyModel_;

 public:
  TFileUp();
  ~TFileUp() override;

  Panel& Panel2;  // アドレス
  Panel& Panel3;  // the address
  ShellTree& ShellTreeView1;
  Panel& RightPane;
  Splitter& Splitter1;
  ShellList& ShellListView1;
  Panel& Panel5;
  Label& Label3;
  Panel& PatsUp;
  Label& Label1;
  Label& Label2;
  DateTimePicker& DateTimePicker1;
  DateTimePicker& DateTimePicker2;
  CheckBox& CheckBox1;
  PushButton& BitBtn1;
  StatusBar& StatusBar1;

  void ShellTreeView1Change(HTREEITEM node);
  void ShellListView1MouseDown();
  void BitBtn1Click();

 protected:
  void Resized(int clientWidth, int clientHeight) override;

 private:
  void Layout(int clientWidth, int clientHeight);
  void LayoutPane();

  // FileUpdateView
  void SetStatus(const std::string& text) override;
  void SetListRoot(const std::string& path) override;
  void SetAddress(const std::string& path) override;
  bool SelectedItem(std::u16string& path, bool& isFolder) override;
  void SetPickedFile(const std::string& path) override;
  double DateValue() override;
  double TimeValue() override;
  void SetDateValue(double value) override;
  void SetTimeValue(double value) override;
  bool ReadOnlyChecked() override;
  void SetReadOnlyChecked(bool checked) override;
  void RefreshList() override;
};

// The program's one editor window.
extern TFileUp* FileUp;

}  // namespace purga::win
