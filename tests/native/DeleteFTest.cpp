#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <thread>

#include "common/Hensu.h"
#include "engine/DeleteF.h"
#include "tests/fake/FakePlatform.h"
#include "tests/native/RunHarness.h"

namespace purga {
namespace {

using test::DispatcherWindow;
using test::FakePlatform;
using test::WaitUntil;
using Lines = std::vector<std::string>;

// What the walk does to the tree; the opening and checking of each entry are
// left out here and followed step by step where they are the point.
const Lines kWalkOps = {"ReadEntries", "SetEntryAttributes", "DeleteEntry", "CloseEntry"};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    DeleteSettings.DeleteSmaller = 0;
    DeleteSettings.DeleteEmptyFolders = 0;
    DeleteSettings.DeleteReadOnly = 0;
    DeleteSettings.Rules[0].Enabled = 1;  // *.HTM, any size
    TargetFolder = "C:\\T";
    os_.AddFolder("C:\\T");
    os_.freeBytes["C:\\"] = 5000 * 1024;
  }

  // One run to its end, as Start would begin it.
  void Run() {
    mark_ = window_.Timeline().size();
    StopRequested.store(stopBeforeRun_);
    RunGuard.store(1);
    FreeSpaceBefore.store(4000);
    new TFileDelte(window_);
    ASSERT_TRUE(WaitUntil([] { return !TFileDelte::Alive(); }));
    EXPECT_EQ(RunGuard.load(), 0);
  }

  // The timeline of the last run, and its lines that begin with one of
  // `prefixes`.
  Lines Timeline() const {
    const Lines all = window_.Timeline();
    return Lines(all.begin() + static_cast<long>(std::min(mark_, all.size())), all.end());
  }
  Lines Select(const Lines& prefixes) const {
    Lines lines;
    for (const std::string& line : Timeline())
      if (std::any_of(prefixes.begin(), prefixes.end(),
                      [&](const std::string& p) { return line.rfind(p, 0) == 0; }))
        lines.push_back(line);
    return lines;
  }
  Lines Ops() const { return Select(kWalkOps); }
  bool Has(const std::string& line) const {
    const auto all = Timeline();
    return std::find(all.begin(), all.end(), line) != all.end();
  }
  bool HasPrefix(const std::string& prefix) const { return !Select({prefix}).empty(); }
  // Position of `line` in the last run's timeline; a missing line fails the
  // test.
  size_t IndexOf(const std::string& line) const {
    const auto all = Timeline();
    const auto it = std::find(all.begin(), all.end(), line);
    if (it == all.end()) ADD_FAILURE() << "missing: " << line;
    return static_cast<size_t>(it - all.begin());
  }

  FakePlatform os_;
  DispatcherWindow window_{os_};
  int32_t stopBeforeRun_ = 0;
  size_t mark_ = 0;
};

TEST_F(WorkerTest, FilesBeforeFoldersEnumerationKeptOpenRemovalInPostOrder) {
  os_.AddFile("C:\\T\\a.htm");
  os_.AddFile("C:\\T\\keep.txt");
  os_.AddFile("C:\\T\\outer\\middle\\inner\\x.htm");
  os_.AddFile("C:\\T\\outer\\middle\\inner\\y.htm");
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  Run();
  // Each folder is removed through its own handle, which closes before the
  // walk goes on in the folder above.
  const std::string o = "C:\\T\\outer", m = o + "\\middle", i = m + "\\inner";
  const Lines expected = {
      "ReadEntries C:\\T",
      "SetEntryAttributes C:\\T\\a.htm 32",
      "DeleteEntry C:\\T\\a.htm",
      "CloseEntry C:\\T\\a.htm",
      "ReadEntries C:\\T",
      "ReadEntries " + o,
      "ReadEntries " + o,
      "ReadEntries " + m,
      "ReadEntries " + m,
      "ReadEntries " + i,
      "SetEntryAttributes " + i + "\\x.htm 32",
      "DeleteEntry " + i + "\\x.htm",
      "CloseEntry " + i + "\\x.htm",
      "SetEntryAttributes " + i + "\\y.htm 32",
      "DeleteEntry " + i + "\\y.htm",
      "CloseEntry " + i + "\\y.htm",
      "ReadEntries " + i,
      "SetEntryAttributes " + i + " 16",
      "DeleteEntry " + i,
      "CloseEntry " + i,
      "SetEntryAttributes " + m + " 16",
      "DeleteEntry " + m,
      "CloseEntry " + m,
      "SetEntryAttributes " + o + " 16",
      "DeleteEntry " + o,
      "CloseEntry " + o,
      "SetEntryAttributes C:\\T 16",
      "DeleteEntry C:\\T",
      "CloseEntry C:\\T",
  };
  EXPECT_EQ(Ops(), expected);
  EXPECT_EQ(os_.ListTree("C:\\T"), (Lines{"c:\\t", "c:\\t\\keep.txt"}));
}

