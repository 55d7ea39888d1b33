// Throughput of a deletion run under Wine, side by side with the bare file
// calls and with the shell's own del. bench/run.sh makes the trees and runs
// this with the folder that holds them:
//   A  examined twice without deleting, then deleted through the worker
//   B  deleted by a bare FindFirstFileA/DeleteFileA loop (the floor)
//   C  deleted by cmd /c del /s /q
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <type_traits>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/DeleteF.h"
#include "platform/win32/UiCall.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"

// clang-format off
#include <psapi.h>  // needs <windows.h> first
// clang-format on

namespace {

using purga::RunCaption;

double Now() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Private bytes of this process, sampled by the runs.
struct Memory {
  size_t baseline = 0;
  size_t peak = 0;
  static size_t Private() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
  }
  void Start() { baseline = peak = Private(); }
  void Sample() { peak = std::max(peak, Private()); }
};

// The same hand-over through a cross-thread SendMessage, for comparison.
class SendMessageCall {
 public:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_APP + 1) return ::DefWindowProcA(window, message, wParam, lParam);
    reinterpret_cast<void (*)(void*)>(wParam)(reinterpret_cast<void*>(lParam));
    return 0;
  }
  SendMessageCall() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "PurgaBenchSend";
    ::RegisterClassA(&windowClass);
    window_ = ::CreateWindowExA(0, "PurgaBenchSend", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  }
  ~SendMessageCall() { ::DestroyWindow(window_); }
  template <typename Work>
  void Run(Work&& work) {
    ::SendMessageA(window_, WM_APP + 1, reinterpret_cast<WPARAM>(+[](void* context) {
                     (*static_cast<std::remove_reference_t<Work>*>(context))();
                   }),
                   reinterpret_cast<LPARAM>(&work));
  }

 private:
  HWND window_;
};

// The window of a benchmark run: keeps only the latest texts, samples the
// memory now and then, and ends the message loop at the run's last caption.
template <typename Call>
class BenchWindow : public purga::RunWindow {
 public:
  BenchWindow(Call& call, Memory& memory) : call_(call), memory_(memory) {}
  void ShowCaption(RunCaption which, const std::string& text) override {
    call_.Run([&] {
      captions[static_cast<int>(which)] = text;
      Count();
      if (which == RunCaption::SpaceWon) ::PostQuitMessage(0);
    });
  }
  void ShowProgress(const std::string& text) override {
    call_.Run([&] {
      progress = text;
      Count();
    });
  }
  std::string captions[4];
  std::string progress;
  long calls = 0;

 private:
  void Count() {
    if ((++calls & 1023) == 0) memory_.Sample();
  }
  Call& call_;
  Memory& memory_;
};

struct Result {
  const char* name;
  double seconds;
  long files;
  long deleted;
  long handOvers;
  size_t memoryBaseline, memoryPeak;
};

// One run of the real worker, served by a GetMessage loop on this thread.
template <typename Call>
Result WorkerRun(const char* name, Call& call, const std::string& folder, bool deleting) {
  std::memset(&purga::DeleteSettings, 0, sizeof purga::DeleteSettings);
  purga::InitSettings();  // the program's option defaults: empty folders and read-only files go
  purga::DeleteSettings.DeleteSmaller = 0;
  purga::DeleteSettings.Rules[0].Enabled = deleting ? 1 : 0;  // *.HTM
  Memory memory;
  memory.Start();
  BenchWindow<Call> window(call, memory);
  purga::TargetFolder = folder;
  purga::StopRequested.store(0);
  purga::RunGuard.store(1);
  purga::FreeSpaceBefore.store(purga::GetDriveFreeKB(folder.substr(0, 1)));
  const double start = Now();
  new purga::TFileDelte(window);
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  const double seconds = Now() - start;
  while (purga::TFileDelte::Alive()) ::Sleep(1);
  memory.Sample();
  return {name,
          seconds,
          std::stol(window.captions[static_cast<int>(RunCaption::ReadCount)]),
          std::stol(window.captions[static_cast<int>(RunCaption::DeletedCount)]),
          window.calls,
          memory.baseline,
          memory.peak};
}

bool EndsWithHtm(const char* name) {
  const size_t length = std::strlen(name);
  return length >= 4 && ::lstrcmpiA(name + length - 4, ".htm") == 0;
}

