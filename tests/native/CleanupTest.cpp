#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/Hensu.h"
#include "engine/Cleanup.h"
#include "engine/DeleteF.h"
#include "engine/RunStart.h"
#include "tests/fake/FakePlatform.h"
#include "tests/native/FailingAllocation.h"
#include "tests/native/RunHarness.h"

namespace purga {
namespace {

using test::FakePlatform;
using Lines = std::vector<std::string>;

Lines Select(const Lines& log, const Lines& prefixes) {
  Lines lines;
  for (const std::string& line : log)
    if (std::any_of(prefixes.begin(), prefixes.end(),
                    [&](const std::string& p) { return line.rfind(p, 0) == 0; }))
      lines.push_back(line);
  return lines;
}

class CleanupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
  }
  Lines Log(const Lines& prefixes) const { return Select(os_.Log(), prefixes); }
  FakePlatform os_;
};

TEST_F(CleanupTest, TempFolderIsCleanedOnlyWhenWholeAndHarmless) {
  const struct {
    std::string path;
    uint32_t forcedResult;  // 0: the length of the path
    bool taken;             // GetTempFolder gives it
    bool cleaned;           // and the clean-up empties it
  } cases[] = {
      {"C:\\users\\user\\Temp\\", 0, true, true},
      {"C:\\ソ\\Temp\\", 0, true, true},
      {"C:\\users\\user\\Temp\\", 514, false, false},  // needs a longer buffer
      {"C:\\users\\user\\Temp\\", 600, false, false},
      {"", 0, false, false},      // the call failed
      {"C:\\", 0, false, false},  // a drive root
      {"C:\\\\", 0, false, false},
      {"\\\\server\\share\\", 0, false, false},      // a share root
      {"\\\\server\\share\\tmp\\", 0, true, false},  // (no such share here)
      {"Temp\\", 0, false, false},                   // relative
      {"C:\\windows\\", 0, true, false},             // the fall-back: the Windows folder
      {"c:\\WINDOWS\\System32\\", 0, true, false},
      {"C:\\windows\\Temp\\", 0, true, true},
      // GetTempPath's fall-back when TMP and TEMP are unset: the profile.
      {"C:\\users\\user\\", 0, true, false},
      {"c:\\USERS\\USER", 0, true, false},
      {"C:\\users\\", 0, true, false},  // above it
      {"C:\\users\\user\\Documents\\", 0, true, true},
      {"C:\\users\\username\\", 0, true, true},  // a sibling, not above
      {"D:\\profile\\", 0, true, false},         // USERPROFILE, where the shell knows another
      {"D:\\", 0, false, false},
      {"C:\\short\\", 0, true, false},  // a link to the profile
      {"C:\\short\\Temp\\", 0, true, true},
      {"C:\\toroot\\", 0, true, false},  // a link to the drive's root
      {"C:\\tosystem\\", 0, true, false},
  };
  os_.environment["USERPROFILE"] = "D:\\profile";
  os_.AddFolder("D:\\profile");
  os_.AddLink("C:\\short", "C:\\users\\user");
  os_.AddLink("C:\\toroot", "C:\\");
  os_.AddLink("C:\\tosystem", "C:\\windows\\system32");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.forcedResult));
    // A file in the folder, if it is one, and one in every folder above it.
    std::vector<std::string> markers;
    for (std::string folder = c.path; folder.size() > 2;
         folder = folder.substr(0, folder.rfind('\\'))) {
      if (folder.back() == '\\') continue;
      if (folder.rfind("C:", 0) != 0 && folder.rfind("c:", 0) != 0 && folder.rfind("D:", 0) != 0)
        break;
      if (os_.Attributes(folder) == 0xFFFFFFFFu) os_.AddFolder(folder);
      markers.push_back(folder + "\\marker.tmp");
      os_.AddFile(markers.back());
    }
    os_.tempPath = c.path;
    os_.tempPathResult = c.forcedResult;
    const auto folder = GetTempFolder();
    EXPECT_EQ(folder.has_value(), c.taken);
    if (folder) {
      EXPECT_EQ(*folder, os_.ToWide(c.path));
      CleanFolderTree(*folder);
    }
    for (size_t i = 0; i < markers.size(); ++i)
      EXPECT_EQ(os_.Exists(markers[i]), !(c.cleaned && i == 0)) << markers[i];
  }
}

