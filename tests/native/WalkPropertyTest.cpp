// Random trees on volumes of every manner of file IDs, some with hard links,
// random settings, and another program changing the tree at random before
// any platform call of a run or a clean-up: renaming entries, putting links
// to outside folders in their place, replacing files by folders or by other
// files, adding and removing entries. Whatever happens, nothing outside the
// chosen folder is deleted or changed, and every deletion and attribute
// change is of an entry that a listing inside it showed, of a kind and name
// that the settings select, and that is, as it is then, selected still. And
// a file that nobody touches and the settings select goes.
//
// Outside lie C:\out, with names of files inside, and D:\T, a copy of the
// chosen tree on another volume: same paths, same file IDs, as a backup disk
// might be.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/Hensu.h"
#include "engine/Cleanup.h"
#include "engine/DeleteF.h"
#include "engine/MatchRules.h"
#include "tests/fake/FakePlatform.h"
#include "tests/native/RunHarness.h"

namespace purga {
namespace {

using test::FakePlatform;

constexpr int kCases = 1500;

const std::u16string kNames[] = {
    u"a.htm",         u"b.HTM",          u"c.txt",      u"d.bak",  u"e.jpg", u"f",
    u"caf\u00e9.htm", u"\U0001F600.htm", u"ソ.htm",     u"\u00e9", u"表",    u".dot",
    u"g.htm",         u"x.ht\u1e3f",     u"\ud55c.bak", u"h.gif"};
const uint32_t kFileWords[] = {32, 32, 32, 33, 33, 34, 128};
const uint32_t kFolderWords[] = {16, 16, 16, 17, 18, 48};
const FakePlatform::Ids kIds[] = {FakePlatform::Ids::Ntfs, FakePlatform::Ids::ReFS,
                                  FakePlatform::Ids::None, FakePlatform::Ids::Weak};

// One entry as a listing inside the chosen folder showed it.
struct Listed {
  std::u16string name;
  uint32_t word;
  uint64_t size;
};

class WalkCase {
 public:
  explicit WalkCase(uint32_t seed) : random_(seed) {}

  void Run(bool cleanUp) {
    cleanUp_ = cleanUp;
    // Windows, or Wine with links and renames made from the Linux side.
    os_.linksOpenAsTargets = Chance(0.5);
    os_.heldFoldersStay = !os_.linksOpenAsTargets;
    os_.batchSize = 1 + random_() % 5;
    os_.ids = Any(kIds);
    os_.readOnlyDeletionRefused = Chance(0.3);
    Settings();
    os_.AddFolder(u"C:\\T", Any(kFolderWords) & ~kAttrHidden);
    os_.AddFolder(u"C:\\out");
    Build(u"C:\\T", 0);
    Build(u"C:\\out", 2);
    os_.AddFolder(u"C:\\moved");
    outsideFolders_.push_back(u"C:\\out");
    for (const Made& made : made_) Copy(made);  // D:\T, alike
    for (int i = Chance(0.5) ? 1 + Pick(4) : 0; i-- > 0;) HardLink();
    for (int i = Pick(3); i-- > 0;) Link(Inside());
    const uint64_t sentinelSize = Pick(3000);
    os_.AddFile(kSentinel, sentinelSize);
    top_ = os_.IdOf(u"C:\\T");
    volume_ = Volume(u"C:\\T");
    std::map<std::u16string, std::pair<uint64_t, uint32_t>> outside;
    for (const std::u16string& path : outsidePaths_)
      outside[path] = {os_.IdOf(path), os_.Attributes(path)};

    os_.onListed = [this](uint64_t volume, uint64_t folder, const std::vector<FindEntry>& entries,
                          const std::vector<uint64_t>& ids) {
      if (volume != volume_ || (folder != top_ && !os_.IsBelow(volume, folder, top_))) return;
      for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].name != u"." && entries[i].name != u"..") {
          const Listed entry = {entries[i].name, entries[i].attributes, entries[i].size};
          listed_[ids[i]].push_back(entry);
          listedAt_[{folder, entry.name}].push_back(entry);
        }
    };
    os_.onChanged = [this](const FakePlatform::Changed& change) { changes_.push_back(change); };
    if (cleanUp) {
      os_.beforeOperation = [this](const std::string&) { Meddle(); };
      CleanFolderTree(u"C:\\T");
      os_.beforeOperation = nullptr;
    } else {
      test::DispatcherWindow window(os_);
      window.onOperation = [this](const std::string&) { Meddle(); };
      TargetFolder = "C:\\T";
      StopRequested.store(0);
      RunGuard.store(1);
      new TFileDelte(window);
      ASSERT_TRUE(test::WaitUntil([] { return !TFileDelte::Alive(); }));
    }

