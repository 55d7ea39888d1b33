// The deletion worker and the clean-up tasks on real files under Wine. Trees
// are made from the Linux side (fast, and able to make what Windows calls
// cannot: symbolic links, names the code page lacks).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/Cleanup.h"
#include "engine/DeleteF.h"
#include "platform/win32/UiCall.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "tests/win/EngineWinSupport.h"
#include "tests/win/UiRunWindow.h"

namespace purga {
namespace {

using test::AttributesOf;
using test::PathExists;
using test::Sh;

// The platform, with a hook that runs before each entry is opened, on the
// thread that opens it: another program acting at a chosen point of a walk.
// The hook is given the entry's path on its volume ("\\purga-engine\\...").
// It is the program-wide platform while it exists.
class HookedPlatform : public Win32Platform {
 public:
  HookedPlatform() { SetPlatform(this); }
  ~HookedPlatform() override { InstallWin32Platform(); }
  EntryHandle OpenFolder(const std::u16string& path, uint32_t rights) override {
    if (beforeOpen) beforeOpen(Shown(path));
    return Win32Platform::OpenFolder(path, rights);
  }
  EntryHandle OpenChild(EntryHandle folder, const std::u16string& name, EntryKind kind,
                        uint32_t rights) override {
    std::u16string where;
    if (beforeOpen && GetEntryPath(folder, where)) beforeOpen(Shown(where + u"\\" + name));
    return Win32Platform::OpenChild(folder, name, kind, rights);
  }
  std::function<void(const std::string& path)> beforeOpen;

 private:
  std::string Shown(const std::u16string& path) {
    bool exact = false;
    return ToAnsi(path, exact);
  }
};

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class EngineWinTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InstallWin32Platform(); }

  void SetUp() override {
    base_ = std::string("C:\\purga-engine\\") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ::CreateDirectoryW(L"C:\\purga-engine", nullptr);
    ::CreateDirectoryW(ToWide(base_).c_str(), nullptr);
    unixBase_ = test::UnixPath(base_);
    if (unixBase_.empty()) GTEST_SKIP() << "needs Wine: trees are made from the Linux side";
    ASSERT_EQ(Sh("cd '" + unixBase_ + "' && chmod -R u+w . && rm -rf ./* ./.[!.]* && mkdir T"), 0);
    target_ = base_ + "\\T";
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    DeleteSettings.DeleteSmaller = 0;
    DeleteSettings.DeleteEmptyFolders = 0;
    DeleteSettings.DeleteReadOnly = 0;
    DeleteSettings.Rules[0].Enabled = 1;  // *.HTM
  }

  void TearDown() override {
    if (!unixBase_.empty()) Sh("chmod -R u+w '" + unixBase_ + "'; rm -rf '" + unixBase_ + "'");
  }

  // Runs a shell script in the test's folder (the parent of T). The
  // variables hold characters that have no narrow literal in this code page:
  // $y "¥", $e "€", $c "é", $h "한국", $m "😀", $a "ā", $j "简", $k "ḿ".
  static std::string Prelude() {
    return "y=$(printf '\\302\\245'); e=$(printf '\\342\\202\\254'); "
           "c=$(printf '\\303\\251'); h=$(printf '\\355\\225\\234\\352\\265\\255'); "
           "m=$(printf '\\360\\237\\230\\200'); a=$(printf '\\304\\201'); "
           "j=$(printf '\\347\\256\\200'); k=$(printf '\\341\\270\\277'); ";
  }
  void Make(const std::string& script) {
    ASSERT_EQ(Sh(Prelude() + "cd '" + unixBase_ + "' && " + script), 0) << script;
  }
  bool UnixTest(const std::string& test) {
    return Sh(Prelude() + "cd '" + unixBase_ + "' && test " + test) == 0;
  }

