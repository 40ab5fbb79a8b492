// The installer's entry point: construct the application, start it up, run
// the message loop while the frame lives, and exit with the run's exit code.

#include <objbase.h>

#include <optional>

#include "app/main_frame_win.h"
#include "install/prompter.h"
#include "install/uninstaller.h"
#include "resource.h"
#include "setup/install_log.h"
#include "setup/startup.h"
#include "ui/environment_win.h"
#include "ui/help_window_win.h"
#include "ui/page_look.h"
#include "ui/pages/about_box_win.h"
#include "ui/wizard_ui_win.h"
#include "win32/platform_win.h"
#include "win32/scoped_handle_win.h"
#include "win32/system_library_win.h"
#include "win32/text_win.h"
#include "win32/windows_win.h"
#include "wizard/wizard_driver.h"

namespace lumiset {
namespace {

// The Windows platform, with COM initialised on the user-interface thread
// at the first step that needs it, the shell opening Display Properties,
// rather than at start: most runs never need it, and it costs every run its
// libraries. The shell's open verb asks for the single-threaded apartment
// its extensions may need.
class ComOnDemandPlatform : public ForwardingPlatform {
 public:
  explicit ComOnDemandPlatform(Platform& target) : ForwardingPlatform(target) {}
  ComOnDemandPlatform(const ComOnDemandPlatform&) = delete;
  ComOnDemandPlatform& operator=(const ComOnDemandPlatform&) = delete;

  Status ShellOpen(const std::string& program, const std::string& parameters) override {
    if (!com_attempted_) {
      com_attempted_ = true;
      // S_FALSE (already initialised here) also needs its CoUninitialize.
      com_initialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }
    return ForwardingPlatform::ShellOpen(program, parameters);
  }

  // Balances the initialisation; the user-interface thread only, at exit.
  void ReleaseCom() {
    if (com_initialised_) CoUninitialize();
    com_initialised_ = false;
  }

 private:
  bool com_attempted_ = false;
  bool com_initialised_ = false;
};

Win32Platform g_win32_platform;
ComOnDemandPlatform g_platform(g_win32_platform);
HINSTANCE g_instance = nullptr;

class CLumisetApp {
 public:
  // True to enter the message loop, false to end at once.
  bool InitInstance(HINSTANCE instance) {
    g_instance = instance;
    const std::string command_line = WideToUtf8(GetCommandLineW());
    start_ = StartUp(g_platform, command_line, IsVistaOrLater());
    if (!start_) {
      exit_code_ = kExitFailed;
      return false;
    }
    // A log that cannot be written is no reason to stop.
    if (!start_->options.log_path.empty() && Log().Open(g_platform, start_->options.log_path)) {
      Log().StartUpFacts(*start_, command_line);
    }
    const RunOptions& options = start_->options;
    switch (start_->mode) {
      case RunMode::kDamaged: {
        exit_code_ = kExitDamaged;
        Prompter prompter(PolicyOf(options), notices_, g_platform);
        prompter.Tell(Notice::kDamagedInstaller, start_->language);
        return false;
      }
      case RunMode::kClose:
        Log().Line("nothing to do: no installed copy to uninstall");
        exit_code_ = kExitSucceeded;
        return false;
      case RunMode::kUninstall:
        // No window is needed to uninstall: a run without a display works.
        Uninstall();
        return false;
      case RunMode::kInstall:
        if (options.quiet && !options.show_pages) {
          // Nothing to show: the installation runs without the frame or any
          // page, and the process ends with it.
          RunInstallation();
          return false;
        }
        break;
      case RunMode::kHelp:
      case RunMode::kAskExisting:
        break;
    }
    if (!frame_.Create(instance, OnStartInstallation, OnAbout)) {
      exit_code_ = kExitFailed;
      return false;
    }
    switch (start_->mode) {
      case RunMode::kHelp:
        ShowHelp();
        exit_code_ = kExitSucceeded;
        frame_.PostClose();
        return true;
      case RunMode::kAskExisting:
        switch (ShowExistingCopyPage(instance, Look())) {
          case ExistingCopyChoice::kCancel:
            Log().Line("cancelled by the user on the existing-copy page");
            exit_code_ = kExitFailed;
            frame_.PostClose();
            return true;
          case ExistingCopyChoice::kUninstall:
            Uninstall();
            frame_.PostClose();
            return true;
          case ExistingCopyChoice::kInstall:
            break;
        }
        break;
      default:
        break;
    }
    frame_.PostStart();
    return true;
  }

