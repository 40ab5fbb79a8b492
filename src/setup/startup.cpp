#include "setup/startup.h"

#include "base/platform_helpers.h"
#include "base/text.h"
#include "package/setup_record.h"
#include "setup/package_loader.h"

namespace lumiset {

std::string FormSystemDir(std::string_view system_directory, bool wow64) {
  std::string dir = AsciiLower(system_directory);
  if (!dir.empty() && dir[0] >= 'a' && dir[0] <= 'z') dir[0] = static_cast<char>(dir[0] - 'a' + 'A');
  return ToSysnativePath(dir, wow64);
}

std::optional<RunMode> StartUp(Platform& p, SetupState& state, std::string_view command_line) {
  state.QuietMode = 0;
  state.UninstallMode = 0;
  state.ShowScreens = 1;
  std::string arguments = ArgumentsOf(command_line);
  state.LogPath = TakeLogSwitch(arguments);
  arguments = AsciiLower(arguments);

  state.SystemDir = FormSystemDir(p.SystemDirectory(), p.IsWow64());
  if (state.SystemDir.empty()) {
    state.ExitCode = kExitFailed;
    return std::nullopt;
  }
  state.ModulePath = p.ModulePath();
  state.PackageSourcePath = state.ModulePath;

  if (!LoadPackage(p, state)) {
    // The switches still say whether anyone may be told, in the user's
    // own language since the package has none to give.
    ApplySwitches(arguments, state);
    state.LanguageIndex = ChooseLanguage(0, p.UserDefaultLangId());
    state.ExitCode = kExitDamaged;
    return RunMode::kDamaged;
  }
  ApplySwitches(arguments, state);
  const bool copy_exists = FileExists(p, state.InstalledScrPath);
  return DecideRunMode(state, copy_exists);
}

}  // namespace lumiset
