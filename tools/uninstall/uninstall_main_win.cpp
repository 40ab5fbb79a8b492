// Uninstall.exe, the default uninstaller that lumipack puts into packages:
// started from the installed-programs list or the Start menu, it removes
// the screensaver that Uninstall.ini beside it names, then itself.

#include <string>

#include "base/language.h"
#include "install/uninstaller.h"
#include "self_removal_win.h"
#include "uninstall_run.h"
#include "win32/platform_win.h"
#include "win32/system_library_win.h"
#include "win32/text_win.h"
#include "win32/windows_win.h"

namespace lumiset {
namespace {

// The confirmation in the installation's language, read as UTF-16 so that a
// Russian question shows on a Western system; the title comes from the
// settings file in the ANSI code page.
bool AskToRemove(const std::string& title, int32_t language) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr),
                            static_cast<UINT>(LocalizedId(kConfirmRemovalString, language)),
                            reinterpret_cast<LPWSTR>(&text), 0);
  std::wstring question = n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
  const std::wstring placeholder = AnsiToWide(kTitlePlaceholder);
  if (const size_t at = question.find(placeholder); at != std::wstring::npos) {
    question.replace(at, placeholder.size(), AnsiToWide(title));
  }
  return MessageBoxW(nullptr, question.c_str(), AnsiToWide(kMessageCaption).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int Run() {
  const UninstallerArguments arguments = ParseUninstallerArguments(GetCommandLineA());
  if (arguments.cleanup_switch) {
    // Only this program writes the switch; arguments it did not write do nothing.
    if (!arguments.cleanup) return 1;
    FinishSelfRemoval(*arguments.cleanup);
    return 0;
  }
  Win32Platform platform;
  const std::string program = platform.ModulePath();
  const UninstallOutcome outcome =
      RunDefaultUninstaller(platform, program, arguments.quiet, AskToRemove);
  if (outcome == UninstallOutcome::kRemoved && RemovesItself(program)) {
    HandOverSelfRemoval(program);
  }
  return ExitCodeOf(outcome);
}

}  // namespace
}  // namespace lumiset

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  lumiset::RestrictLibrarySearch();
  try {
    return lumiset::Run();
  } catch (...) {
    // Out of memory or worse: report failure rather than crash.
    return 1;
  }
}