    for (const auto& [path, before] : outside) {
      EXPECT_EQ(os_.IdOf(path), before.first) << "outside entry gone";
      EXPECT_EQ(os_.Attributes(path), before.second) << "outside entry changed";
    }
    for (const Change& change : changes_) EXPECT_TRUE(Allowed(change)) << change.what;
    // Where no folder has an ID, the clean-up cannot tell the folder from the
    // forbidden ones, and leaves it.
    const bool cleaned = cleanUp && os_.ids != FakePlatform::Ids::None;
    const auto extension = MatchedExtension(kSentinel);
    EXPECT_FALSE(os_.Exists(kSentinel) &&
                 (cleaned || (!cleanUp && MatchFile(*extension, SizeKB(sentinelSize)) == 1)))
        << "selected file left";
    EXPECT_EQ(os_.OpenHandles(), 0u);
  }

 private:
  struct Made {
    std::u16string path;  // below C:\T
    bool folder;
    uint32_t word;
    uint64_t size;
  };
  using Change = FakePlatform::Changed;
  static constexpr const char16_t* kSentinel = u"C:\\T\\sentinel.htm";

  bool Chance(double p) { return std::uniform_real_distribution<>(0, 1)(random_) < p; }
  size_t Pick(size_t n) { return random_() % n; }
  template <typename T, size_t N>
  const T& Any(const T (&items)[N]) {
    return items[Pick(N)];
  }
  uint64_t Volume(const std::u16string& path) { return 0x1000 + path[0]; }

  void Settings() {
    std::memset(&DeleteSettings, 0, sizeof DeleteSettings);
    InitSettings();
    for (CategoryRule& rule : DeleteSettings.Rules) {
      rule.Enabled = Chance(0.35);
      rule.SizeLimited = Chance(0.3);
      rule.ThresholdKB = static_cast<int32_t>(Pick(4));
    }
    const char* others[] = {"", "txt", "gif", "bak"};
    StoreText(DeleteSettings.OtherExtension, Any(others));
    DeleteSettings.DeleteSmaller = static_cast<uint8_t>(Pick(2));
    DeleteSettings.DeleteEmptyFolders = static_cast<uint8_t>(Pick(3));
    DeleteSettings.DeleteReadOnly = static_cast<uint8_t>(Pick(3));
  }

  // A random tree at `folder`, `depth` levels below the top.
  void Build(const std::u16string& folder, int depth) {
    const bool outside = folder.rfind(u"C:\\T", 0) != 0;
    for (size_t i = Pick(5); i-- > 0;) {
      const std::u16string path = folder + u"\\" + Any(kNames);
      if (os_.Exists(path)) continue;
      const uint32_t word = Any(kFileWords);
      const uint64_t size = Pick(3000);
      os_.AddFile(path, size, word);
      Note(path, false, word, size, outside);
    }
    for (size_t i = depth < 3 ? Pick(3) : 0; i-- > 0;) {
      const std::u16string path = folder + u"\\" + Any(kNames);
      if (os_.Exists(path)) continue;
      const uint32_t word = Any(kFolderWords);
      os_.AddFolder(path, word);
      Note(path, true, word, 0, outside);
      Build(path, depth + 1);
    }
  }
  void Note(const std::u16string& path, bool folder, uint32_t word, uint64_t size, bool outside) {
    if (outside) {
      outsidePaths_.push_back(path);
      outsideFolders_.push_back(folder ? path : path.substr(0, path.rfind(u'\\')));
    } else {
      made_.push_back({path, folder, word, size});
      inside_.push_back(path);
    }
  }
  void Copy(const Made& made) {
    const std::u16string path = u"D:" + made.path.substr(2);
    if (made.folder)
      os_.AddFolder(path, made.word);
    else
      os_.AddFile(path, made.size, made.word);
    outsidePaths_.push_back(path);
    outsideFolders_.push_back(made.folder ? path : path.substr(0, path.rfind(u'\\')));
  }
  std::u16string Inside() { return inside_.empty() ? u"C:\\T\\f" : inside_[Pick(inside_.size())]; }

  // A link at `path` (what was there moved away) to an outside entry: the
  // same path on D:, or a folder of C:\out, listed as a link or as a plain
  // folder or file.
  void Link(const std::u16string& path) {
    if (!os_.ExistsWithoutLinks(path.substr(0, path.rfind(u'\\')))) return;
    if (os_.ExistsWithoutLinks(path) && !os_.Move(path, MovedPath())) return;
    const std::u16string target =
        Chance(0.5) ? u"D:" + path.substr(2) : outsideFolders_[Pick(outsideFolders_.size())];
    const uint32_t words[] = {kAttrDirectory | kAttrReparsePoint, kAttrDirectory, kAttrArchive};
    os_.AddLink(path, target, Any(words));
  }
  // A second name, inside or in C:\out, for a file inside; its listing may
  // show a stale size.
  void HardLink() {
    if (made_.empty()) return;
    const Made& made = made_[Pick(made_.size())];
    if (made.folder) return;
    const bool outside = Chance(0.5);
    const std::u16string folder =
        outside ? u"C:\\out" : made.path.substr(0, made.path.rfind(u'\\'));
    const std::u16string path = folder + u"\\" + Any(kNames);
    if (os_.Exists(path)) return;
    os_.AddHardLink(path, made.path,
                    Chance(0.5) ? std::optional<uint64_t>(Pick(3000)) : std::nullopt);
    (outside ? outsidePaths_ : inside_).push_back(path);
  }
  std::u16string MovedPath() {
    std::u16string path = u"C:\\moved\\m";
    for (char digit : std::to_string(++moved_)) path += static_cast<char16_t>(digit);
    return path;
  }