TEST_F(WorkerTest, FolderRemovalFollowsTheTwoFlagsExactly) {
  const struct {
    uint8_t emptyFolders, readOnly;
    uint32_t rootWord;
    bool rootRemoved, attributesTouched;
  } cases[] = {
      {1, 1, 17, true, true},    // read-only target cleared, then removed
      {1, 0, 17, false, false},  // read-only target: the platform refuses
      {1, 0, 16, true, false},
      {2, 1, 16, false, false},  // a flag counts only when it is exactly 1
      {0, 1, 16, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << int(c.emptyFolders) << int(c.readOnly) << " " << c.rootWord);
    os_.AddFolder("C:\\T", c.rootWord);
    os_.AddFile("C:\\T\\sub\\x.htm");
    DeleteSettings.DeleteEmptyFolders = c.emptyFolders;
    DeleteSettings.DeleteReadOnly = c.readOnly;
    Run();
    EXPECT_EQ(os_.Exists("C:\\T"), !c.rootRemoved);
    EXPECT_EQ(os_.Exists("C:\\T\\sub"), c.emptyFolders != 1);
    EXPECT_FALSE(os_.Exists("C:\\T\\sub\\x.htm"));
    EXPECT_EQ(Has("SetEntryAttributes C:\\T 16"), c.attributesTouched);
    EXPECT_EQ(Has("DeleteEntry C:\\T"), c.emptyFolders == 1);
  }
}

TEST_F(WorkerTest, OnlyTheFourPlainAttributeWordsAreActedOn) {
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  // Files: examined (and, all being *.htm, deleted) only with 32 or 33.
  const struct {
    uint32_t word;
    bool examined;
  } files[] = {
      {32, true},       {33, true},        {0, false},    {1, false},        {128, false},
      {34, false},      {35, false},       {36, false},   {288, false},      {2080, false},
      {8224, false},    {16416, false},    {1056, false}, {0x400020, false}, {0x1020, false},
      {0x80020, false}, {0x100020, false},
  };
  for (const auto& f : files) os_.AddFile("C:\\T\\f" + std::to_string(f.word) + ".htm", 1, f.word);
  // Folders, each holding a selected file: entered only with 16 or 17.
  const struct {
    std::string name;
    uint32_t word;
    bool entered;
  } folders[] = {
      {"d16", 16, true},
      {"d17", 17, true},
      {"d48", 48, false},
      {"d18", 18, false},
      {"d20", 20, false},
      {"d1040", 1040, false},
      {"d1041", 1041, false},
      {"d0x400010", 0x400010, false},
      {"d0x1010", 0x1010, false},
      {"d0x2010", 0x2010, false},
      {"d0x80010", 0x80010, false},
      {".dot", 16, false},
  };
  for (const auto& d : folders) {
    os_.AddFolder("C:\\T\\" + d.name, d.word);
    os_.AddFile("C:\\T\\" + d.name + "\\in.htm");
  }
  Run();
  for (const auto& f : files) {
    const std::string name = "f" + std::to_string(f.word) + ".htm";
    EXPECT_EQ(Has("Progress " + name), f.examined) << name;
    EXPECT_EQ(os_.Exists("C:\\T\\" + name), !f.examined) << name;
  }
  for (const auto& d : folders) {
    const std::string path = "C:\\T\\" + d.name;
    EXPECT_EQ(Has("ReadEntries " + path), d.entered) << d.name;
    EXPECT_EQ(os_.Exists(path + "\\in.htm"), !d.entered) << d.name;
    EXPECT_EQ(os_.Exists(path), !d.entered) << d.name;
    EXPECT_EQ(Has("DeleteEntry " + path), d.entered) << d.name;
    EXPECT_EQ(Has("SetEntryAttributes " + path + " 16"), d.entered) << d.name;
  }
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "4");
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "4");
}

TEST_F(WorkerTest, CountsCaptionsAndHandOversInOrder) {
  os_.AddFile("C:\\T\\a.htm");
  os_.AddFile("C:\\T\\b.txt");
  os_.AddFile("C:\\T\\c.htm");
  os_.failDelete.insert("C:\\T\\c.htm");
  os_.freeBytes["C:\\"] = 3500 * 1024;  // less than before: the difference is negative
  Run();
  const Lines expected = {
      "Caption ReadCount 0", "Caption DeletedCount 0",        "Progress ",
      "Progress a.htm",      "Caption ReadCount 1",           "Caption DeletedCount 1",
      "Progress b.txt",      "Caption ReadCount 2",           "Progress c.htm",
      "Caption ReadCount 3", "Progress c.htm 削除できません", "Sleep 30",
      "Progress ",           "Caption FreeSpace 3500",        "Caption SpaceWon -500",
  };
  EXPECT_EQ(Select({"Caption", "Progress", "Sleep"}), expected);
  EXPECT_EQ(FreeSpaceAfter.load(), 3500);
  EXPECT_EQ(os_.SleepCount(), 1);
}

