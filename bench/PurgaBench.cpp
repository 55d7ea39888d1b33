// Throughput of a deletion run under Wine: the hand-over to the
// user-interface thread as it was (a posted message and an event per call)
// beside the shared-memory handshake of UiCall, each with a window that only
// keeps the texts and with the program's own deletion window shown, next to
// the bare file calls and the shell's own del. bench/run.sh makes the trees
// and runs this with the folder that holds them:
//   A        examined four times without deleting
//   D to G   deleted, one run each
//   B        deleted by a bare FindFirstFileA/DeleteFileA loop (the floor)
//   C        deleted by cmd /c del /s /q
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "common/Hensu.h"
#include "common/commFunc.h"
#include "engine/DeleteF.h"
#include "platform/win32/UiCall.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Platform.h"
#include "ui/win/MainForm.h"

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

// CPU time of the calling thread, in seconds.
double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) *
           1e-7;
  };
  return seconds(kernel) + seconds(user);
}

// Private bytes of this process, sampled by the runs.
struct Memory {
  std::atomic<size_t> baseline{0};
  std::atomic<size_t> peak{0};
  static size_t Private() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
  }
  void Start() { baseline = peak = Private(); }
  void Sample() { peak = std::max(peak.load(), Private()); }
};

// A message-only window of this thread whose procedure runs the call that a
// message carries: wParam the function, lParam its context.
class CallWindow {
 public:
  CallWindow(const CallWindow&) = delete;
  CallWindow& operator=(const CallWindow&) = delete;

 protected:
  static constexpr UINT kCall = WM_APP + 1;
  explicit CallWindow(const char* className) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    ::RegisterClassA(&windowClass);
    window_ = ::CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
  }
  ~CallWindow() { ::DestroyWindow(window_); }
  HWND window_;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kCall) return ::DefWindowProcA(window, message, wParam, lParam);
    reinterpret_cast<void (*)(void*)>(wParam)(reinterpret_cast<void*>(lParam));
    return 0;
  }
};

// The hand-over as it was before the shared-memory handshake: every call
// posted to a window of the user-interface thread, the caller waiting on an
// event of its own thread until the call has run.
class PostedCall : public CallWindow {
 public:
  PostedCall() : CallWindow("PurgaBenchPosted") {}
  template <typename Work>
  void Run(Work&& work) {
    struct Pending {
      Work* work;
      HANDLE done;
    } pending{&work, Event()};
    auto run = +[](void* context) {
      auto* p = static_cast<Pending*>(context);
      (*p->work)();
      ::SetEvent(p->done);
    };
    ::PostMessageA(window_, kCall, reinterpret_cast<WPARAM>(run),
                   reinterpret_cast<LPARAM>(&pending));
    ::WaitForSingleObject(pending.done, INFINITE);
  }

 private:
  static HANDLE Event() {
    thread_local HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event;
  }
};

// The same hand-over through a cross-thread SendMessage.
class SendMessageCall : public CallWindow {
 public:
  SendMessageCall() : CallWindow("PurgaBenchSend") {}
  template <typename Work>
  void Run(Work&& work) {
    ::SendMessageA(window_, kCall, reinterpret_cast<WPARAM>(+[](void* context) {
                     (*static_cast<std::remove_reference_t<Work>*>(context))();
                   }),
                   reinterpret_cast<LPARAM>(&work));
  }
};

// What every window of a benchmark run does beside showing: counts the
// calls and samples the memory on the worker's side, and ends the message
// loop after the run's last caption.
class BenchWindow : public purga::RunWindow {
 public:
  explicit BenchWindow(Memory& memory) : memory_(memory), uiThread_(::GetCurrentThreadId()) {}
  void ShowCaption(RunCaption which, const std::string& text) final {
    Caption(which, text);
    Counted();
    if (which == RunCaption::SpaceWon) ::PostThreadMessageA(uiThread_, WM_QUIT, 0, 0);
  }
  void ShowProgress(const std::string& text) final {
    Progress(text);
    Counted();
  }
  // After the run: the caption's last text.
  virtual std::string Shown(RunCaption which) const = 0;
  long calls = 0;

 protected:
  virtual void Caption(RunCaption which, const std::string& text) = 0;
  virtual void Progress(const std::string& text) = 0;