TEST_F(CleanupTest, NoTempFolderMeansNoFolderCleanupAtAll) {
  os_.AddFile("C:\\x.tmp");
  DeleteSettings.CleanBrowserCache = 0;
  DeleteSettings.ClearRecentDocs = 0;
  for (const std::string& temp : {std::string(), std::string("C:\\")}) {
    os_.tempPath = temp;
    os_.ClearLog();
    RunPreRunTasks();
    EXPECT_TRUE(os_.Log().empty()) << temp;
    EXPECT_TRUE(os_.Exists("C:\\x.tmp"));
  }
}

TEST_F(CleanupTest, FolderTreeIsEmptiedInPostOrderAndTheTopStays) {
  const std::string root = "C:\\users\\user\\Temp\\";
  os_.AddFile(root + "a.tmp");
  os_.AddFile(root + "ro.tmp", 1, 33);
  os_.AddFile(root + "sub\\b.tmp");
  os_.AddFile(root + "sub\\deep\\c.tmp", 1, 33);
  os_.AddFolder(root + "rosub", 17);
  os_.AddFile(root + "rosub\\d.tmp");
  CleanFolderTree(os_.ToWide(root));
  EXPECT_EQ(CleanRoot, os_.ToWide(root));
  const std::string r = "C:\\users\\user\\Temp\\\\";  // the doubled backslash as built
  const Lines expected = {
      "ReadEntries " + root,
      "SetEntryAttributes " + r + "a.tmp 32",
      "DeleteEntry " + r + "a.tmp",
      "SetEntryAttributes " + r + "ro.tmp 32",
      "DeleteEntry " + r + "ro.tmp",
      "ReadEntries " + root,
      "ReadEntries " + r + "rosub",
      "SetEntryAttributes " + r + "rosub\\d.tmp 32",
      "DeleteEntry " + r + "rosub\\d.tmp",
      "ReadEntries " + r + "rosub",
      "SetEntryAttributes " + r + "rosub 16",
      "DeleteEntry " + r + "rosub",
      "ReadEntries " + r + "sub",
      "SetEntryAttributes " + r + "sub\\b.tmp 32",
      "DeleteEntry " + r + "sub\\b.tmp",
      "ReadEntries " + r + "sub",
      "ReadEntries " + r + "sub\\deep",
      "SetEntryAttributes " + r + "sub\\deep\\c.tmp 32",
      "DeleteEntry " + r + "sub\\deep\\c.tmp",
      "ReadEntries " + r + "sub\\deep",
      "SetEntryAttributes " + r + "sub\\deep 16",
      "DeleteEntry " + r + "sub\\deep",
      "SetEntryAttributes " + r + "sub 16",
      "DeleteEntry " + r + "sub",
  };
  EXPECT_EQ(Log({"ReadEntries", "SetEntry", "DeleteEntry"}), expected);
  EXPECT_EQ(os_.ListTree(root), Lines{"c:\\users\\user\\temp"});
}