  // The frame's start command: the whole wizard, then the frame closes.
  static void OnStartInstallation(HWND frame) {
    app_->RunInstallation();
    PostMessageW(frame, WM_CLOSE, 0, 0);
  }

  // The Help menu's "About Lumiset...": the about box over whatever is open.
  static void OnAbout() {
    AboutBox about(g_instance, app_->Look());
    about.DoModal();
  }

  int ExitInstance() {
    g_platform.ReleaseCom();
    Log().Line("exit code " + std::to_string(exit_code_));
    Log().Close();
    return exit_code_;
  }

  static void RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

  explicit CLumisetApp() { app_ = this; }
  int32_t exit_code() const { return exit_code_; }

 private:
  // The pages' look, settled at its first use.
  const PageLook& Look() {
    if (!look_) {
      const DisplayFacts display = SettleDisplayFacts();
      PageLook look;
      look.language = start_->language;
      look.themed = start_->options.themed_look;
      look.placement = display.placement;
      look.dpi_y = display.dpi_y;
      if (const std::optional<PackageInfo>& package = start_->package) {
        look.header_picture = package->header_picture;
        look.show_header_text = package->show_header_text;
        look.header_text_color = package->header_text_color;
        look.accent_hue = package->accent_hue;
        look.title = package->title;
        look.copyright_line = package->copyright_line;
        look.placeholders = PlaceholderValuesOf(*package, start_->facts);
      }
      look_ = std::move(look);
    }
    return *look_;
  }

  void RunInstallation() {
    Win32WizardUi ui(g_instance, g_platform, [this]() -> const PageLook& { return Look(); },
                     start_->options, *start_->package, start_->facts);
    exit_code_ = RunWizard(start_->options, *start_->package, start_->facts, g_platform, ui);
  }

  void Uninstall() {
    Prompter prompter(PolicyOf(start_->options), notices_, g_platform);
    const bool removed =
        lumiset::Uninstall(TargetOfPackage(*start_->package), start_->facts, g_platform, prompter);
    Log().Line(removed ? "uninstall: ok" : "uninstall: failed: the screensaver is still installed");
    exit_code_ = removed ? kExitSucceeded : kExitFailed;
  }

  // The help window with its rich edit control, whose library is loaded
  // from the system folder only and freed once the window has closed.
  void ShowHelp() {
    ScopedModule rich_edit(LoadSystemLibrary("RICHED32.DLL"));
    HelpWindow help(g_instance, Look());
    help.DoModal();
  }

  static CLumisetApp* app_;
  std::optional<StartUpResult> start_;
  std::optional<PageLook> look_;
  MessageBoxPromptUi notices_{g_platform};
  CMainFrame frame_;
  int32_t exit_code_ = kExitSucceeded;
};

CLumisetApp* CLumisetApp::app_ = nullptr;

}  // namespace
}  // namespace lumiset

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  lumiset::RestrictLibrarySearch();
  // Out of memory or worse: end with failure rather than crash in front of
  // the user, and never with success.
  try {
    lumiset::CLumisetApp app;
    try {
      if (app.InitInstance(instance)) lumiset::CLumisetApp::RunMessageLoop();
    } catch (...) {
      app.ExitInstance();
      return lumiset::kExitFailed;
    }
    return app.ExitInstance();
  } catch (...) {
    return lumiset::kExitFailed;
  }
}
