// Uninstall.exe, the default uninstaller that lumipack puts into packages:
// started from the installed-programs list or the Start menu, it removes
// the screensaver that Uninstall.ini beside it names, then itself.

#include <string>

#include "base/language.h"
#include "install/prompter.h"
#include "install/uninstaller.h"
#include "package/install_names.h"
#include "setup/install_log.h"
#include "setup/machine_facts.h"
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
// settings file.
bool AskToRemove(const std::string& title, int32_t language) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr),
                            static_cast<UINT>(LocalizedId(kConfirmRemovalString, language)),
                            reinterpret_cast<LPWSTR>(&text), 0);
  std::wstring question = n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
  const std::wstring placeholder = Utf8ToWide(kTitlePlaceholder);
  if (const size_t at = question.find(placeholder); at != std::wstring::npos) {
    question.replace(at, placeholder.size(), Utf8ToWide(title));
  }
  return MessageBoxW(nullptr, question.c_str(),
                     Utf8ToWide(std::string(LocalizedCaption(language))).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

int Run() {
  const UninstallerArguments arguments = ParseUninstallerArguments(WideToUtf8(GetCommandLineW()));
  Win32Platform platform;
  const MachineFacts facts = GatherMachineFacts(platform, /*vista_or_later=*/true);
  if (arguments.cleanup_switch) {
    // Only this program writes the switch; arguments it did not write do nothing.
    if (!arguments.cleanup) return 1;
    FinishSelfRemoval(facts, *arguments.cleanup);
    return 0;
  }
  // A log that cannot be written is no reason to stop.
  if (!arguments.log_path.empty()) Log().Open(platform, arguments.log_path);
  Log().Line("uninstaller: " + facts.module_path);
  MessageBoxPromptUi notices(platform);
  const UninstallOutcome outcome = RunDefaultUninstaller(platform, facts, facts.module_path,
                                                         arguments.quiet, AskToRemove, notices);
  if (outcome == UninstallOutcome::kRemoved && RemovesItself(facts.module_path)) {
    HandOverSelfRemoval(facts, facts.module_path);
  }
  Log().Line("exit code " + std::to_string(ExitCodeOf(outcome)));
  Log().Close();
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