TEST_F(WorkerTest, TenExaminedThreeDeletedAndANewRunStartsFromZero) {
  for (int i = 0; i < 10; ++i)
    os_.AddFile("C:\\T\\f" + std::to_string(i) + (i % 3 == 0 && i ? ".htm" : ".txt"));
  Run();
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "10");
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "3");
  os_.AddFile("C:\\T\\again.htm");
  Run();
  const Lines all = Timeline();
  ASSERT_GE(all.size(), 2u);
  EXPECT_EQ(Lines(all.begin(), all.begin() + 2),
            (Lines{"Caption ReadCount 0", "Caption DeletedCount 0"}));
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "8");
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "1");
}

TEST_F(WorkerTest, StopUnwindsByTheRules) {
  // Root files a1, a2; folders m (files m1..m3 and a sub-folder) and n.
  const auto build = [this] {
    for (const char* path :
         {"C:\\T\\a1.htm", "C:\\T\\a2.htm", "C:\\T\\m\\m1.htm", "C:\\T\\m\\m2.htm",
          "C:\\T\\m\\m3.htm", "C:\\T\\m\\sub\\s.htm", "C:\\T\\n\\n1.htm"})
      os_.AddFile(path);
  };
  const struct {
    const char* name;
    std::string stopOnCall;       // the user presses Stop during this hand-over
    std::string stopOnOperation;  // or just before this operation
    Lines examined;
    Lines walked;   // folders whose files were listed
    Lines removed;  // removal attempts
  } cases[] = {
      {"before the walk", "Progress ", "", {}, {"C:\\T"}, {}},
      {"in m's files",
       "Progress m2.htm",
       "",
       {"a1.htm", "a2.htm", "m1.htm", "m2.htm"},
       {"C:\\T", "C:\\T\\m"},
       {"C:\\T"}},
      {"after m's sub-folders",
       "",
       "DeleteEntry C:\\T\\m",
       {"a1.htm", "a2.htm", "m1.htm", "m2.htm", "m3.htm", "s.htm"},
       {"C:\\T", "C:\\T\\m", "C:\\T\\m\\sub"},
       {"C:\\T\\m\\sub", "C:\\T\\m", "C:\\T"}},
      {"in the root's files", "Progress a1.htm", "", {"a1.htm"}, {"C:\\T"}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    build();
    DeleteSettings.DeleteEmptyFolders = 1;
    window_.onCall = [&](const std::string& line) {
      if (line == c.stopOnCall) StopRequested.store(1);
    };
    window_.onOperation = [&](const std::string& line) {
      if (line == c.stopOnOperation) StopRequested.store(1);
    };
    Run();
    Lines examined, walked, removed;
    for (const std::string& line : Timeline()) {
      if (line.rfind("Progress ", 0) == 0 && line.size() > 9 &&
          line.find(' ', 9) == std::string::npos)
        examined.push_back(line.substr(9));
      if (line.rfind("DeleteEntry ", 0) == 0 && line.find(".htm") == std::string::npos)
        removed.push_back(line.substr(12));
      if (line.rfind("ReadEntries ", 0) == 0 &&
          std::count(walked.begin(), walked.end(), line.substr(12)) == 0)
        walked.push_back(line.substr(12));
    }
    EXPECT_EQ(examined, c.examined);
    EXPECT_EQ(walked, c.walked);
    EXPECT_EQ(removed, c.removed);
    // The end steps ran: the last hand-over, then the two free-space captions.
    const Lines all = Select({"Progress", "Caption"});
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(all[all.size() - 3], "Progress ");
    EXPECT_EQ(all[all.size() - 2], "Caption FreeSpace 5000");
    EXPECT_EQ(all.back(), "Caption SpaceWon 1000");
    window_.onCall = nullptr;
    window_.onOperation = nullptr;
  }
}

TEST_F(WorkerTest, StopRequestedBeforeTheWalkExaminesAndRemovesNothing) {
  os_.AddFile("C:\\T\\sub\\x.htm");
  os_.AddFile("C:\\T\\y.htm");
  DeleteSettings.DeleteEmptyFolders = 1;
  stopBeforeRun_ = 1;
  Run();
  EXPECT_EQ(Ops(), (Lines{"ReadEntries C:\\T", "CloseEntry C:\\T"}));
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "0");
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "0");
  EXPECT_EQ(window_.Caption(RunCaption::SpaceWon), "1000");
}