  // Another program at work, now and then.
  void Meddle() {
    if (!Chance(0.12)) return;
    // Only where no link leads: what lies beyond one is outside.
    const std::u16string path = Inside();
    if (!os_.ExistsWithoutLinks(path)) return;
    const std::u16string folder = path.substr(0, path.rfind(u'\\'));
    const std::u16string sibling = folder + u"\\" + Any(kNames);
    switch (Pick(7)) {
      case 0:  // renamed, maybe in place of another entry
        if (os_.Move(path, sibling)) inside_.push_back(sibling);
        break;
      case 1:  // moved out of the tree
        os_.Move(path, MovedPath());
        break;
      case 2:  // swapped for a link to outside
        Link(path);
        break;
      case 3:  // a file replaced by a folder
        if (!os_.Remove(path)) break;
        os_.AddFolder(path);
        os_.AddFile(path + u"\\z.htm");
        inside_.push_back(path + u"\\z.htm");
        break;
      case 4:  // a file replaced by another of the same name
        if ((os_.Attributes(path) & kAttrDirectory) != 0 || !os_.Remove(path)) break;
        os_.AddFile(path, Pick(3000), Any(kFileWords));
        break;
      case 5:
        if (!os_.Exists(sibling)) {
          os_.AddFile(sibling, Pick(3000), Any(kFileWords));
          inside_.push_back(sibling);
        }
        break;
      default:
        os_.Remove(path);
        break;
    }
  }

  // What the settings let the run, or the clean-up, do to the entry listed
  // as `entry`, which was as `change` shows when it was changed.
  bool AllowedFor(const Change& change, const Listed& entry) const {
    const std::string& what = change.what;
    const bool file = IsPlainFile(entry.word) && IsPlainFile(change.attributes);
    const bool folder =
        IsPlainFolder(entry.word) && IsPlainFolder(change.attributes) && entry.name[0] != u'.';
    // A file with other names shares its word with them.
    if (file && what != "DeleteEntry" && change.links > 1) return false;
    if (cleanUp_) return file || folder;
    const auto set = [](uint8_t flag) { return flag == 1; };
    if (folder)
      return set(DeleteSettings.DeleteEmptyFolders) &&
             (what == "DeleteEntry" || set(DeleteSettings.DeleteReadOnly));
    if (!file) return false;
    const auto extension = MatchedExtension(entry.name);
    const auto selects = [&](uint64_t size) { return MatchFile(*extension, SizeKB(size)) == 1; };
    return extension && selects(entry.size) && selects(change.size) &&
           (what == "DeleteEntry" || set(DeleteSettings.DeleteReadOnly));
  }
  bool Allowed(const Change& change) const {
    if (change.volume != volume_) return false;
    if (change.id == top_) {
      const auto set = [](uint8_t flag) { return flag == 1; };
      return !cleanUp_ && set(DeleteSettings.DeleteEmptyFolders) &&
             (change.what == "DeleteEntry" || set(DeleteSettings.DeleteReadOnly));
    }
    // Where IDs tell nothing, what stands at a listed name is taken for what
    // was listed there, and judged as it is.
    const bool weak = os_.ids == FakePlatform::Ids::Weak || os_.ids == FakePlatform::Ids::None;
    std::vector<Listed> entries;
    if (const auto it = listed_.find(change.id); it != listed_.end()) entries = it->second;
    const auto at = listedAt_.find({change.folder, change.name});
    if (weak && at != listedAt_.end())
      entries.insert(entries.end(), at->second.begin(), at->second.end());
    return std::any_of(entries.begin(), entries.end(),
                       [&](const Listed& entry) { return AllowedFor(change, entry); });
  }

  std::mt19937 random_;
  FakePlatform os_;
  bool cleanUp_ = false;
  std::vector<Made> made_;
  std::vector<std::u16string> inside_, outsidePaths_, outsideFolders_;
  int moved_ = 0;
  uint64_t top_ = 0, volume_ = 0;
  std::map<uint64_t, std::vector<Listed>> listed_;
  std::map<std::pair<uint64_t, std::u16string>, std::vector<Listed>> listedAt_;
  std::vector<Change> changes_;
};

TEST(WalkPropertyTest, NothingOutsideAndNothingUnselectedIsTouchedWhateverChangesMeanwhile) {
  for (uint32_t seed = 1; seed <= kCases && !::testing::Test::HasFailure(); ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    WalkCase(seed).Run(seed % 3 == 0);
  }
}

}  // namespace
}  // namespace purga
