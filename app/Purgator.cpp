// The program's entry: one copy only, the four windows created once and
// hidden in their fixed order, then the launcher's message loop.

#include "app/Application.h"
#include "app/StartCrt.h"
#include "app/resource.h"
#include "platform/win32/Win32Platform.h"
#include "ui/win/FileUpdate.h"
#include "ui/win/FolderSelect.h"
#include "ui/win/MainForm.h"

using namespace purga;
using namespace purga::win;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Another copy holds the name: end at once, without a word.
  if (HANDLE running = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"EX_Mutex")) {
    CloseHandle(running);
    return 0;
  }
  // Held until the process ends, which releases the name. A failure leaves
  // the program without the guard.
  CreateMutexW(nullptr, FALSE, L"EX_Mutex");

  InstallWin32Platform();

  HICON icon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDI_PURGATOR), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  Application application("Purgator", icon);

  // Created hidden, in this order; the deletion window's creation loads the
  // settings.
  StartForm = new TStartForm();
  Select_Folder = new TSelect_Folder(StartForm->Handle());
  MainCrt = new TMainCrt();  // its folder choice shows Select_Folder
  FileUp = new TFileUp();
  // The other windows are owned by the one they are shown from.
  application.Own(StartForm->Handle());
  application.SetMainWindow(StartForm->Handle());

  StartForm->Show();
  const int exitCode = application.Run();

  // A run still going would outlive the window it reports to: stop it and
  // wait for it before any window goes away.
  MainCrt->ShutDown();
  delete FileUp;
  delete MainCrt;
  delete Select_Folder;
  delete StartForm;
  return exitCode;
}