  void RunWorker() {
    window_.log.clear();
    TargetFolder = target_;
    StopRequested.store(0);
    RunGuard.store(1);
    FreeSpaceBefore.store(GetDriveFreeKB("C"));
    new TFileDelte(window_);
    ASSERT_TRUE(test::PumpUntil([] { return !TFileDelte::Alive(); }));
    EXPECT_EQ(RunGuard.load(), 0);
  }
  std::string Caption(RunCaption which) const { return window_.captions[static_cast<int>(which)]; }
  bool Logged(const std::string& line) const {
    return std::find(window_.log.begin(), window_.log.end(), line) != window_.log.end();
  }
  std::string In(const std::string& relative) const { return base_ + "\\" + relative; }

  std::string base_, unixBase_, target_;
  UiCall ui_;
  test::UiRunWindow window_{ui_, true};
};

TEST_F(EngineWinTest, TenFilesOfWhichThreeAreSelected) {
  Make("cd T && touch a.htm b.txt c.htm d.txt e.txt f.html g.txt h.txt i.txt j.txt");
  RunWorker();
  EXPECT_EQ(Caption(RunCaption::ReadCount), "10");
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "3");
  EXPECT_FALSE(PathExists(In("T\\a.htm")));
  EXPECT_FALSE(PathExists(In("T\\f.html")));
  EXPECT_TRUE(PathExists(In("T\\b.txt")));
  // The first and the last calls of a run.
  ASSERT_GE(window_.log.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(window_.log.begin(), window_.log.begin() + 3),
            (std::vector<std::string>{"Caption 2 0", "Caption 3 0", "Progress "}));
  EXPECT_EQ(window_.log[window_.log.size() - 3], "Progress ");
  EXPECT_EQ(window_.log.back().rfind("Caption 1 ", 0), 0u);
}

TEST_F(EngineWinTest, ATargetNamedByItsShortPathIsWalkedAsUsual) {
  Make("mkdir -p T/a-rather-long-folder-name && touch T/a-rather-long-folder-name/page.htm");
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameA(In("T\\a-rather-long-folder-name").c_str(), shortPath, MAX_PATH),
            0u);
  ASSERT_EQ(std::string(shortPath).find("a-rather-long-folder-name"), std::string::npos)
      << shortPath;
  target_ = shortPath;
  RunWorker();
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "1");
  EXPECT_FALSE(PathExists(In("T\\a-rather-long-folder-name\\page.htm")));
}

TEST_F(EngineWinTest, NestedFoldersAreRemovedFromTheBottomUp) {
  Make(
      "mkdir -p T/outer/middle/inner && touch T/outer/middle/inner/a.htm "
      "T/outer/middle/inner/b.htm T/keep.txt");
  DeleteSettings.DeleteEmptyFolders = 1;
  RunWorker();
  EXPECT_FALSE(PathExists(In("T\\outer")));
  EXPECT_TRUE(PathExists(In("T\\keep.txt")));
  Make("rm T/keep.txt");
  RunWorker();
  EXPECT_FALSE(PathExists(target_));  // empty at the end of its own walk
  EXPECT_TRUE(PathExists(base_));
}

TEST_F(EngineWinTest, ReadOnlyFilesGoOnlyWithTheOption) {
  Make("touch T/ro.htm && chmod a-w T/ro.htm");
  ASSERT_EQ(AttributesOf(In("T\\ro.htm")), 33u);
  RunWorker();
  EXPECT_TRUE(PathExists(In("T\\ro.htm")));
  EXPECT_EQ(Caption(RunCaption::ReadCount), "1");
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "0");
  EXPECT_TRUE(Logged("Progress ro.htm 削除できません"));
  DeleteSettings.DeleteReadOnly = 1;
  RunWorker();
  EXPECT_FALSE(PathExists(In("T\\ro.htm")));
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "1");
}