 private:
  void Counted() {
    if ((++calls & 1023) == 0) memory_.Sample();
  }
  Memory& memory_;
  DWORD uiThread_;
};

// Keeps only the latest texts: the hand-over's own cost.
template <typename Call>
class TextsOnly : public BenchWindow {
 public:
  TextsOnly(Call& call, Memory& memory) : BenchWindow(memory), call_(call) {}
  std::string Shown(RunCaption which) const override { return captions_[Index(which)]; }

 protected:
  void Caption(RunCaption which, const std::string& text) override {
    call_.Run([&] { captions_[Index(which)] = text; });
  }
  void Progress(const std::string& text) override {
    call_.Run([&] { progress_ = text; });
  }

 private:
  static int Index(RunCaption which) { return static_cast<int>(which); }
  Call& call_;
  std::string captions_[4];
  std::string progress_;
};

// The program's deletion window, shown. Each caption update is a
// SetWindowTextA on its panel.
class ShownWindow : public BenchWindow {
 public:
  ShownWindow(purga::win::TMainCrt& window, Memory& memory)
      : BenchWindow(memory), window_(window) {}
  std::string Shown(RunCaption which) const override {
    return window_.Model().Caption(which).Text();
  }

 protected:
  purga::win::TMainCrt& window_;
};

// The deletion window as it was: every call carried by the posted
// hand-over, the progress text and the counters set on their panels with
// every file.
class FormerWindow : public ShownWindow {
 public:
  FormerWindow(PostedCall& call, purga::win::TMainCrt& window, Memory& memory)
      : ShownWindow(window, memory), call_(call) {}

 protected:
  void Caption(RunCaption which, const std::string& text) override {
    static constexpr const char* kPanels[] = {"StaticText1", "StaticText2", "StaticText3",
                                              "StaticText5"};
    call_.Run([&] {
      window_.Model().Caption(which).SetText(text);
      SetNow(kPanels[static_cast<int>(which)]);
    });
  }
  void Progress(const std::string& text) override {
    call_.Run([&] {
      window_.Model().progress.SetText(text);
      SetNow("ProgressText");
    });
  }

 private:
  // The window sets these panels at display rate; here, at once.
  void SetNow(const char* panel) {
    static_cast<purga::win::Panel*>(window_.FindControl(panel))->ShowDue();
  }
  PostedCall& call_;
};

// The deletion window as it is: its own UiCall, the progress text and the
// counters set on their panels at display rate.
class CurrentWindow : public ShownWindow {
 public:
  using ShownWindow::ShownWindow;

 protected:
  void Caption(RunCaption which, const std::string& text) override {
    window_.ShowCaption(which, text);
  }
  void Progress(const std::string& text) override { window_.ShowProgress(text); }
};

struct Result {
  std::string name;
  double seconds = 0;
  double uiCpuSeconds = -1;  // none measured
  long files = 0;
  long deleted = 0;
  long handOvers = 0;
  size_t memoryBaseline = 0, memoryPeak = 0;
};

void SetRunSettings(bool deleting) {
  std::memset(&purga::DeleteSettings, 0, sizeof purga::DeleteSettings);
  purga::InitSettings();  // the program's option defaults: empty folders and read-only files go
  purga::DeleteSettings.DeleteSmaller = 0;
  purga::DeleteSettings.Rules[0].Enabled = deleting ? 1 : 0;  // *.HTM
}

// One run of the real worker over `folder`, served by a GetMessage loop on
// this thread until the window ends it.
Result WorkerRun(const std::string& name, BenchWindow& window, Memory& memory,
                 const std::string& folder, bool deleting) {
  SetRunSettings(deleting);
  purga::TargetFolder = folder;
  purga::StopRequested.store(0);
  purga::RunGuard.store(1);
  purga::FreeSpaceBefore.store(purga::GetDriveFreeKB(folder.substr(0, 1)));
  memory.Start();
  const double cpuBefore = ThreadCpuSeconds();
  const double start = Now();
  new purga::TFileDelte(window);
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  Result r;
  r.name = name;
  r.seconds = Now() - start;
  r.uiCpuSeconds = ThreadCpuSeconds() - cpuBefore;
  while (purga::TFileDelte::Alive()) ::Sleep(1);
  memory.Sample();
  r.files = std::stol(window.Shown(RunCaption::ReadCount));
  r.deleted = std::stol(window.Shown(RunCaption::DeletedCount));
  r.handOvers = window.calls;
  r.memoryBaseline = memory.baseline;
  r.memoryPeak = memory.peak;
  return r;
}