TEST_F(CleanupTest, OnlyPlainFilesAndFoldersAreTouched) {
  const std::string root = "C:\\Temp";
  const struct {
    std::string name;
    uint32_t word;
    bool folder, gone;
  } entries[] = {
      {"f32", 32, false, true},
      {"f33", 33, false, true},
      {"f128", 128, false, false},
      {"f34", 34, false, false},
      {"f36", 36, false, false},
      {"f288", 288, false, false},
      {"f2080", 2080, false, false},
      {"f8224", 8224, false, false},
      {"f1056", 1056, false, false},
      {"f0x400020", 0x400020, false, false},
      {"d16", 16, true, true},
      {"d17", 17, true, true},
      {"d48", 48, true, false},
      {"d18", 18, true, false},
      {"d20", 20, true, false},
      {"d1040", 1040, true, false},
      {"d0x400010", 0x400010, true, false},
      {".d16", 16, true, false},
  };
  for (const auto& e : entries) {
    if (e.folder) {
      os_.AddFolder(root + "\\" + e.name, e.word);
      os_.AddFile(root + "\\" + e.name + "\\inside.tmp");
    } else {
      os_.AddFile(root + "\\" + e.name, 1, e.word);
    }
  }
  os_.AddFile("C:\\elsewhere\\kept.tmp");
  os_.AddLink(root + "\\link.tmp", "C:\\elsewhere\\kept.tmp", 32);  // listed as a plain file
  os_.AddFile(os_.ToWide(root) + u"\\\u00fc.tmp");                  // a name the code page lacks
  CleanFolderTree(os_.ToWide(root));
  for (const auto& e : entries) {
    EXPECT_EQ(os_.Exists(root + "\\" + e.name), !e.gone) << e.name;
    if (e.folder) {
      EXPECT_EQ(os_.Exists(root + "\\" + e.name + "\\inside.tmp"), !e.gone) << e.name;
    }
  }
  EXPECT_TRUE(os_.Exists(root + "\\link.tmp"));
  EXPECT_EQ(os_.Attributes("C:\\elsewhere\\kept.tmp"), 32u);
  EXPECT_FALSE(Log({"SetEntryAttributes"}).empty());
  EXPECT_TRUE(Log({"SetEntryAttributes " + root + "\\link.tmp"}).empty());
  EXPECT_FALSE(os_.Exists(os_.ToWide(root) + u"\\\u00fc.tmp"));
  // f32, f33, ü.tmp, the files inside d16 and d17, and those two folders
  EXPECT_EQ(Log({"DeleteEntry"}).size(), 7u);
  EXPECT_TRUE(os_.Exists(root));
}

TEST_F(CleanupTest, AFileInUseKeepsItsFolders) {
  const std::string root = "C:\\Temp\\";
  os_.AddFile(root + "a\\b\\held.tmp");
  os_.AddFile(root + "a\\b\\free.tmp");
  os_.AddFile(root + "a\\other.tmp");
  os_.AddFile(root + "unlistable\\x.tmp");
  os_.failDelete.insert(root + "\\a\\b\\held.tmp");
  os_.failList.insert(root + "\\unlistable");
  CleanFolderTree(os_.ToWide(root));
  EXPECT_TRUE(os_.Exists(root + "a\\b\\held.tmp"));
  EXPECT_FALSE(os_.Exists(root + "a\\b\\free.tmp"));
  EXPECT_FALSE(os_.Exists(root + "a\\other.tmp"));
  EXPECT_TRUE(os_.Exists(root + "unlistable\\x.tmp"));
  // Their removal was tried and refused.
  const std::string r = root + "\\";
  EXPECT_EQ(Log({"DeleteEntry"}),
            (Lines{"DeleteEntry " + r + "a\\other.tmp", "DeleteEntry " + r + "a\\b\\free.tmp",
                   "DeleteEntry " + r + "a\\b\\held.tmp", "DeleteEntry " + r + "a\\b",
                   "DeleteEntry " + r + "a", "DeleteEntry " + r + "unlistable"}));
  EXPECT_TRUE(os_.Exists(root + "a\\b"));
  EXPECT_TRUE(os_.Exists(root + "unlistable"));
}