TEST_F(EngineWinTest, AReadOnlyFileWithANameOutsideKeepsItsBitThere) {
  Make("touch T/ro.htm && chmod a-w T/ro.htm && ln T/ro.htm outside.htm");
  DeleteSettings.DeleteReadOnly = 1;
  RunWorker();
  // Deleted where the platform can leave the word alone (Windows 10 1809
  // and later), else left and reported (Wine 8); the file keeps its bit.
  EXPECT_EQ(AttributesOf(In("outside.htm")), 33u);
  EXPECT_EQ(Logged("Progress ro.htm 削除できません"), PathExists(In("T\\ro.htm")));
  EXPECT_EQ(Caption(RunCaption::DeletedCount), PathExists(In("T\\ro.htm")) ? "0" : "1");
}

TEST_F(EngineWinTest, AFileHeldOpenStaysBehindUnchanged) {
  Make("touch T/held.htm && chmod a-w T/held.htm");
  const HANDLE held =
      ::CreateFileW(ToWide(In("T\\held.htm")).c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DeleteSettings.DeleteReadOnly = 1;
  RunWorker();
  ::CloseHandle(held);
  EXPECT_TRUE(PathExists(In("T\\held.htm")));
  // It could not be opened for deletion, so its read-only bit was not
  // cleared either.
  EXPECT_EQ(AttributesOf(In("T\\held.htm")), 33u);
  EXPECT_TRUE(Logged("Progress held.htm 削除できません"));
}

TEST_F(EngineWinTest, HiddenFilesAreNeitherCountedNorDeleted) {
  Make("touch T/hidden.htm T/.dot.htm T/shown.htm");
  ASSERT_TRUE(::SetFileAttributesW(ToWide(In("T\\hidden.htm")).c_str(),
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_EQ(AttributesOf(In("T\\hidden.htm")), 34u);
  RunWorker();
  EXPECT_TRUE(PathExists(In("T\\hidden.htm")));
  EXPECT_TRUE(PathExists(In("T\\.dot.htm")));
  EXPECT_EQ(Caption(RunCaption::ReadCount), "1");
  // With the archive bit alone the same file is examined.
  ASSERT_TRUE(::SetFileAttributesW(ToWide(In("T\\hidden.htm")).c_str(), FILE_ATTRIBUTE_ARCHIVE));
  RunWorker();
  EXPECT_FALSE(PathExists(In("T\\hidden.htm")));
}

TEST_F(EngineWinTest, LinksAreNeverFollowedOutOfTheTarget) {
  Make(
      "mkdir -p outside/sub && touch outside/a.htm outside/sub/b.htm outside/f.htm"
      " && ln -s $PWD/outside T/link && ln -s $PWD/outside/f.htm T/flink.htm");
  EXPECT_EQ(AttributesOf(In("T\\link")), 0x410u);  // a folder link carries the reparse bit
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  RunWorker();
  EXPECT_TRUE(UnixTest("-L T/link"));
  EXPECT_TRUE(PathExists(In("outside\\a.htm")));
  EXPECT_TRUE(PathExists(In("outside\\sub\\b.htm")));
  // Wine shows a link to a file as a plain file, and deleting it would
  // delete the file it points to: the link is examined but left alone.
  EXPECT_TRUE(Logged("Progress flink.htm 削除できません"));
  EXPECT_TRUE(UnixTest("-L T/flink.htm"));
  EXPECT_TRUE(PathExists(In("outside\\f.htm")));
}

TEST_F(EngineWinTest, AChosenFolderReachedThroughALinkOrAMappedDriveIsWalked) {
  Make(
      "mkdir -p real/work/sub && touch real/work/a.bak real/work/b.dat real/work/sub/c.bak"
      " && ln -s $PWD/real viaLink");
  DeleteSettings.Rules[0].Enabled = 0;
  DeleteSettings.Rules[12].Enabled = 1;  // *.BAK
  target_ = In("viaLink\\work");
  RunWorker();
  EXPECT_EQ(Caption(RunCaption::ReadCount), "3");
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "2");
  EXPECT_TRUE(UnixTest("! -e real/work/a.bak -a ! -e real/work/sub/c.bak -a -e real/work/b.dat"));

  // A drive letter mapped onto the folder: a link in the prefix's dosdevices.
  const std::string driveC = test::UnixPath("C:\\");
  ASSERT_FALSE(driveC.empty());
  char letter = 'P';
  while (letter < 'Z' && ::GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) != 1) ++letter;
  const std::string device = "'" + driveC + "../dosdevices/" +
                             std::string(1, static_cast<char>(letter - 'A' + 'a')) + ":'";
  Make("touch real/work/d.bak && ln -s $PWD/real " + device);
  target_ = std::string(1, letter) + ":\\work";
  RunWorker();
  Sh("rm -f " + device);
  EXPECT_EQ(Caption(RunCaption::ReadCount), "2");
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "1");
  EXPECT_TRUE(UnixTest("! -e real/work/d.bak -a -e real/work/b.dat"));
}