// The least any program must do: enumerate every entry, delete the selected.
void FloorWalk(const std::string& folder, long& files, long& deleted) {
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (data.cFileName[0] == '.') continue;
    const std::string path = folder + "\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      FloorWalk(path, files, deleted);
    } else {
      ++files;
      if (EndsWithHtm(data.cFileName) && ::DeleteFileA(path.c_str())) ++deleted;
    }
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
}

Result Floor(const std::string& folder) {
  Memory memory;
  memory.Start();
  long files = 0, deleted = 0;
  const double start = Now();
  FloorWalk(folder, files, deleted);
  const double seconds = Now() - start;
  memory.Sample();
  return {"bare FindFirstFileA/DeleteFileA (floor)",
          seconds,
          files,
          deleted,
          0,
          memory.baseline,
          memory.peak};
}

Result ShellDel(const std::string& folder, long files) {
  std::string command = "cmd.exe /c del /s /q " + folder + "\\*.htm >NUL";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const double start = Now();
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    return {"cmd /c del /s /q (failed to start)", 0, 0, 0, 0, 0, 0};
  ::WaitForSingleObject(process.hProcess, INFINITE);
  const double seconds = Now() - start;
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  long left = 0, deleted = 0;
  FloorWalk(folder, left, deleted);  // counts what is left; nothing selected remains to delete
  return {"cmd /c del /s /q (its own process)", seconds, files, files - left, 0, 0, 0};
}

// Cost of one hand-over from a worker thread, served by a GetMessage loop.
template <typename Call>
double HandOverMicroseconds(Call& call, int count) {
  std::atomic<bool> done{false};
  double seconds = 0;
  std::thread worker([&] {
    long value = 0;
    const double start = Now();
    for (int i = 0; i < count; ++i) call.Run([&] { ++value; });
    seconds = Now() - start;
    done.store(true);
    call.Run([] { ::PostQuitMessage(0); });
  });
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
  worker.join();
  return seconds / count * 1e6;
}

void Print(const Result& r, double floorMicroseconds) {
  const double perFile = r.files > 0 ? r.seconds / static_cast<double>(r.files) * 1e6 : 0;
  std::printf("%-44s %8.2f s %7ld files %6ld deleted %9.0f files/s %7.1f us/file %6.1fx floor",
              r.name, r.seconds, r.files, r.deleted,
              r.seconds > 0 ? static_cast<double>(r.files) / r.seconds : 0, perFile,
              floorMicroseconds > 0 ? perFile / floorMicroseconds : 0);
  if (r.memoryPeak > 0)
    std::printf("  private %.1f MB -> peak %.1f MB",
                static_cast<double>(r.memoryBaseline) / 1048576.0,
                static_cast<double>(r.memoryPeak) / 1048576.0);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: purga_bench <folder holding A, B and C>\n");
    return 2;
  }
  purga::InstallWin32Platform();
  const std::string base = argv[1];
  purga::UiCall ui;
  SendMessageCall send;

  const double postUs = HandOverMicroseconds(ui, 20000);
  const double sendUs = HandOverMicroseconds(send, 20000);
  std::printf(
      "hand-over to the UI thread: UiCall (post + event) %.1f us, SendMessage %.1f us per call\n\n",
      postUs, sendUs);

  const Result examine = WorkerRun("worker, examine only (UiCall)", ui, base + "\\A", false);
  const Result examineSend =
      WorkerRun("worker, examine only (SendMessage)", send, base + "\\A", false);
  const Result deleting = WorkerRun("worker, deleting (UiCall)", ui, base + "\\A", true);
  const Result floor = Floor(base + "\\B");
  const Result shell = ShellDel(base + "\\C", floor.files);

  const double floorUs = floor.seconds / static_cast<double>(std::max(floor.files, 1L)) * 1e6;
  for (const Result& r : {examine, examineSend, deleting, floor, shell}) Print(r, floorUs);

  // What the design requires beyond the floor: its hand-overs, each a round
  // trip to the UI thread.
  const double required = floor.seconds + static_cast<double>(deleting.handOvers) * postUs * 1e-6;
  std::printf(
      "\ndeleting run: %ld hand-overs (%.2f per file); floor + hand-overs x %.1f us = %.2f s, "
      "measured %.2f s "
      "(%.0f%%)\n",
      deleting.handOvers,
      static_cast<double>(deleting.handOvers) / static_cast<double>(deleting.files), postUs,
      required, deleting.seconds, deleting.seconds / required * 100);
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  std::printf("process peak: working set %.1f MB, private %.1f MB\n",
              static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0,
              static_cast<double>(counters.PeakPagefileUsage) / 1048576.0);
  return 0;
}