TEST_F(CleanupTest, UrlCacheEntriesAreFetchedOneExactBlockAtATime) {
  os_.cache = {{"http://a/1", 0},
               {"Cookie:user@a/", 0},
               {"http://b/2", 100},
               {"Visited: user@http://a/1", 0}};
  ClearUrlCache();
  // The fake's record: the head, the URL and its NUL, and any extra bytes.
  const auto size = [](const std::string& url, size_t extra = 0) {
    return std::to_string(sizeof(CacheEntryHead) + url.size() + 1 + extra);
  };
  const std::string first = size("http://a/1"), third = size("http://b/2", 100);
  const std::string cookie = size("Cookie:user@a/"), visited = size("Visited: user@http://a/1");
  const Lines expected = {
      "FindFirstUrlCacheEntry null probe 0",
      "FindFirstUrlCacheEntry null block " + first,
      "ProcessPendingMessages",
      "DeleteUrlCacheEntry http://a/1",
      "FindNextUrlCacheEntry probe 0",
      "FindNextUrlCacheEntry block " + cookie,
      "ProcessPendingMessages",  // the cookie stays
      "FindNextUrlCacheEntry probe 0",
      "FindNextUrlCacheEntry block " + third,
      "ProcessPendingMessages",
      "DeleteUrlCacheEntry http://b/2",
      "FindNextUrlCacheEntry probe 0",
      "FindNextUrlCacheEntry block " + visited,
      "ProcessPendingMessages",  // the history entry stays
      "FindNextUrlCacheEntry probe 0",
      "FindNextUrlCacheEntry probe 0",  // nothing more: no block
      "FindCloseUrlCache",
  };
  EXPECT_EQ(os_.Log(), expected);
  ASSERT_EQ(os_.cache.size(), 2u);
  EXPECT_EQ(os_.cache[0].url, "Cookie:user@a/");
  EXPECT_EQ(os_.cache[1].url, "Visited: user@http://a/1");
}