TEST_F(EngineWinTest, FoldersSwappedForLinksDuringAWalkLeadNowhere) {
  // T holds x1 and x2, each with a selected trigger file. When the first
  // trigger is opened, another program replaces a folder by a link to
  // "outside": the other folder (listed but not entered yet), or the one
  // being walked. Then the same for the temporary-folder clean-up.
  const struct {
    const char* name;
    bool swapOther;
    bool cleanUp;
  } cases[] = {
      {"run, a folder not entered yet", true, false},
      {"run, the folder being walked", false, false},
      {"clean-up, a folder not entered yet", true, true},
      {"clean-up, the folder being walked", false, true},
  };
  HookedPlatform hooked;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Make(
        "rm -rf T outside moved && mkdir -p T/x1/sub T/x2/sub outside/empty outside/hidden"
        " && touch T/x1/trigger.htm T/x1/f.htm T/x2/trigger.htm T/x2/f.htm"
        " outside/trigger.htm outside/f.htm outside/o.htm && chmod a-w outside/o.htm");
    ASSERT_TRUE(::SetFileAttributesW(ToWide(In("outside\\hidden")).c_str(),
                                     FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    bool swapped = false;
    hooked.beforeOpen = [&](const std::string& path) {
      if (swapped || !EndsWith(path, "trigger.htm")) return;
      swapped = true;
      const bool inX1 = path.find("\\x1\\") != std::string::npos;
      const std::string folder = (inX1 == c.swapOther) ? "T/x2" : "T/x1";
      Make("mv " + folder + " moved && ln -s $PWD/outside " + folder);
    };
    DeleteSettings.DeleteEmptyFolders = 1;
    DeleteSettings.DeleteReadOnly = 1;
    if (c.cleanUp)
      CleanFolderTree(Os().ToWide(target_));
    else
      RunWorker();
    EXPECT_TRUE(swapped);
    EXPECT_TRUE(
        UnixTest("-e outside/trigger.htm -a -e outside/f.htm -a -e outside/o.htm"
                 " -a -d outside/empty -a -d outside/hidden"));
    EXPECT_EQ(AttributesOf(In("outside\\hidden")), 18u);
    EXPECT_EQ(AttributesOf(In("outside\\o.htm")), 33u);
  }
}

TEST_F(EngineWinTest, EveryNameIsDeletedByItselfAndNoLookAlikeStandsIn) {
  // Names the code page holds, names it lacks, and decoys: "¥..¥victim.htm"
  // would read as "\\..\\victim.htm" in the code page, a file outside the
  // target; "x.htḿ" would best-fit to "x.htm".
  Make(
      "mkdir -p T/表 T/$c T/$j T/$y..${y}outside outside"
      " && touch T/ソ.htm T/表/能.htm T/caf$c.htm T/$h.htm T/$m.htm T/$a.htm T/$e.htm"
      " T/$y..${y}victim.htm T/$c/in.htm T/$j/in.htm T/$y..${y}outside/o.htm T/x.ht$k"
      " victim.htm outside/o.htm");
  DeleteSettings.DeleteEmptyFolders = 1;
  RunWorker();
  EXPECT_TRUE(UnixTest("-e victim.htm -a -e outside/o.htm -a -e T/x.ht$k"));
  EXPECT_TRUE(UnixTest("$(ls -A T | wc -l) -eq 1"));
  EXPECT_TRUE(Logged("Progress ?..?victim.htm"));
  EXPECT_TRUE(Logged("Progress caf?.htm"));
  EXPECT_TRUE(Logged("Progress ??.htm"));
  EXPECT_FALSE(std::any_of(window_.log.begin(), window_.log.end(), [](const std::string& line) {
    return line.find("削除できません") != std::string::npos;
  }));
  EXPECT_EQ(Caption(RunCaption::ReadCount), "12");
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "11");
}

