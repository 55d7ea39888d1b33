// Shared file-system routines of the windows and the deletion worker, and the
// Shift-JIS aware string helpers they stand on. None of them reports errors:
// a failed platform call gives a neutral value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace purga {

// The drive letters that GetDriveFreeKB knows: A is drive 1, U is drive 21.
inline constexpr std::string_view DriveLetters = "ABCDEFGHIJKLMNOPQRSTU";

// Size of the buffers handed to GetSystemDirectoryW and GetTempPathW.
inline constexpr uint32_t kFolderBufferSize = 514;

// --- Shift-JIS byte walks ---
// Position of the last byte equal to one of `separators` that is not the trail
// byte of a double-byte character, or npos.
size_t FindLastSeparator(std::string_view text, std::string_view separators);
// True when the byte at `pos` is a single-byte character or a lead byte, i.e.
// it starts a character.
bool StartsCharacter(std::string_view text, size_t pos);
// The name from its last "." to the end, dot included; empty without a dot.
std::string FileExtension(std::string_view name);
// `path` without the backslashes at its end (a trail byte 0x5C stays).
std::string_view WithoutTrailingBackslashes(std::string_view path);
// `text` with the ASCII letters of its single-byte characters upper-cased; a
// double-byte character stays whole even where its trail byte is a letter.
std::string AsciiUpperCase(std::string_view text);

// --- routines ---
// Nothing happens to a path that is no code page 932 text: it names nothing.
void SetPathAttributes(const std::string& path, int32_t attributes);
// The executable's folder with its trailing backslash, in UTF-16: it may
// hold characters that code page 932 lacks.
std::u16string GetExeFolder();
// The system folder without a trailing backslash; nothing when the platform
// call fails or the folder does not fit the 514-character buffer.
std::optional<std::u16string> GetSystemFolder();
// Free space of a drive, in units of 1024 bytes; 0 when the query fails. The
// letter is matched against DriveLetters after upper-casing; anything else
// means the current drive.
int64_t GetDriveFreeKB(const std::string& driveLetter);
// The folder part of a path: up to its last "\" or ":", keeping a backslash
// that follows a colon or another backslash.
std::string FolderPart(std::string_view path);
// The first two characters of the folder part of `path`: a drive letter and
// its colon, or the two backslashes of a network path. A double-byte
// character is never split.
std::string DrivePart(std::string_view path);
// The platform's drive-type code of DrivePart(path).
uint32_t GetPathDriveType(const std::string& path);
void ProcessPendingMessages();

}  // namespace purga