TEST_F(WorkerTest, FailuresOfSingleStepsAreSkipped) {
  os_.AddFile("C:\\T\\a.htm");
  os_.AddFile("C:\\T\\b.htm", 1, 33);  // read-only, option off: its deletion fails
  os_.AddFile("C:\\T\\c.htm");
  os_.AddFile("C:\\T\\locked\\held.htm");
  os_.AddFile("C:\\T\\unlistable\\u.htm");
  os_.AddFile("C:\\T\\z.htm");
  os_.failDelete.insert("C:\\T\\locked\\held.htm");
  os_.failList.insert("C:\\T\\unlistable");
  DeleteSettings.DeleteEmptyFolders = 1;
  window_.onOperation = [](const std::string& line) {
    if (line == "DeleteEntry C:\\T\\c.htm") throw std::runtime_error("unexpected");
  };
  Run();
  EXPECT_EQ(Select({"Progress "}),
            (Lines{"Progress ", "Progress a.htm", "Progress b.htm", "Progress b.htm 削除できません",
                   "Progress c.htm", "Progress c.htm 削除できません", "Progress z.htm",
                   "Progress held.htm", "Progress held.htm 削除できません", "Progress "}));
  EXPECT_EQ(os_.SleepCount(), 3);
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "5");
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "2");
  EXPECT_TRUE(os_.Exists("C:\\T\\b.htm"));
  EXPECT_TRUE(os_.Exists("C:\\T\\c.htm"));
  EXPECT_TRUE(os_.Exists("C:\\T\\locked\\held.htm"));
  EXPECT_TRUE(os_.Exists("C:\\T\\unlistable\\u.htm"));
  // An unlistable folder counts as empty; its removal is still tried.
  EXPECT_TRUE(Has("DeleteEntry C:\\T\\unlistable"));
  EXPECT_TRUE(Has("DeleteEntry C:\\T"));
  // The file whose deletion threw was closed all the same.
  EXPECT_TRUE(Has("CloseEntry C:\\T\\c.htm"));
}

TEST_F(WorkerTest, ReadOnlyOptionClearsTheWordBeforeDeleting) {
  os_.AddFile("C:\\T\\ro.htm", 1, 33);
  os_.AddFile("C:\\T\\held.htm", 1, 33);
  os_.failDelete.insert("C:\\T\\held.htm");
  DeleteSettings.DeleteReadOnly = 1;
  os_.AddFile("C:\\T\\stuck.htm", 1, 33);  // its attribute change fails: so does its deletion
  os_.failSetAttributes.insert("C:\\T\\stuck.htm");
  Run();
  EXPECT_FALSE(os_.Exists("C:\\T\\ro.htm"));
  EXPECT_LT(IndexOf("GetEntryName C:\\T\\ro.htm"), IndexOf("SetEntryAttributes C:\\T\\ro.htm 32"));
  EXPECT_LT(IndexOf("SetEntryAttributes C:\\T\\ro.htm 32"), IndexOf("DeleteEntry C:\\T\\ro.htm"));
  EXPECT_TRUE(os_.Exists("C:\\T\\stuck.htm"));
  EXPECT_TRUE(Has("Progress stuck.htm 削除できません"));
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "1");
  // A selected file whose deletion fails stays behind with the word 32.
  EXPECT_EQ(os_.Attributes("C:\\T\\held.htm"), 32u);
}

TEST_F(WorkerTest, AMissingTargetGivesZeroCountsAndTheFreeSpaceCaptions) {
  TargetFolder = "D:\\gone";
  os_.freeBytes["D:\\"] = 10 * 1024;
  DeleteSettings.DeleteEmptyFolders = 1;
  Run();
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "0");
  EXPECT_EQ(window_.Caption(RunCaption::FreeSpace), "10");
  EXPECT_EQ(window_.Caption(RunCaption::SpaceWon), "-3990");
  // What cannot be opened and resolved is not acted on.
  EXPECT_TRUE(Has("OpenFolder D:\\gone 7"));
  EXPECT_FALSE(HasPrefix("ReadEntries"));
  EXPECT_FALSE(HasPrefix("DeleteEntry"));
}