TEST_F(EngineWinTest, AChainPastAThousandCharactersIsWalkedToItsBottom) {
  // Twelve levels of 96 characters, a file to delete and one to keep at each.
  Make(
      "n=$(printf 'd%.0s' $(seq 96)); d=T; for i in $(seq 12); do d=$d/$n; mkdir -p $d;"
      " touch $d/x.htm $d/y.txt; done");
  DeleteSettings.DeleteEmptyFolders = 1;
  RunWorker();
  EXPECT_EQ(Caption(RunCaption::ReadCount), "24");
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "12");
  EXPECT_TRUE(
      UnixTest("$(find T -name x.htm | wc -l) -eq 0 -a $(find T -name y.txt | wc -l) -eq 12"));
  Make("find T -name y.txt -delete");
  RunWorker();
  EXPECT_FALSE(PathExists(target_));
}

TEST_F(EngineWinTest, AChosenFolderThatIsALinkIsWalkedButNotRemoved) {
  Make("mkdir -p real/sub && touch real/a.htm real/sub/b.htm && rmdir T && ln -s $PWD/real T");
  DeleteSettings.DeleteEmptyFolders = 1;
  DeleteSettings.DeleteReadOnly = 1;
  RunWorker();
  EXPECT_EQ(Caption(RunCaption::DeletedCount), "2");
  EXPECT_TRUE(UnixTest("-L T -a -d real -a ! -e real/sub -a $(ls -A real | wc -l) -eq 0"));
}

TEST_F(EngineWinTest, StopAndWaitServesTheWorkerWithoutAMessageLoop) {
  Make("cd T && for i in $(seq 300); do : > f$i.htm; done");
  TargetFolder = target_;
  StopRequested.store(0);
  RunGuard.store(1);
  // Let it start; then end the program's side of the run. The worker waits
  // at its 25th file until the stop has been asked for, so that the run is
  // sure to be under way when it is, however fast the files go.
  HookedPlatform hooked;
  int opened = 0;
  std::atomic<bool> held{false};
  bool stopSeen = false;
  hooked.beforeOpen = [&](const std::string& path) {
    if (!EndsWith(path, ".htm") || ++opened != 25) return;
    held.store(true);
    const ULONGLONG deadline = ::GetTickCount64() + 20000;
    while (StopRequested.load() != 1 && ::GetTickCount64() < deadline) ::Sleep(1);
    stopSeen = StopRequested.load() == 1;
  };
  new TFileDelte(window_);
  ASSERT_TRUE(test::PumpUntil([&] { return held.load(); }));
  TFileDelte::StopAndWait([&] { ui_.ServeFor(10); });
  EXPECT_TRUE(stopSeen);
  EXPECT_FALSE(TFileDelte::Alive());
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_EQ(window_.log.back().rfind("Caption 1 ", 0), 0u);
  EXPECT_LT(std::stoi(Caption(RunCaption::ReadCount)), 300);
}