bool EndsWithHtm(const char* name) {
  const size_t length = std::strlen(name);
  return length >= 4 && ::lstrcmpiA(name + length - 4, ".htm") == 0;
}

// The least any program must do: enumerate every entry, delete the selected.
void FloorWalk(const std::string& folder, bool deleting, long& files, long& deleted) {
  WIN32_FIND_DATAA data;
  const HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (data.cFileName[0] == '.') continue;
    const std::string path = folder + "\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      FloorWalk(path, deleting, files, deleted);
    } else {
      ++files;
      if (deleting && EndsWithHtm(data.cFileName) && ::DeleteFileA(path.c_str())) ++deleted;
    }
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
}

Result Floor(const std::string& folder) {
  Memory memory;
  memory.Start();
  Result r;
  r.name = "bare FindFirstFileA/DeleteFileA (floor)";
  const double start = Now();
  FloorWalk(folder, true, r.files, r.deleted);
  r.seconds = Now() - start;
  memory.Sample();
  r.memoryBaseline = memory.baseline;
  r.memoryPeak = memory.peak;
  return r;
}

Result ShellDel(const std::string& folder, long files) {
  std::string command = "cmd.exe /c del /s /q " + folder + "\\*.htm >NUL";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  Result r;
  r.name = "cmd /c del /s /q (its own process)";
  const double start = Now();
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    r.name = "cmd /c del /s /q (failed to start)";
    return r;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  r.seconds = Now() - start;
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  long left = 0, remaining = 0;
  FloorWalk(folder, false, left, remaining);
  r.files = files;
  r.deleted = files - left;
  return r;
}

// The middle one of `times` figures (each sorted in place).
double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Cost of one hand-over from a worker thread, served by a GetMessage loop:
// the median of 20 batches of 1,000, so that a moment when the machine is
// busy elsewhere does not count.
template <typename Call>
double HandOverMicroseconds(Call& call) {
  std::vector<double> batches;
  std::thread worker([&] {
    long value = 0;
    for (int batch = 0; batch < 20; ++batch) {
      const double start = Now();
      for (int i = 0; i < 1000; ++i) call.Run([&] { ++value; });
      batches.push_back((Now() - start) / 1000 * 1e6);
    }
    call.Run([] { ::PostQuitMessage(0); });
  });
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
  worker.join();
  return Median(batches);
}

void Pump() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

// One SetWindowTextA on a shown control, on its own thread, each text new:
// the median of 20 batches of 1,000, painted between batches.
double SetTextMicroseconds(HWND control) {
  std::vector<double> batches;
  for (int batch = 0, text = 0; batch < 20; ++batch) {
    Pump();
    const double start = Now();
    for (int i = 0; i < 1000; ++i) ::SetWindowTextA(control, std::to_string(++text).c_str());
    batches.push_back((Now() - start) / 1000 * 1e6);
  }
  Pump();
  return Median(batches);
}

double PerFile(const Result& r) {
  return r.files > 0 ? r.seconds / static_cast<double>(r.files) * 1e6 : 0;
}

void Print(const Result& r, double floorMicroseconds) {
  const double perFile = PerFile(r);
  std::printf("%-44s %7.2f s %7ld files %6ld deleted %8.0f files/s %6.1f us/file %5.1fx floor",
              r.name.c_str(), r.seconds, r.files, r.deleted,
              r.seconds > 0 ? static_cast<double>(r.files) / r.seconds : 0, perFile,
              floorMicroseconds > 0 ? perFile / floorMicroseconds : 0);
  if (r.uiCpuSeconds >= 0)
    std::printf("  UI CPU %5.2f s (%3.0f%%)", r.uiCpuSeconds,
                r.seconds > 0 ? r.uiCpuSeconds / r.seconds * 100 : 0);
  if (r.memoryPeak > 0)
    std::printf("  private %.1f -> %.1f MB", static_cast<double>(r.memoryBaseline) / 1048576.0,
                static_cast<double>(r.memoryPeak) / 1048576.0);
  std::printf("\n");
}

