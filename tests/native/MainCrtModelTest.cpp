#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>  // steady_clock and sleep_for (<chrono> does not build with CP932 literals)
#include <vector>

#include "common/Hensu.h"
#include "engine/DeleteF.h"
#include "settings/SettingsFile.h"
#include "tests/fake/FakePlatform.h"
#include "tests/support/SettingsBytes.h"
#include "ui/model/ErrorText.h"
#include "ui/model/MainCrtModel.h"

namespace purga {
namespace {

constexpr const char* kSettingsPath = "C:\\windows\\system32\\Purga.in";

// Records what a run writes; the worker calls it from its own thread.
class RecordingWindow : public RunWindow {
 public:
  void ShowCaption(RunCaption which, const std::string& text) override {
    std::lock_guard lock(mutex_);
    captions_.push_back({which, text});
  }
  void ShowProgress(const std::string& text) override {
    std::lock_guard lock(mutex_);
    progress_.push_back(text);
  }
  std::string Last(RunCaption which) const {
    std::lock_guard lock(mutex_);
    for (auto it = captions_.rbegin(); it != captions_.rend(); ++it)
      if (it->first == which) return it->second;
    return "(none)";
  }
  size_t CaptionCount() const {
    std::lock_guard lock(mutex_);
    return captions_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<RunCaption, std::string>> captions_;
  std::vector<std::string> progress_;
};

bool WaitForRunEnd() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (TFileDelte::Alive()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class MainCrtModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    TargetFolder.clear();
    StopRequested.store(0);
    RunGuard.store(0);
    os_.freeBytes["C:\\"] = 5000 * 1024;
  }
  void TearDown() override { ASSERT_TRUE(WaitForRunEnd()); }

  MainCrtServices Services() {
    MainCrtServices services;
    services.messageBox = [this](const std::string& text, const std::string& caption,
                                 MessageButtons buttons) {
      messages_.push_back({text, caption, buttons, os_.Exists(kSettingsPath)});
      return answer_;
    };
    services.chooseFolder = [this] { return chosen_; };
    return services;
  }

