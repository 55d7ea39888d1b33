#include "common/commFunc.h"

#include <vector>

#include "platform/Platform.h"

namespace purga {

namespace {

// The end of the character that starts at `pos`: a lead byte and its trail
// byte go together; a lead byte at the very end stands alone.
size_t CharacterEnd(Platform& os, std::string_view text, size_t pos) {
  return os.IsLeadByte(static_cast<uint8_t>(text[pos])) && pos + 1 < text.size() ? pos + 2
                                                                                 : pos + 1;
}

// Walks `text` character by character and calls `visit(pos)` at the start of
// every single-byte character.
template <typename Visit>
void ForEachSingleByte(std::string_view text, Visit visit) {
  Platform& os = Os();
  for (size_t i = 0, end; i < text.size(); i = end) {
    end = CharacterEnd(os, text, i);
    if (end == i + 1) visit(i);
  }
}

}  // namespace

size_t FindLastSeparator(std::string_view text, std::string_view separators) {
  size_t found = std::string_view::npos;
  ForEachSingleByte(text, [&](size_t i) {
    if (separators.find(text[i]) != std::string_view::npos) found = i;
  });
  return found;
}

bool StartsCharacter(std::string_view text, size_t pos) {
  Platform& os = Os();
  for (size_t i = 0; i < text.size() && i <= pos; i = CharacterEnd(os, text, i))
    if (i == pos) return true;
  return false;
}

std::string AsciiUpperCase(std::string_view text) {
  std::string upper(text);
  ForEachSingleByte(text, [&](size_t i) {
    if (upper[i] >= 'a' && upper[i] <= 'z') upper[i] = static_cast<char>(upper[i] - 'a' + 'A');
  });
  return upper;
}

std::string FileExtension(std::string_view name) {
  const size_t dot = FindLastSeparator(name, ".");
  if (dot == std::string_view::npos) return {};
  return std::string(name.substr(dot));
}

std::string_view WithoutTrailingBackslashes(std::string_view path) {
  while (!path.empty() && path.back() == '\\' && StartsCharacter(path, path.size() - 1))
    path.remove_suffix(1);
  return path;
}

void SetPathAttributes(const std::string& path, int32_t attributes) {
  // A failed attribute change is ignored: the following deletion or removal
  // simply fails in its turn.
  bool exact = false;
  const std::u16string wide = Os().ToWide(path, exact);
  if (exact) Os().SetFileAttributes(wide, static_cast<uint32_t>(attributes));
}

std::u16string GetExeFolder() {
  // Long enough for any module path the platform can report.
  std::vector<char16_t> buffer(32768, u'\0');
  const uint32_t length =
      Os().GetModuleFileName(buffer.data(), static_cast<uint32_t>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  const std::u16string path(buffer.data(), length);
  const size_t cut = path.find_last_of(u"\\:");
  if (cut == std::u16string::npos) return {};
  return path.substr(0, cut + 1);
}

std::optional<std::u16string> GetSystemFolder() {
  char16_t buffer[kFolderBufferSize + 1] = {};
  const uint32_t length = Os().GetSystemDirectory(buffer, kFolderBufferSize);
  // 0 is a failure; a length of the buffer size or more is the size needed,
  // and the buffer then holds nothing usable.
  if (length == 0 || length >= kFolderBufferSize) return std::nullopt;
  std::u16string folder(buffer);
  if (folder.empty()) return std::nullopt;
  return folder;
}

int64_t GetDriveFreeKB(const std::string& driveLetter) {
  const std::string upper = Os().UpperCase(driveLetter);
  size_t drive = 0;
  if (!upper.empty()) {
    const size_t pos = DriveLetters.find(upper);
    if (pos != std::string_view::npos) drive = pos + 1;
  }
  std::string root;
  if (drive != 0) root = {static_cast<char>('@' + drive), ':', '\\'};
  uint64_t freeBytes = 0;
  if (!Os().GetDiskFreeBytes(root, freeBytes)) return 0;  // -1 / 1024 truncates to 0
  // The true figure, not its low 32 bits: today's drives exceed 2 TB.
  return static_cast<int64_t>(freeBytes / 1024);
}

std::string FolderPart(std::string_view path) {
  size_t cut = FindLastSeparator(path, "\\:");
  if (cut == std::string_view::npos) return {};
  if (path[cut] == '\\' && cut > 0) {
    const bool afterSeparator =
        (path[cut - 1] == ':' || path[cut - 1] == '\\') && StartsCharacter(path, cut - 1);
    if (!afterSeparator) return std::string(path.substr(0, cut));
  }
  return std::string(path.substr(0, cut + 1));
}

std::string DrivePart(std::string_view path) {
  const std::string folder = FolderPart(path);
  Platform& os = Os();
  size_t end = 0;
  for (int characters = 0; characters < 2 && end < folder.size(); ++characters)
    end = CharacterEnd(os, folder, end);
  return folder.substr(0, end);
}

uint32_t GetPathDriveType(const std::string& path) { return Os().GetDriveType(DrivePart(path)); }

void ProcessPendingMessages() { Os().ProcessPendingMessages(); }

}  // namespace purga