TEST_F(WorkerTest, EveryNameIsReachedByItselfAndShownInTheCodePage) {
  DeleteSettings.DeleteEmptyFolders = 1;
  const struct {
    std::u16string name;
    std::string shown;
    bool selected, deleted;
  } files[] = {
      {u"ソ.htm", "ソ.htm", true, true},  // 83 5C: a trail byte, not a separator
      {u"caf\u00e9.htm", "caf?.htm", true, true},
      {u"\ud55c\uad6d.htm", "??.htm", true, true},  // Hangul
      {u"\U0001F600.htm", "?.htm", true, true},     // an emoji: one character, two units
      {u"\u0101.htm", "?.htm", true, true},         // best fit would read "a.htm"
      {u"a.htm", "a.htm", true, true},
      {u"\u00a5.htm", "?.htm", true, true},                 // the yen sign, whose look-alike is 5C
      {u"x.ht\u1e3f", "x.ht?", false, false},               // "ḿ": no exact extension, no match
      {u"x.\uff48\uff54\uff4d", "x.ｈｔｍ", false, false},  // not the list's letters
      {u"a/b.htm", "a/b.htm", true, false},                 // a separator: never opened
  };
  for (const auto& f : files) os_.AddFile(u"C:\\T\\" + f.name);
  // Folders whose names the code page lacks are walked and emptied too.
  const std::u16string folders[] = {u"\u00e9", u"\u7b80", u"表"};
  for (const std::u16string& folder : folders) os_.AddFile(u"C:\\T\\" + folder + u"\\in.htm");
  Run();
  int examined = 3, deleted = 3;
  for (const auto& f : files) {
    SCOPED_TRACE(f.shown);
    ++examined;
    deleted += f.deleted;
    EXPECT_EQ(os_.Exists(u"C:\\T\\" + f.name), !f.deleted);
    EXPECT_TRUE(Has("Progress " + f.shown));
    EXPECT_EQ(Has("Progress " + f.shown + " 削除できません"), f.selected && !f.deleted);
    EXPECT_EQ(HasPrefix("OpenChild C:\\T\\" + f.shown + " file"), f.deleted);
  }
  for (const std::u16string& folder : folders) EXPECT_FALSE(os_.Exists(u"C:\\T\\" + folder));
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), std::to_string(examined));
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), std::to_string(deleted));
}

TEST_F(WorkerTest, EachFolderStepAsksForWhatItNeeds) {
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  // What each folder refuses, and what then becomes of it.
  const struct {
    const char* name;
    uint32_t denied;
    bool holdsFile;
    bool examined, wordSet, removed;
  } folders[] = {
      {"all", 0, true, true, true, true},
      {"noDelete", kRightDelete, true, true, true, false},
      {"noChange", kRightChange, true, true, false, false},  // read-only: stays
      {"noListEmpty", kRightList, false, false, true, true},
      {"noListFull", kRightList, true, false, true, false},
      {"nothing", kRightList | kRightChange | kRightDelete, true, false, false, false},
  };
  for (const auto& f : folders) {
    const std::string path = std::string("C:\\T\\") + f.name;
    os_.AddFolder(path, kAttrDirectory | kAttrReadOnly);
    if (f.holdsFile) os_.AddFile(path + "\\" + f.name + ".htm");
    if (f.denied != 0) os_.denyRights[path] = f.denied;
  }
  Run();
  for (const auto& f : folders) {
    SCOPED_TRACE(f.name);
    const std::string path = std::string("C:\\T\\") + f.name;
    EXPECT_EQ(Has(std::string("Progress ") + f.name + ".htm"), f.examined);
    EXPECT_EQ(os_.Attributes(path) == kAttrDirectory || !os_.Exists(path), f.wordSet);
    EXPECT_EQ(os_.Exists(path), !f.removed);
  }
}

TEST_F(WorkerTest, AChosenFolderThatIsALinkIsWalkedButNeitherItNorItsTargetChanged) {
  os_.Remove("C:\\T");
  os_.AddFolder("C:\\real", kAttrDirectory | kAttrReadOnly);
  os_.AddFile("C:\\real\\a.htm");
  os_.AddFile("C:\\real\\sub\\b.htm");
  os_.AddLink("C:\\T", "C:\\real");
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  Run();
  EXPECT_EQ(os_.ListTree("C:\\real"), (Lines{"c:\\real"}));
  EXPECT_EQ(os_.Attributes("C:\\real"), kAttrDirectory | kAttrReadOnly);
  EXPECT_TRUE(os_.Exists("C:\\T"));
  EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "2");
}