  struct Message {
    std::string text, caption;
    MessageButtons buttons;
    bool savedBefore;
  };
  test::FakePlatform os_;
  std::vector<Message> messages_;
  bool answer_ = true;
  std::optional<std::string> chosen_;
};

// --- record to controls ---

TEST_F(MainCrtModelTest, SettingsToControlsShowsTheRecordAndStoresItBack) {
  // The window exists before the record is loaded, as at program start.
  MainCrtModel model(Services());
  InitSettings();
  const struct {
    int rule;
    uint8_t enabled, sizeLimited;
    int32_t threshold;
    bool deleteTicked, sizeTicked, sizeEnabled, spinEnabled;
    std::string spinText;
    uint8_t enabledAfter, sizeLimitedAfter;
    int32_t thresholdAfter;
  } cases[] = {
      // Unticked category whose size box is ticked: the size box is disabled
      // but keeps its tick, and the spin edit follows the size box alone.
      {0, 0, 1, 30, false, true, false, true, "30", 0, 1, 30},
      {1, 1, 0, 500, true, false, true, false, "500", 1, 0, 500},
      {2, 1, 1, 99999, true, true, true, true, "99999", 1, 1, 99999},
      // Thresholds out of range come back clamped into the record.
      {3, 1, 1, 0, true, true, true, true, "1", 1, 1, 1},
      {4, 0, 0, -7, false, false, false, false, "1", 0, 0, 1},
      {5, 1, 1, 100000, true, true, true, true, "99999", 1, 1, 99999},
      {6, 0, 0, INT32_MIN, false, false, false, false, "1", 0, 0, 1},
      // Any non-zero flag byte shows ticked; the click handler stores 1.
      {7, 2, 255, 40, true, true, true, true, "40", 1, 1, 40},
      {kOtherRule, 1, 0, 300, true, false, true, false, "300", 1, 0, 300},
  };
  for (const auto& c : cases) {
    DeleteSettings.Rules[c.rule].Enabled = c.enabled;
    DeleteSettings.Rules[c.rule].SizeLimited = c.sizeLimited;
    DeleteSettings.Rules[c.rule].ThresholdKB = c.threshold;
  }
  DeleteSettings.DeleteReadOnly = 7;
  DeleteSettings.ClearRecentDocs = 0;
  DeleteSettings.ConfirmStart = 3;
  model.controls.SettingsToControls();
  for (const auto& c : cases) {
    SCOPED_TRACE("rule " + std::to_string(c.rule));
    const CategoryControls& g = model.controls.categories[c.rule];
    EXPECT_EQ(g.deleteBox.Checked(), c.deleteTicked);
    EXPECT_TRUE(g.deleteBox.Enabled());
    EXPECT_EQ(g.sizeBox.Checked(), c.sizeTicked);
    EXPECT_EQ(g.sizeBox.Enabled(), c.sizeEnabled);
    EXPECT_EQ(g.spin.Enabled(), c.spinEnabled);
    EXPECT_EQ(g.spin.Text(), c.spinText);
    const CategoryRule& rule = DeleteSettings.Rules[c.rule];
    EXPECT_EQ(rule.Enabled, c.enabledAfter);
    EXPECT_EQ(rule.SizeLimited, c.sizeLimitedAfter);
    EXPECT_EQ(rule.ThresholdKB, c.thresholdAfter);
  }
  EXPECT_TRUE(model.controls.otherExtension.Enabled());
  using S = SettingsControls;
  EXPECT_TRUE(model.controls.OptionBoxOf(S::kReadOnly).Checked());
  EXPECT_EQ(DeleteSettings.DeleteReadOnly, 1);
  EXPECT_FALSE(model.controls.OptionBoxOf(S::kRecentDocs).Checked());
  EXPECT_EQ(DeleteSettings.ClearRecentDocs, 0);
  EXPECT_TRUE(model.controls.OptionBoxOf(S::kConfirmStart).Checked());
  EXPECT_EQ(DeleteSettings.ConfirmStart, 1);
}

TEST_F(MainCrtModelTest, LoadedFileComesBackInTheWindowAfterTheNextProgramStart) {
  // Unticking a category whose size box is ticked, saving, and starting again.
  {
    MainCrtModel first(Services());
    first.FormCreate();
    CategoryControls& g = first.controls.categories[9];
    g.deleteBox.SetChecked(true);
    g.sizeBox.SetChecked(true);
    g.spin.SetText("4321");
    g.deleteBox.SetChecked(false);
    EXPECT_TRUE(g.sizeBox.Checked());
    EXPECT_FALSE(g.sizeBox.Enabled());
    EXPECT_FALSE(g.spin.Enabled());
    first.controls.otherExtension.SetText("dat");
    first.FormCloseQuery();
  }
  std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
  MainCrtModel second(Services());
  second.FormCreate();
  const CategoryControls& g = second.controls.categories[9];
  EXPECT_FALSE(g.deleteBox.Checked());
  EXPECT_TRUE(g.sizeBox.Checked());
  EXPECT_FALSE(g.sizeBox.Enabled());
  EXPECT_TRUE(g.spin.Enabled());
  EXPECT_EQ(g.spin.Text(), "4321");
  EXPECT_EQ(DeleteSettings.Rules[9].Enabled, 0);
  EXPECT_EQ(DeleteSettings.Rules[9].SizeLimited, 1);
  EXPECT_EQ(second.controls.otherExtension.Text(), "dat");
  EXPECT_STREQ(DeleteSettings.OtherExtension, "dat");
}

// --- defaults ---

TEST_F(MainCrtModelTest, MissingFileGivesExactlyTheDefaultRecord) {
  MainCrtModel model(Services());
  model.FormCreate();
  DeleteSettingsRecord expected;
  std::memset(&expected, 0, sizeof expected);
  const int32_t thresholds[kRuleCount] = {30,  30, 30, 30,  3000, 3000, 3000, 3000, 3000,
                                          200, 30, 30, 100, 5000, 100,  50,   300};
  for (int i = 0; i < kRuleCount; ++i) expected.Rules[i].ThresholdKB = thresholds[i];
  expected.Rules[15].Enabled = 1;
  expected.DeleteEmptyFolders = expected.DeleteSmaller = expected.ConfirmStart = 1;
  expected.CleanBrowserCache = expected.ClearRecentDocs = expected.CleanWinTemp = 1;
  expected.DeleteReadOnly = 1;
  EXPECT_EQ(std::memcmp(&DeleteSettings, &expected, sizeof expected), 0);
  for (int i = 0; i < kRuleCount; ++i) {
    const CategoryControls& g = model.controls.categories[i];
    EXPECT_EQ(g.deleteBox.Checked(), i == 15) << i;
    EXPECT_FALSE(g.sizeBox.Checked()) << i;
    EXPECT_FALSE(g.spin.Enabled()) << i;
    EXPECT_EQ(g.sizeBox.Enabled(), i == 15) << i;
  }
  for (const OptionBox& option : model.controls.options) EXPECT_TRUE(option.box.Checked());
  EXPECT_FALSE(model.controls.otherExtension.Enabled());
  EXPECT_EQ(model.controls.folder.Text(), "");
  EXPECT_EQ(ExeFolder, u"C:\\Program Files\\Purgator\\");
  EXPECT_TRUE(messages_.empty());
}

// --- controls ---

TEST(SpinEditTextTest, ReadsTypedTextAsTheWindowDoes) {
  test::FakePlatform os;  // the length limit walks Shift-JIS characters
  const struct {
    const char* typed;
    const char* shown;  // after the 5-character limit
    int32_t value;
    const char* afterFocusLoss;
  } cases[] = {
      {"", "", 1, ""},  // not a number: the minimum
      {"-", "-", 1, "-"},
      {"abc", "abc", 1, "abc"},
      {"12a", "12a", 1, "12a"},
      {"0", "0", 0, "1"},  // a number, shown clamped once the focus leaves
      {"-3", "-3", -3, "1"},
      {"+5", "+5", 5, "+5"},
      {"99999", "99999", 99999, "99999"},
      {"100000", "10000", 10000, "10000"},  // the sixth digit cannot be typed
      {" 7", " 7", 1, " 7"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    SpinEditModel spin;
    int changes = 0;
    spin.onChange = [&] { ++changes; };
    spin.SetText(c.typed);
    EXPECT_EQ(spin.Text(), c.shown);
    EXPECT_EQ(spin.Value(), c.value);
    spin.FocusLost();
    EXPECT_EQ(spin.Text(), c.afterFocusLoss);
  }
  SpinEditModel spin;
  spin.SetValue(99999);
  spin.StepUp();
  EXPECT_EQ(spin.Text(), "99999");
  spin.SetValue(1);
  spin.StepDown();
  EXPECT_EQ(spin.Text(), "1");
}

TEST_F(MainCrtModelTest, TypingIntoASpinEditStoresItsThreshold) {
  MainCrtModel model(Services());
  model.FormCreate();
  SpinEditModel& spin = model.controls.categories[13].spin;
  const struct {
    const char* typed;
    int32_t stored;
  } cases[] = {{"", 1}, {"-", 1}, {"250", 250}, {"abc", 1}, {"+5", 5}};
  for (const auto& c : cases) {
    spin.SetText(c.typed);
    EXPECT_EQ(DeleteSettings.Rules[13].ThresholdKB, c.stored) << c.typed;
  }
}

TEST_F(MainCrtModelTest, OptionBoxesStoreOnlyTheirOwnFlag) {
  MainCrtModel model(Services());
  model.FormCreate();
  using S = SettingsControls;
  const struct {
    S::Option option;
    size_t offset;
  } cases[] = {
      {S::kReadOnly, 0x1EB},     {S::kConfirmStart, 0x0A1}, {S::kEmptyFolders, 0x09F},
      {S::kSmaller, 0x0A0},      {S::kRecentDocs, 0x1E9},   {S::kWinTemp, 0x1EA},
      {S::kBrowserCache, 0x1E8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    for (bool ticked : {false, true}) {
      DeleteSettingsRecord before;
      std::memcpy(&before, &DeleteSettings, sizeof before);
      model.controls.OptionBoxOf(c.option).SetChecked(ticked);
      const auto* after = reinterpret_cast<const uint8_t*>(&DeleteSettings);
      const auto* was = reinterpret_cast<const uint8_t*>(&before);
      for (size_t i = 0; i < kSettingsSize; ++i)
        EXPECT_EQ(after[i], i == c.offset ? (ticked ? 1 : 0) : was[i]) << "byte " << i;
    }
  }
}

// --- folder choice ---

TEST_F(MainCrtModelTest, FolderChoiceTakesOnlyAnAcceptedPathThatFitsTheRecord) {
  MainCrtModel model(Services());
  model.FormCreate();
  chosen_ = "C:\\data\\old";
  model.ChooseFolder();
  EXPECT_EQ(model.controls.folder.Text(), "C:\\data\\old");
  EXPECT_STREQ(DeleteSettings.SavedFolder, "C:\\data\\old");

  chosen_.reset();  // the dialog was left without accepting
  model.ChooseFolder();
  EXPECT_EQ(model.controls.folder.Text(), "C:\\data\\old");

  // A shorter path leaves the old bytes after its NUL.
  chosen_ = "D:\\x";
  model.ChooseFolder();
  EXPECT_STREQ(DeleteSettings.SavedFolder, "D:\\x");
  EXPECT_EQ(std::string(DeleteSettings.SavedFolder + 5, 6), "ta\\old");
  EXPECT_TRUE(messages_.empty());

  const std::string fits = "C:\\" + std::string(252, 'a');
  const std::string tooLong = fits + "b";
  chosen_ = tooLong;
  model.ChooseFolder();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, "選択できないフォルダーです。");
  EXPECT_EQ(messages_[0].caption, "確認");
  EXPECT_EQ(messages_[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(model.controls.folder.Text(), "D:\\x");
  EXPECT_STREQ(DeleteSettings.SavedFolder, "D:\\x");
  chosen_ = fits;
  model.ChooseFolder();
  EXPECT_EQ(model.controls.folder.Text(), fits);
  EXPECT_EQ(messages_.size(), 1u);
}

// --- Start ---

TEST_F(MainCrtModelTest, StartWithASaveFailureDoesNothingElse) {
  MainCrtModel model(Services());
  model.FormCreate();
  model.controls.SetFolder("C:\\work");
  os_.failWrite = true;
  RecordingWindow window;
  EXPECT_THROW(model.Start(window), IoError);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_EQ(TargetFolder, "");
  EXPECT_EQ(window.CaptionCount(), 0u);
  // Closing fails the same way and keeps the record as it is.
  EXPECT_THROW(model.FormCloseQuery(), IoError);
  EXPECT_STREQ(DeleteSettings.SavedFolder, "C:\\work");
}

TEST_F(MainCrtModelTest, StartDuringARunOnlySaves) {
  MainCrtModel model(Services());
  model.FormCreate();
  model.controls.SetFolder("C:\\work");
  RunGuard.store(1);
  TargetFolder = "C:\\running";
  RecordingWindow window;
  model.Start(window);
  EXPECT_TRUE(os_.Exists(kSettingsPath));
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(TargetFolder, "C:\\running");
  EXPECT_EQ(window.CaptionCount(), 0u);
  RunGuard.store(0);
}

TEST_F(MainCrtModelTest, StartWithoutAFolderSavesThenSaysSo) {
  // An empty settings file; one whose folder fills its 256 bytes without a NUL
  // (it would name another folder): neither gives a target.
  std::string overlong = test::ExpectedDefaultRecord();
  overlong.replace(0x0A2, 256, "C:\\" + std::string(253, 'x'));
  for (const std::string& file : {std::string(), overlong}) {
    SCOPED_TRACE(file.size());
    SetUp();
    os_.SetContent(kSettingsPath, file);
    messages_.clear();
    MainCrtModel model(Services());
    model.FormCreate();
    os_.AddFile("C:\\users\\user\\Temp\\old.tmp");
    RecordingWindow window;
    model.Start(window);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].text, "削除パスの指示がありません！ ");
    EXPECT_EQ(messages_[0].caption, "確認");
    EXPECT_EQ(messages_[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(messages_[0].savedBefore);
    EXPECT_EQ(TargetFolder, "");
    EXPECT_EQ(RunGuard.load(), 0);
    EXPECT_TRUE(os_.Exists("C:\\users\\user\\Temp\\old.tmp"));  // no clean-up ran
    EXPECT_EQ(window.CaptionCount(), 0u);
  }
}

TEST_F(MainCrtModelTest, AnsweringNoStartsNothingButTheSettingsAreSaved) {
  MainCrtModel model(Services());
  model.FormCreate();
  model.controls.SetFolder("C:\\work");
  os_.AddFile("C:\\work\\a.bak");
  StopRequested.store(1);
  answer_ = false;
  RecordingWindow window;
  model.Start(window);
  ASSERT_EQ(messages_.size(), 1u);
  // The question, byte for byte: two carriage returns between the lines.
  EXPECT_EQ(messages_[0].text, "＜＜　削除を開始しますか？　＞＞\r\r　　削除すると元に戻せません");
  EXPECT_EQ(messages_[0].caption, "　　　設定をもう一度確認");
  EXPECT_EQ(messages_[0].buttons, MessageButtons::YesNo);
  EXPECT_TRUE(messages_[0].savedBefore);
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_EQ(StopRequested.load(), 1);
  EXPECT_EQ(window.CaptionCount(), 0u);
}

TEST_F(MainCrtModelTest, StartRunsTheCleanUpInOrderAndThenTheWorker) {
  for (uint8_t confirm : {uint8_t{1}, uint8_t{0}, uint8_t{2}}) {
    SCOPED_TRACE(int{confirm});
    ASSERT_TRUE(WaitForRunEnd());
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    messages_.clear();
    MainCrtModel model(Services());
    model.FormCreate();
    model.controls.SetFolder("C:\\work");
    // Only the question's flag differs; a flag byte other than 1 asks nothing.
    DeleteSettings.ConfirmStart = confirm;
    model.controls.categories[12].deleteBox.SetChecked(true);  // *.BAK
    os_.AddFile("C:\\work\\a.bak", 3000);
    os_.AddFile("C:\\work\\b.txt", 10);
    os_.AddFile("C:\\users\\user\\Temp\\old.tmp");
    os_.cache.push_back({"http://example.com/x", 0});
    StopRequested.store(1);  // Stop pressed while idle does not stop the next run
    os_.ClearLog();
    RecordingWindow window;
    model.Start(window);
    EXPECT_EQ(messages_.size(), confirm == 1 ? 1u : 0u);
    EXPECT_EQ(StopRequested.load(), 0);
    EXPECT_EQ(TargetFolder, "C:\\work");
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_EQ(RunGuard.load(), 0);
    EXPECT_FALSE(os_.Exists("C:\\work\\a.bak"));
    EXPECT_TRUE(os_.Exists("C:\\work\\b.txt"));
    EXPECT_EQ(window.Last(RunCaption::ReadCount), "2");
    EXPECT_EQ(window.Last(RunCaption::DeletedCount), "1");
    EXPECT_EQ(FreeSpaceBefore.load(), 5000);

    // The order of the platform calls: free space, temp folder, URL cache,
    // recent documents, then the walk of the target.
    const std::vector<std::string> log = os_.Log();
    auto first = [&log](const std::string& prefix) {
      for (size_t i = 0; i < log.size(); ++i)
        if (log[i].rfind(prefix, 0) == 0) return i;
      return log.size();
    };
    const size_t freeSpace = first("GetDiskFreeBytes C:\\");
    const size_t temp = first("DeleteEntry C:\\users\\user\\Temp\\");
    const size_t cache = first("DeleteUrlCacheEntry");
    const size_t recent = first("AddToRecentDocs");
    const size_t walk = first("ReadEntries C:\\work");
    ASSERT_LT(walk, log.size());
    EXPECT_LT(freeSpace, temp);
    EXPECT_LT(temp, cache);
    EXPECT_LT(cache, recent);
    EXPECT_LT(recent, walk);
  }
}

TEST_F(MainCrtModelTest, WithTheCleanUpFlagsOffStartGoesStraightToTheWorker) {
  MainCrtModel model(Services());
  model.FormCreate();
  model.controls.SetFolder("C:\\work");
  model.controls.OptionBoxOf(SettingsControls::kConfirmStart).SetChecked(false);
  for (auto which :
       {SettingsControls::kWinTemp, SettingsControls::kBrowserCache, SettingsControls::kRecentDocs})
    model.controls.OptionBoxOf(which).SetChecked(false);
  os_.AddFolder("C:\\work");
  RecordingWindow window;
  model.Start(window);
  ASSERT_TRUE(WaitForRunEnd());
  // Nothing was deleted and the drive did not change: 0 won.
  EXPECT_EQ(window.Last(RunCaption::FreeSpace), "5000");
  EXPECT_EQ(window.Last(RunCaption::SpaceWon), "0");
  EXPECT_EQ(window.Last(RunCaption::ReadCount), "0");
  const std::vector<std::string> log = os_.Log();
  for (const std::string& line : log) {
    EXPECT_NE(line.rfind("DeleteUrlCacheEntry", 0), 0u) << line;
    EXPECT_NE(line.rfind("AddToRecentDocs", 0), 0u) << line;
    EXPECT_EQ(line.find("Temp"), std::string::npos) << line;
  }
}

TEST_F(MainCrtModelTest, StopOnlyRaisesTheRequest) {
  MainCrtModel model(Services());
  model.Stop();
  EXPECT_EQ(StopRequested.load(), 1);
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_TRUE(messages_.empty());
}

TEST(ErrorReportTextTest, AppendsAFullStopOnlyWhenMissing) {
  test::FakePlatform os;
  const struct {
    std::string message, shown;
  } cases[] = {
      {"アクセスが拒否されました", "アクセスが拒否されました."},
      {"Access is denied.", "Access is denied."},
      {"書き込めません。", "書き込めません。"},
      {"", "."},
      // "ー" ends in the byte 0x5B and "ア" in 0x41: neither is a full stop.
      {"\x81\x42x", "\x81\x42x."},
      // A trail byte 0x81 followed by "B" is not "。".
      {"\x82\x81\x42", "\x82\x81\x42."},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorReportText(c.message), c.shown) << c.message;
}

}  // namespace
}  // namespace purga