TEST(UiCallTest, EachCallRunsOnTheUiThreadBeforeTheCallerGoesOn) {
  UiCall ui;
  const DWORD uiThread = ::GetCurrentThreadId();
  std::vector<int> done;  // UI thread only
  std::atomic<bool> finished{false};
  std::atomic<int> misordered{0};
  std::string caught;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      size_t seen = 0;
      ui.Run([&] {
        if (::GetCurrentThreadId() != uiThread) misordered.fetch_add(1);
        done.push_back(i);
        seen = done.size();
      });
      if (seen != static_cast<size_t>(i) + 1) misordered.fetch_add(1);
    }
    try {
      ui.Run([] { throw std::runtime_error("from the UI thread"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    finished.store(true);
  });
  ASSERT_TRUE(test::PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(misordered.load(), 0);
  ASSERT_EQ(done.size(), 200u);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(caught, "from the UI thread");
  // On the UI thread itself a call runs at once.
  bool ran = false;
  ui.Run([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(UiCallTest, ACallerWhoseWindowHasGoneIsNotLeftWaiting) {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  auto ui = std::make_unique<UiCall>();
  std::atomic<bool> returned{false};
  bool ran = false;
  std::thread worker([&, call = ui.get()] {
    call->Run([&] { ran = true; });
    returned.store(true);
  });
  // Wait, without serving it, until the call is in this thread's queue.
  const ULONGLONG posted = ::GetTickCount64() + 10000;
  while (HIWORD(::GetQueueStatus(QS_POSTMESSAGE)) == 0 && ::GetTickCount64() < posted)
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_POSTMESSAGE);
  ui.reset();
  const ULONGLONG deadline = ::GetTickCount64() + 10000;
  while (!returned.load() && ::GetTickCount64() < deadline) ::Sleep(5);
  EXPECT_TRUE(returned.load());
  worker.join();
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
  EXPECT_FALSE(ran);
}

// --- clean-up tasks ---

// A UTF-16 path of the platform in the code page, for the test's own calls.
std::string Narrow(const std::u16string& path) {
  bool exact = false;
  std::string text = Os().ToAnsi(path, exact);
  EXPECT_TRUE(exact) << text;
  return text;
}

TEST_F(EngineWinTest, TheTempFolderIsEmptiedButKept) {
  const auto wide = GetTempFolder();
  ASSERT_TRUE(wide.has_value());
  const std::string temp = Narrow(*wide);
  EXPECT_EQ(temp.back(), '\\');
  const std::string unixTemp = test::UnixPath(temp);
  ASSERT_FALSE(unixTemp.empty());
  ASSERT_EQ(
      Sh("cd '" + unixTemp +
         "' && mkdir -p purga-a/b purga-held .purga-dot purga-ro"
         " && touch purga-1.tmp purga-a/2.tmp purga-a/b/3.tmp purga-held/4.tmp purga-held/5.tmp"
         " .purga-dot/6.tmp purga-ro.tmp purga-ro/7.tmp && chmod a-w purga-ro.tmp"),
      0);
  ::SetFileAttributesW(ToWide((temp + "purga-ro")).c_str(),
                       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY);
  const HANDLE held = ::CreateFileW(ToWide((temp + "purga-held\\4.tmp")).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  CleanFolderTree(*wide);
  ::CloseHandle(held);
  EXPECT_EQ(CleanRoot, *wide);
  EXPECT_TRUE(PathExists(temp));
  for (const char* gone :
       {"purga-1.tmp", "purga-a", "purga-ro.tmp", "purga-ro", "purga-held\\5.tmp"})
    EXPECT_FALSE(PathExists(temp + gone)) << gone;
  for (const char* kept : {"purga-held\\4.tmp", ".purga-dot\\6.tmp"})
    EXPECT_TRUE(PathExists(temp + kept)) << kept;
  Sh("cd '" + unixTemp + "' && rm -rf purga-held .purga-dot");
}

TEST_F(EngineWinTest, TheTempFolderSwappedAfterItsCheckIsNotFollowed) {
  // Once the clean-up has opened the temporary folder, and while it compares
  // it with the folders it must never empty, another program puts a link to
  // another folder in its place. Nothing where the link leads is touched.
  Make(
      "mkdir -p tmp/sub profile/sub && touch tmp/a.tmp tmp/sub/b.tmp profile/a.tmp"
      " profile/sub/b.tmp profile/keep.tmp");
  const std::string temp = In("tmp\\");
  HookedPlatform hooked;
  bool swapped = false;
  hooked.beforeOpen = [&](const std::string& path) {
    if (swapped || path == temp) return;
    swapped = true;
    Make("mv tmp tmp-checked && ln -s $PWD/profile tmp");
  };
  CleanFolderTree(Os().ToWide(temp));
  EXPECT_TRUE(swapped);
  EXPECT_TRUE(UnixTest("-e profile/a.tmp -a -e profile/sub/b.tmp -a -e profile/keep.tmp"));
}

TEST(CleanupWinTest, WithoutTmpAndTempTheProfileIsNeverEmptied) {
  InstallWin32Platform();
  // GetTempPath then falls back to USERPROFILE.
  char tmp[MAX_PATH] = {}, temp[MAX_PATH] = {};
  ::GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
  ::GetEnvironmentVariableA("TEMP", temp, MAX_PATH);
  ::SetEnvironmentVariableA("TMP", nullptr);
  ::SetEnvironmentVariableA("TEMP", nullptr);
  const auto folder = GetTempFolder();
  ::SetEnvironmentVariableA("TMP", tmp);
  ::SetEnvironmentVariableA("TEMP", temp);
  char profile[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH), 0u);
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(Narrow(*folder), std::string(profile) + "\\");
  const std::string marker = std::string(profile) + "\\purga-profile-marker.tmp";
  ASSERT_TRUE(test::MakeFile(marker));
  CleanFolderTree(*folder);
  EXPECT_TRUE(PathExists(marker));
  ::DeleteFileW(ToWide(marker).c_str());
}

// One entry committed to the URL cache with the cache's own calls.
bool AddCacheEntry(const char* url, DWORD type) {
  char file[MAX_PATH] = {};
  if (!::CreateUrlCacheEntryA(url, 0, "txt", file, 0)) return false;
  test::MakeFile(file);
  return ::CommitUrlCacheEntryA(url, file, FILETIME{}, FILETIME{}, type, nullptr, 0, nullptr,
                                nullptr) != FALSE;
}

bool InCache(const char* url) {
  DWORD size = 0;
  ::GetUrlCacheEntryInfoA(url, nullptr, &size);
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

TEST(CleanupWinTest, TheUrlCacheLosesItsContentButNotCookiesOrHistory) {
  InstallWin32Platform();
  const char* content[] = {"http://purga.example/a.html", "http://purga.example/b.png"};
  const char* cookie = "Cookie:user@purga.example/";
  const char* history = "Visited: user@http://purga.example/a.html";
  for (const char* url : content) ASSERT_TRUE(AddCacheEntry(url, NORMAL_CACHE_ENTRY)) << url;
  ASSERT_TRUE(AddCacheEntry(cookie, COOKIE_CACHE_ENTRY));
  ASSERT_TRUE(AddCacheEntry(history, URLHISTORY_CACHE_ENTRY));
  ClearUrlCache();
  for (const char* url : content) EXPECT_FALSE(InCache(url)) << url;
  EXPECT_TRUE(InCache(cookie));
  EXPECT_TRUE(InCache(history));
  ::DeleteUrlCacheEntryA(cookie);
  ::DeleteUrlCacheEntryA(history);
  ClearUrlCache();  // an empty cache: nothing to do, no error
  EXPECT_FALSE(InCache(content[0]));
}

TEST(CleanupWinTest, RecentDocumentsAreCleared) {
  InstallWin32Platform();
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
  char document[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, document);
  std::strcat(document, "purga-recent.txt");
  ASSERT_TRUE(test::MakeFile(document));
  ::SHAddToRecentDocs(SHARD_PATHA, document);
  HKEY opened = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened), ERROR_SUCCESS);
  ::RegCloseKey(opened);
  EraseRecentDocuments();
  // Wine forgets the list (its registry key); the shortcut files stay.
  EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened), ERROR_SUCCESS);
  ::DeleteFileW(ToWide(document).c_str());
  char recent[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, 0, recent)))
    Sh("rm -f '" + test::UnixPath(recent) + "'/purga-recent*");
}

}  // namespace
}  // namespace purga