TEST_F(WorkerTest, EveryOperationWaitsForTheHandOverBeforeIt) {
  for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"})
    os_.AddFile(std::string("C:\\T\\") + name);
  os_.failDelete.insert("C:\\T\\c.htm");
  // A worker that did not wait would run ahead while the dispatcher holds
  // each call.
  window_.holdEachCall = std::chrono::milliseconds(3);
  Run();
  int deleted = 0;
  int read = 0;
  for (const char* name : {"a.htm", "b.htm", "c.htm", "d.htm"}) {
    SCOPED_TRACE(name);
    ++read;
    const size_t progress = IndexOf(std::string("Progress ") + name);
    const size_t readCaption = IndexOf("Caption ReadCount " + std::to_string(read));
    const size_t deletion = IndexOf(std::string("DeleteEntry C:\\T\\") + name);
    EXPECT_LT(progress, readCaption);
    EXPECT_LT(readCaption, deletion);
    if (std::string(name) == "c.htm") {
      EXPECT_LT(deletion, IndexOf("Progress c.htm 削除できません"));
      EXPECT_LT(IndexOf("Progress c.htm 削除できません"), IndexOf("Sleep 30"));
      EXPECT_LT(IndexOf("Sleep 30"), IndexOf("Progress d.htm"));
    } else {
      EXPECT_LT(deletion, IndexOf("Caption DeletedCount " + std::to_string(++deleted)));
    }
  }
  EXPECT_LT(IndexOf("CloseEntry C:\\T"), IndexOf("Caption FreeSpace 5000"));
}

TEST_F(WorkerTest, SettingsChangedDuringARunApplyFromTheNextFile) {
  for (int i = 0; i < 8; ++i) os_.AddFile("C:\\T\\f" + std::to_string(i) + ".htm");
  os_.AddFile("C:\\T\\sub\\g.htm");
  DeleteSettings.DeleteEmptyFolders = 1;
  // The user unticks "*.HTM" and the empty-folder option while f4 is shown.
  window_.onCall = [](const std::string& line) {
    if (line == "Progress f4.htm") {
      StoreFlag(DeleteSettings.Rules[0].Enabled, 0);
      StoreFlag(DeleteSettings.DeleteEmptyFolders, 0);
    }
  };
  // Meanwhile another thread keeps changing settings no file here depends on.
  std::atomic<bool> stop{false};
  std::thread user([&] {
    for (int32_t i = 0; !stop.load(); ++i) {
      StoreFlag(DeleteSettings.Rules[4].Enabled, static_cast<uint8_t>(i & 1));
      StoreFlag(DeleteSettings.Rules[4].SizeLimited, static_cast<uint8_t>(i & 1));
      StoreThreshold(DeleteSettings.Rules[4], i);
      StoreFlag(DeleteSettings.DeleteSmaller, static_cast<uint8_t>(i & 1));
      StoreText(DeleteSettings.OtherExtension, i & 1 ? "bmp" : "gif");
      std::this_thread::yield();
    }
  });
  Run();
  stop.store(true);
  user.join();
  // No folder is removed once the option is off.
  EXPECT_EQ(Select({"DeleteEntry"}),
            (Lines{"DeleteEntry C:\\T\\f0.htm", "DeleteEntry C:\\T\\f1.htm",
                   "DeleteEntry C:\\T\\f2.htm", "DeleteEntry C:\\T\\f3.htm"}));
  EXPECT_EQ(window_.Caption(RunCaption::ReadCount), "9");
}

