// The installer's entry point: construct the application, start it up, run
// the message loop while the frame lives, and exit with ExitCode.

#include <objbase.h>

#include "app/main_frame_win.h"
#include "setup/setup_state.h"
#include "wizard/page_results.h"
#include "setup/install_log.h"
#include "setup/startup.h"
#include "install/uninstaller.h"
#include "wizard/wizard_driver.h"
#include "ui/wizard_ui_win.h"
#include "resource.h"
#include "win32/platform_win.h"
#include "win32/scoped_handle_win.h"
#include "win32/system_library_win.h"
#include "win32/windows_win.h"
#include "setup/work_files.h"
#include "ui/environment_win.h"
#include "ui/help_window_win.h"
#include "ui/pages/about_box_win.h"

namespace lumiset {
namespace {

// The Windows platform, with COM initialised on the user-interface thread
// at the first step that needs it (a shell link, or the shell opening
// Display Properties) rather than at start: most runs never need it, and it
// costs every run its libraries. The links are made in the multithreaded
// apartment: the shell link object supports it, and a single-threaded
// apartment would create a hidden window, which loads the display driver
// into a quiet run that otherwise has none. The shell's open verb asks for
// the single-threaded apartment its extensions may need; the first step that
// initialises decides for the run, and in a run that does both the links
// come first (Display Properties are a program, which needs no extension).
class ComOnDemandPlatform : public ForwardingPlatform {
 public:
  explicit ComOnDemandPlatform(Platform& target) : ForwardingPlatform(target) {}
  ComOnDemandPlatform(const ComOnDemandPlatform&) = delete;
  ComOnDemandPlatform& operator=(const ComOnDemandPlatform&) = delete;

  Status ShellOpen(const std::string& program, const std::string& parameters) override {
    InitialiseCom(COINIT_APARTMENTTHREADED);
    return ForwardingPlatform::ShellOpen(program, parameters);
  }
  Status CreateShellLink(const std::string& link_path, const std::string& target,
                         const std::string& description,
                         const std::string& working_folder) override {
    InitialiseCom(COINIT_MULTITHREADED);
    return ForwardingPlatform::CreateShellLink(link_path, target, description, working_folder);
  }

  // Balances the initialisation; the user-interface thread only, at exit.
  void ReleaseCom() {
    if (com_initialised_) CoUninitialize();
    com_initialised_ = false;
  }

 private:
  void InitialiseCom(DWORD model) {
    if (com_attempted_) return;
    com_attempted_ = true;
    // S_FALSE (already initialised here) also needs its CoUninitialize.
    com_initialised_ = SUCCEEDED(CoInitializeEx(nullptr, model));
  }

  bool com_attempted_ = false;
  bool com_initialised_ = false;
};

// The one process-wide state and platform.
SetupState g_setup;
Win32Platform g_win32_platform;
ComOnDemandPlatform g_platform(g_win32_platform);
HINSTANCE g_instance = nullptr;

// The frame's start command: the whole wizard, then the frame closes.
void OnStartInstallation(HWND frame) {
  Win32WizardUi ui(g_instance, g_platform, g_setup);
  RunWizard(g_setup, g_platform, ui);
  PostMessageA(frame, WM_CLOSE, 0, 0);
}

// The Help menu's "About Lumiset...": the about box over whatever is open.
void OnAbout() {
  AboutBox about(g_instance, g_setup);
  about.DoModal();
}

class CLumisetApp {
 public:
  CLumisetApp() {
    g_setup.ExitCode = 0;
    InitUserInterfaceEnvironment(g_platform, g_setup);
  }

  // True to enter the message loop, false to end at once.
  bool InitInstance(HINSTANCE instance) {
    g_instance = instance;
    std::optional<RunMode> mode = StartUp(g_platform, g_setup, GetCommandLineA());
    // A log that cannot be written is no reason to stop.
    if (!g_setup.LogPath.empty() && Log().Open(g_platform, g_setup.LogPath)) {
      Log().StartUpFacts(g_setup, GetCommandLineA());
    }
    if (!mode) {
      Log().Line("the system folder is unknown: nothing can be installed");
      return false;
    }
    if (*mode == RunMode::kDamaged) {
      if (!g_setup.QuietMode && !g_setup.NoInteraction) {
        g_platform.ShowLocalizedMessage(
            LocalizedId(kDamagedInstallerString, g_setup.LanguageIndex), "Installation",
            MessageIcon::kError);
      }
      return false;
    }
    if (*mode == RunMode::kInstall && g_setup.QuietMode && !g_setup.ShowScreens) {
      // Nothing to show: the installation runs without the frame or any
      // page, and the process ends with it.
      Win32WizardUi ui(g_instance, g_platform, g_setup);
      RunWizard(g_setup, g_platform, ui);
      return false;
    }
    SettleDisplayFacts(g_setup);
    if (!frame_.Create(instance, OnStartInstallation, OnAbout)) return false;
    switch (*mode) {
      case RunMode::kHelp:
        ShowHelp();
        frame_.PostClose();
        return true;
      case RunMode::kClose:
        Log().Line("nothing to do: no installed copy to uninstall");
        frame_.PostClose();
        return true;
      case RunMode::kDamaged:  // handled above
        return false;
      case RunMode::kInstall:
        frame_.PostStart();
        return true;
      case RunMode::kUninstall:
        return Uninstall();
      case RunMode::kAskExisting:
        switch (ShowExistingCopyPage(instance, g_setup)) {
          case ExistingCopyChoice::kCancel:
            frame_.PostClose();
            return true;
          case ExistingCopyChoice::kUninstall:
            return Uninstall();
          case ExistingCopyChoice::kInstall:
            frame_.PostStart();
            return true;
        }
        frame_.PostStart();
        return true;
    }
    return true;
  }

  // The help window with its rich edit control, whose library is loaded
  // from the system folder only and freed once the window has closed.
  void ShowHelp() {
    ScopedModule rich_edit(LoadSystemLibrary("RICHED32.DLL"));
    HelpWindow help(g_instance, g_platform, g_setup);
    help.DoModal();
  }

  bool Uninstall() {
    if (!RunUninstall(g_platform, g_setup)) {
      // The copy is still there: a script must not read this as success.
      g_setup.ExitCode = kExitFailed;
      Log().Line("uninstall: failed: the screensaver file could not be deleted");
      return false;
    }
    Log().Done("uninstall");
    frame_.PostClose();
    return true;
  }

  int ExitInstance() {
    g_platform.ReleaseCom();
    g_setup.UninstallerBlock.clear();
    g_setup.UninstallerBlock.shrink_to_fit();
    DeleteWorkFiles(g_platform, g_setup.WorkFolder);
    Log().Line("exit code " + std::to_string(g_setup.ExitCode));
    Log().Close();
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
  lumiset::RestrictLibrarySearch();
  try {
    lumiset::CLumisetApp app;
    if (app.InitInstance(instance)) lumiset::CLumisetApp::RunMessageLoop();
    return app.ExitInstance();
  } catch (...) {
    // Out of memory or worse: end quietly rather than crash in front of the user.
    return lumiset::g_setup.ExitCode;
  }
}
