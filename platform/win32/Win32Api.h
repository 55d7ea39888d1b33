// <windows.h> and the other Win32 headers the program uses, without the
// macros that would rename the platform seam's members (DeleteFile ->
// DeleteFileA and the like). Windows code includes this instead of
// <windows.h> and calls the ANSI functions by their full names.
#pragma once

#include <shlobj.h>
#include <windows.h>
#include <wininet.h>

#undef DeleteFile
#undef RemoveDirectory
#undef SetFileAttributes
#undef GetSystemDirectory
#undef GetTempPath
#undef GetModuleFileName
#undef GetEnvironmentVariable
#undef GetDriveType
#undef GetCurrentDirectory
#undef SetCurrentDirectory
#undef FindFirstUrlCacheEntry
#undef FindNextUrlCacheEntry
#undef DeleteUrlCacheEntry
