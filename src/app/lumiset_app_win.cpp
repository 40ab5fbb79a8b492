// The installer's entry point: construct the application, start it up, run
// the message loop while the frame lives, and exit with ExitCode.

#include <objbase.h>

#include "app/main_frame_win.h"
#include "app/setup_state.h"
#include "app/startup.h"
#include "install/platform_win.h"
#include "install/windows_win.h"
#include "package/work_files.h"
#include "ui/environment_win.h"

namespace lumiset {
namespace {

// The one process-wide state and platform.
SetupState g_setup;
Win32Platform g_platform;

// Until the wizard driver exists, a start request ends the run.
void OnStartInstallation(HWND frame) { PostMessageA(frame, WM_CLOSE, 0, 0); }

class CLumisetApp {
 public:
  CLumisetApp() {
    g_setup.ExitCode = 0;
    InitUserInterfaceEnvironment(g_platform, g_setup);
  }

  // True to enter the message loop, false to end at once.
  bool InitInstance(HINSTANCE instance) {
    CoInitialize(nullptr);
    std::optional<RunMode> mode = StartUp(g_platform, g_setup, GetCommandLineA());
    if (!mode) return false;
    if (!frame_.Create(instance, OnStartInstallation)) return false;
    switch (*mode) {
      case RunMode::kInstall:
        frame_.PostStart();
        break;
      case RunMode::kHelp:
      case RunMode::kClose:
      case RunMode::kUninstall:
      case RunMode::kAskExisting:
        frame_.PostClose();
        break;
    }
    return true;
  }

  int ExitInstance() {
    CoUninitialize();
    g_setup.UninstallerBlock.clear();
    g_setup.UninstallerBlock.shrink_to_fit();
    DeleteWorkFiles(g_platform, g_setup.WorkFolder);
    return g_setup.ExitCode;
  }

  static void RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }

 private:
  CMainFrame frame_;
};

}  // namespace
}  // namespace lumiset

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  try {
    lumiset::CLumisetApp app;
    if (app.InitInstance(instance)) lumiset::CLumisetApp::RunMessageLoop();
    return app.ExitInstance();
  } catch (...) {
    // Out of memory or worse: end quietly rather than crash in front of the user.
    return lumiset::g_setup.ExitCode;
  }
}