TEST_F(WorkerTest, UnexpectedFailuresStillEndTheRunAndClearRunGuard) {
  os_.AddFile("C:\\T\\a.htm");
  os_.AddFile("C:\\T\\sub\\b.htm");
  os_.AddFile("C:\\T\\sub2\\c.htm");
  const struct {
    const char* name;
    std::string throwOnOperation;
    std::string throwOnCall;
  } cases[] = {
      {"memory runs out listing a folder", "ReadEntries C:\\T\\sub", ""},
      {"the window fails", "", "Progress a.htm"},
      {"the final hand-over fails", "", "Progress "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os_.AddFile("C:\\T\\a.htm");
    bool thrown = false;
    bool walked = false;
    window_.onOperation = [&](const std::string& line) {
      if (line == c.throwOnOperation) throw std::bad_alloc();
    };
    window_.onCall = [&](const std::string& line) {
      // The first "Progress " is the hand-over before the walk; fail the last.
      walked = walked || line == "Progress a.htm";
      if (line == c.throwOnCall && (line != "Progress " || walked) && !thrown) {
        thrown = true;
        throw std::runtime_error("window");
      }
    };
    Run();
    const Lines all = Timeline();
    EXPECT_EQ(all.back(), "Caption SpaceWon 1000");
    EXPECT_TRUE(thrown || !c.throwOnOperation.empty());
    // The last hand-over was made whatever happened before it.
    EXPECT_EQ(std::count(all.begin(), all.end(), "Progress "), 2);
    // Every entry that was opened has been closed.
    EXPECT_EQ(os_.OpenHandles(), 0u);
    window_.onOperation = nullptr;
    window_.onCall = nullptr;
    os_.ClearLog();
  }
}

TEST_F(WorkerTest, StopAndWaitEndsARunningWorkerAfterItsLastHandOver) {
  for (int i = 0; i < 50; ++i) os_.AddFile("C:\\T\\f" + std::to_string(i) + ".htm");
  window_.holdEachCall = std::chrono::milliseconds(1);
  std::atomic<bool> started{false};
  window_.onCall = [&](const std::string& line) {
    if (line == "Progress f3.htm") started.store(true);
  };
  StopRequested.store(0);
  RunGuard.store(1);
  new TFileDelte(window_);
  ASSERT_TRUE(WaitUntil([&] { return started.load(); }));
  int services = 0;
  TFileDelte::StopAndWait([&] {
    ++services;
    std::this_thread::yield();
  });
  EXPECT_FALSE(TFileDelte::Alive());
  EXPECT_GT(services, 0);
  EXPECT_EQ(RunGuard.load(), 0);
  // Nothing reaches the window after the wait: the run's last call is done.
  EXPECT_EQ(window_.Timeline().back().rfind("Caption SpaceWon", 0), 0u);
  EXPECT_LT(std::stoi(window_.Caption(RunCaption::ReadCount)), 50);
}

TEST_F(WorkerTest, EachEntryIsCheckedAndThenChangedThroughTheSameHandle) {
  os_.AddFile("C:\\T\\a.htm", 1, 33);
  os_.AddFolder("C:\\T\\sub");
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  Run();
  // Opened relative to its folder, then checked: no link, its kind, its file
  // ID and its place; then acted on through the same handle.
  const Lines expected = {
      "OpenFolder C:\\T 7",
      "GetPathAttributes C:\\T",
      "GetEntryName C:\\T",
      "ReadEntries C:\\T",
      "OpenChild C:\\T\\a.htm file 6",
      "GetEntryInfo C:\\T\\a.htm",
      "GetEntryName C:\\T\\a.htm",
      "GetEntryStandard C:\\T\\a.htm",
      "SetEntryAttributes C:\\T\\a.htm 32",
      "DeleteEntry C:\\T\\a.htm",
      "CloseEntry C:\\T\\a.htm",
      "ReadEntries C:\\T",
      "OpenChild C:\\T\\sub folder 7",
      "GetEntryInfo C:\\T\\sub",
      "GetEntryName C:\\T\\sub",
      "ReadEntries C:\\T\\sub",
      "ReadEntries C:\\T\\sub",
      "SetEntryAttributes C:\\T\\sub 16",
      "DeleteEntry C:\\T\\sub",
      "CloseEntry C:\\T\\sub",
      "SetEntryAttributes C:\\T 16",
      "DeleteEntry C:\\T",
      "CloseEntry C:\\T",
  };
  EXPECT_EQ(Select({"Open", "GetEntry", "GetPath", "ReadEntries", "SetEntry", "DeleteEntry",
                    "CloseEntry"}),
            expected);
  EXPECT_FALSE(os_.Exists("C:\\T"));
}

TEST_F(WorkerTest, WhatFailsItsCheckIsCountedReportedAndLeftAlone) {
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  os_.AddFile("C:\\out\\victim.htm");
  os_.AddFolder("C:\\out\\empty", 18);
  const struct {
    const char* name;
    bool linksOpenAsTargets;
    std::function<void()> setUp;
  } cases[] = {
      {"a file link (Windows opens the link)", false,
       [&] { os_.AddLink("C:\\T\\x.htm", "C:\\out\\victim.htm", 32); }},
      {"a file link (Wine opens its target)", true,
       [&] { os_.AddLink("C:\\T\\x.htm", "C:\\out\\victim.htm", 32); }},
      {"a folder link listed as a plain folder", false,
       [&] { os_.AddLink("C:\\T\\x", "C:\\out", 16); }},
      {"the same where links open as their targets", true,
       [&] { os_.AddLink("C:\\T\\x", "C:\\out", 16); }},
      {"a file that cannot be opened", false,
       [&] {
         os_.AddFile("C:\\T\\x.htm");
         os_.failOpen.insert("C:\\T\\x.htm");
       }},
      {"a folder that cannot be opened", false,
       [&] {
         os_.AddFile("C:\\T\\x\\in.htm");
         os_.failOpen.insert("C:\\T\\x");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os_.AddFolder("C:\\T");
    os_.AddFile("C:\\T\\keep.txt");
    c.setUp();
    os_.linksOpenAsTargets = c.linksOpenAsTargets;
    Run();
    EXPECT_TRUE(os_.Exists("C:\\out\\victim.htm"));
    EXPECT_EQ(os_.Attributes("C:\\out\\empty"), 18u);
    EXPECT_TRUE(os_.Exists("C:\\T\\x") || os_.Exists("C:\\T\\x.htm"));
    EXPECT_FALSE(HasPrefix("SetEntryAttributes C:\\T\\x"));
    EXPECT_FALSE(HasPrefix("DeleteEntry C:\\T\\x"));
    EXPECT_FALSE(HasPrefix("ReadEntries C:\\T\\x"));
    // A refused file is examined and reported like a failed deletion.
    const bool file = os_.Exists("C:\\T\\x.htm");
    EXPECT_EQ(Has("Progress x.htm 削除できません"), file);
    EXPECT_EQ(window_.Caption(RunCaption::ReadCount), file ? "2" : "1");
    EXPECT_EQ(window_.Caption(RunCaption::DeletedCount), "0");
    os_.failOpen.clear();
    os_.Remove("C:\\T");
  }
}

TEST_F(WorkerTest, AFolderSwappedForALinkDuringTheRunLeadsNowhere) {
  // The user's tree: T\a (walked first, where the swap happens) and T\b,
  // which another program replaces by a link to a folder outside the tree
  // after T has been listed.
  const struct {
    const char* name;
    bool linksOpenAsTargets;
    const char* swapped;  // the folder replaced by a link
    const char* when;     // the hand-over during which that happens
  } cases[] = {
      {"swapped before it is entered (Windows)", false, "C:\\T\\b", "Progress a.htm"},
      {"swapped before it is entered (Wine)", true, "C:\\T\\b", "Progress a.htm"},
      {"swapped while it is walked (Windows)", false, "C:\\T\\b", "Progress b1.htm"},
      {"swapped while it is walked (Wine)", true, "C:\\T\\b", "Progress b1.htm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os_.AddFile("C:\\T\\a\\a.htm");
    os_.AddFile("C:\\T\\b\\b1.htm");
    os_.AddFile("C:\\T\\b\\b2.htm");
    os_.AddFolder("C:\\T\\b\\sub");
    os_.AddFile("C:\\out\\b2.htm");
    os_.AddFile("C:\\out\\o.htm", 1, 33);
    os_.AddFolder("C:\\out\\sub", 17);
    os_.AddFolder("C:\\out\\sub\\deeper");
    const Lines outside = os_.ListTree("C:\\out");
    os_.linksOpenAsTargets = c.linksOpenAsTargets;
    DeleteSettings.DeleteEmptyFolders = 1;
    DeleteSettings.DeleteReadOnly = 1;
    window_.onCall = [&](const std::string& line) {
      if (line != c.when) return;
      os_.Move(c.swapped, "C:\\moved");
      os_.AddLink(c.swapped, "C:\\out", 16);  // still listed as a folder
    };
    Run();
    window_.onCall = nullptr;
    EXPECT_EQ(os_.ListTree("C:\\out"), outside);
    EXPECT_EQ(os_.Attributes("C:\\out"), 16u);
    EXPECT_EQ(os_.Attributes("C:\\out\\sub"), 17u);
    EXPECT_EQ(os_.Attributes("C:\\out\\o.htm"), 33u);
    // Nothing through the link was listed, changed or deleted.
    for (const std::string& line : Timeline()) {
      const bool acts = line.rfind("SetEntry", 0) == 0 || line.rfind("DeleteEntry", 0) == 0 ||
                        line.rfind("ReadEntries", 0) == 0;
      EXPECT_FALSE(acts && line.find("C:\\T\\b\\") != std::string::npos) << line;
    }
    EXPECT_FALSE(os_.Exists("C:\\T\\a"));
    for (const char* path : {"C:\\T", "C:\\out", "C:\\moved"}) os_.Remove(path);
  }
}

TEST(NamesTest, OpenableNamesAndTheExtensionsThatAreMatched) {
  test::FakePlatform os;
  const struct {
    std::u16string name;
    bool openable;
    std::optional<std::string> extension;
  } cases[] = {
      {u"a.htm", true, ".HTM"},
      {u"ソ.htm", true, ".HTM"},
      {u"表", true, ""},
      {u".hidden", true, ".HIDDEN"},
      {u"x.ｔｘｔ", true, ".ＴＸＴ"},  // full-width letters are upper-cased too
      {u"caf\u00e9.bak", true, ".BAK"},
      {u"a.b\u00e9k", true, std::nullopt},  // no exact form: matches nothing
      {u"a.\u00a5", true, std::nullopt},    // the yen sign would come back as 5C
      {u"dot.", true, "."},
      {u"blank ", true, ""},
      {u"q?.htm", true, ".HTM"},
      {u"", false, ""},
      {u".", false, "."},
      {u"..", false, "."},
      {u"a\\b", false, ""},
      {u"a/b", false, ""},
  };
  for (const auto& c : cases) {
    bool exact = false;
    SCOPED_TRACE(os.ToAnsi(c.name, exact));
    EXPECT_EQ(NameIsOpenable(c.name), c.openable);
    if (c.openable) {
      EXPECT_EQ(MatchedExtension(c.name), c.extension);
    }
  }
}

}  // namespace
}  // namespace purga