TEST_F(CleanupTest, UrlCacheEnumerationEndsAtTheFirstFailedRetrieval) {
  const struct {
    const char* name;
    int growAt;
    bool throwOnSecondProbe;
    Lines left;
  } cases[] = {
      {"an entry grows between probe and fetch", 1, false, {"http://b", "http://c"}},
      {"the first entry grows", 0, false, {"http://a", "http://b", "http://c"}},
      {"memory runs out", -1, true, {"http://b", "http://c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    os_.cache = {{"http://a", 0}, {"http://b", 0}, {"http://c", 0}};
    os_.growEntryAt = c.growAt;
    os_.ClearLog();
    int probes = 0;
    os_.beforeOperation = [&](const std::string& line) {
      if (c.throwOnSecondProbe && line.find("probe") != std::string::npos && ++probes == 2)
        throw std::bad_alloc();
    };
    ClearUrlCache();
    Lines left;
    for (const auto& e : os_.cache) left.push_back(e.url);
    EXPECT_EQ(left, c.left);
    const Lines log = os_.Log();
    const bool opened = c.growAt != 0;
    EXPECT_EQ(std::count(log.begin(), log.end(), "FindCloseUrlCache"), opened ? 1 : 0);
    os_.beforeOperation = nullptr;
  }
}

TEST_F(CleanupTest, AnEmptyUrlCacheDeletesNothing) {
  ClearUrlCache();
  EXPECT_EQ(os_.Log(),
            (Lines{"FindFirstUrlCacheEntry null probe 0", "FindFirstUrlCacheEntry null probe 0"}));
}

TEST_F(CleanupTest, PreRunTasksRunInTheirOrderByFlagsOfExactlyOne) {
  os_.AddFile("C:\\users\\user\\Temp\\x.tmp");
  const struct {
    uint8_t temp, cache, recent;
    Lines expected;
  } cases[] = {
      {1, 1, 1, {"temp", "cache", "recent"}},
      {0, 1, 2, {"cache"}},
      {2, 0, 1, {"recent"}},
      {1, 0, 0, {"temp"}},
      {0, 0, 0, {}},
  };
  for (const auto& c : cases) {
    DeleteSettings.CleanWinTemp = c.temp;
    DeleteSettings.CleanBrowserCache = c.cache;
    DeleteSettings.ClearRecentDocs = c.recent;
    os_.cache = {{"http://a", 0}};
    os_.ClearLog();
    RunPreRunTasks();
    // Each logged operation belongs to one task.
    const std::pair<const char*, const char*> owners[] = {
        {"ReadEntries ", "temp"},
        {"NextEntries ", "temp"},
        {"OpenFolder", "temp"},
        {"OpenChild", "temp"},
        {"GetEntry", "temp"},
        {"GetPathAttributes", "temp"},
        {"SetEntryAttributes", "temp"},
        {"DeleteEntry", "temp"},
        {"CloseEntry", "temp"},
        {"FindFirstUrl", "cache"},
        {"FindNextUrl", "cache"},
        {"FindCloseUrl", "cache"},
        {"ProcessPendingMessages", "cache"},
        {"DeleteUrlCacheEntry", "cache"},
        {"AddToRecentDocs 1 null", "recent"},
    };
    Lines tasks;
    for (const std::string& line : os_.Log()) {
      std::string task = "unexpected: " + line;
      for (const auto& [prefix, owner] : owners)
        if (line.rfind(prefix, 0) == 0) task = owner;
      if (tasks.empty() || tasks.back() != task) tasks.push_back(task);
    }
    EXPECT_EQ(tasks, c.expected) << int(c.temp) << int(c.cache) << int(c.recent);
  }
}

TEST_F(CleanupTest, BeginRunOrdersTheStartStepsAndHandsOverToTheWorker) {
  test::DispatcherWindow window(os_);
  TargetFolder = "C:\\T";
  os_.AddFile("C:\\T\\page.htm");
  os_.AddFile("C:\\users\\user\\Temp\\x.tmp");
  os_.cache = {{"http://a", 0}};
  os_.freeBytes["C:\\"] = 7 * 1024;
  DeleteSettings.Rules[0].Enabled = 1;
  StopRequested.store(1);  // Stop pressed while idle: Start clears it
  BeginRun(window);
  ASSERT_TRUE(test::WaitUntil([] { return !TFileDelte::Alive(); }));
  const Lines steps =
      Select(window.Timeline(),
             {"GetDiskFreeBytes", "Caption FreeSpace", "Caption SpaceWon", "DeleteEntry",
              "DeleteUrlCacheEntry", "AddToRecentDocs", "Caption ReadCount 0"});
  const Lines expected = {
      "GetDiskFreeBytes C:\\",
      "Caption FreeSpace 7",
      "Caption SpaceWon 0",
      "DeleteEntry C:\\users\\user\\Temp\\\\x.tmp",
      "DeleteUrlCacheEntry http://a",
      "AddToRecentDocs 1 null",
      "Caption ReadCount 0",
      "DeleteEntry C:\\T\\page.htm",
      "DeleteEntry C:\\T",  // emptied: removed too, with the option's default
      "GetDiskFreeBytes C:\\",
      "Caption FreeSpace 7",
      "Caption SpaceWon 0",
  };
  EXPECT_EQ(steps, expected);
  EXPECT_EQ(RunGuard.load(), 0);
  EXPECT_EQ(FreeSpaceBefore.load(), 7);
}

TEST_F(CleanupTest, AWorkerThatCannotBeHadLeavesNoRunBehind) {
  test::DispatcherWindow window(os_);
  TargetFolder = "C:\\T";
  os_.AddFile("C:\\T\\page.htm");
  DeleteSettings.Rules[0].Enabled = 1;
  RunGuard.store(0);
  test::FailNextAllocationOf(sizeof(TFileDelte));
  EXPECT_THROW(BeginRun(window), std::bad_alloc);
  EXPECT_TRUE(test::AllocationFailed());
  EXPECT_FALSE(TFileDelte::Alive());
  EXPECT_EQ(RunGuard.load(), 0);
  // The clean-up tasks had run; the failure was the worker's own.
  EXPECT_EQ(Log({"AddToRecentDocs"}).size(), 1u);
  EXPECT_TRUE(os_.Exists("C:\\T\\page.htm"));
}

}  // namespace
}  // namespace purga