double Rate(const Result& r) { return static_cast<double>(r.files) / r.seconds; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: purga_bench <folder holding the trees A to G>\n");
    return 2;
  }
  purga::InstallWin32Platform();
  const std::string base = argv[1];
  PostedCall posted;
  SendMessageCall send;
  purga::UiCall ui;

  const double postedUs = HandOverMicroseconds(posted);
  const double sendUs = HandOverMicroseconds(send);
  const double uiCallUs = HandOverMicroseconds(ui);
  std::printf(
      "one hand-over to the UI thread: posted message + event %.1f us, SendMessage %.1f us, "
      "UiCall %.2f us\n",
      postedUs, sendUs, uiCallUs);

  // The deletion window, shown, as during a run.
  purga::win::TMainCrt window;
  window.Show();
  Pump();
  purga::win::Control* label = window.FindControl("Label11");
  const std::string labelText = label->Text();
  const double staticUs = SetTextMicroseconds(label->Handle());
  label->SetText(labelText);
  const double captionUs = SetTextMicroseconds(window.FindControl("StaticText3")->Handle());
  std::printf("one SetWindowTextA on a shown control: static %.1f us, caption panel %.1f us\n\n",
              staticUs, captionUs);

  // Each pair in the same order, the way it was first, so that a change of
  // the machine's load during the benchmark touches both alike.
  Memory memory;
  std::vector<Result> results;
  const auto runs = [&](const char* what, bool deleting, const char* postedTree,
                        const char* postedWindowTree, const char* uiTree,
                        const char* uiWindowTree) {
    const std::string prefix = std::string(what) + ", ";
    TextsOnly<PostedCall> postedTexts(posted, memory);
    results.push_back(WorkerRun(prefix + "posted + event, texts", postedTexts, memory,
                                base + postedTree, deleting));
    TextsOnly<purga::UiCall> uiTexts(ui, memory);
    results.push_back(
        WorkerRun(prefix + "UiCall, texts", uiTexts, memory, base + uiTree, deleting));
    FormerWindow former(posted, window, memory);
    results.push_back(WorkerRun(prefix + "posted + event, window", former, memory,
                                base + postedWindowTree, deleting));
    CurrentWindow current(window, memory);
    results.push_back(
        WorkerRun(prefix + "UiCall, window", current, memory, base + uiWindowTree, deleting));
  };
  runs("examine only", false, "\\A", "\\A", "\\A", "\\A");
  runs("deleting", true, "\\D", "\\E", "\\F", "\\G");
  const Result floor = Floor(base + "\\B");
  results.push_back(floor);
  results.push_back(ShellDel(base + "\\C", floor.files));

  const double floorUs = PerFile(floor);
  for (const Result& r : results) Print(r, floorUs);

  const Result& examined = results[3];
  const double bound = 1.3 * (floorUs + staticUs);
  std::printf(
      "\nbound: 1.3 x (floor %.1f us + SetWindowTextA %.1f us) = %.1f us/file; examine only, "
      "UiCall, window: %.1f us/file, %s\n",
      floorUs, staticUs, bound, PerFile(examined), PerFile(examined) <= bound ? "within" : "OVER");
  std::printf(
      "UiCall against posted + event, files/s: examine only %.2f x with texts, %.2f x with the "
      "window; deleting %.2f x with texts, %.2f x with the window\n",
      Rate(results[1]) / Rate(results[0]), Rate(results[3]) / Rate(results[2]),
      Rate(results[5]) / Rate(results[4]), Rate(results[7]) / Rate(results[6]));
  std::printf("hand-overs per file: %.2f examining, %.2f deleting\n",
              static_cast<double>(results[3].handOvers) / static_cast<double>(results[3].files),
              static_cast<double>(results[7].handOvers) / static_cast<double>(results[7].files));
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  std::printf("process peak: working set %.1f MB, private %.1f MB\n",
              static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0,
              static_cast<double>(counters.PeakPagefileUsage) / 1048576.0);
  return 0;
}
