#include "uninstall_run.h"

#include <algorithm>
#include <charconv>

#include "base/language.h"
#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/finishing_steps.h"
#include "install/uninstaller.h"
#include "package/setup_record.h"
#include "setup/package_loader.h"
#include "setup/setup_state.h"
#include "setup/startup.h"
#include "setup/switches.h"

namespace lumiset {
namespace {

constexpr char kUninstallerName[] = "uninstall.exe";  // compared in lower case
constexpr char kScrExtension[] = ".scr";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// Shows nothing: under /q a window that nobody answers must never appear.
class SilentPlatform final : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
  void ShowLocalizedMessage(int, const std::string&, MessageIcon) override {}
  void Beep(MessageIcon) override {}
};

// The installed screensaver as the stub names it, from the record's
// ScreensaverFile; empty unless that names a screensaver in the system
// folder, so an edited record can never make the uninstaller delete
// another file.
std::string RecordedScreensaver(Platform& p, const std::string& recorded) {
  const std::string system_dir = FormSystemDir(p.SystemDirectory(), p.IsWow64());
  const std::string name = NameOf(recorded);
  const std::string lower_name = AsciiLower(name);
  if (system_dir.empty() || AsciiLower(FolderOf(recorded)) != AsciiLower(system_dir) ||
      !lower_name.ends_with(kScrExtension) ||
      !IsValidScrFileName(name.substr(0, name.size() - sizeof kScrExtension + 1))) {
    return {};
  }
  return system_dir + "\\" + name;
}

int32_t RecordedLanguage(Platform& p, const std::string& record_key) {
  const std::string text =
      p.ReadRegistryString(RegistryRoot::kCurrentUser, record_key, kRecordLanguageValue)
          .value_or("");
  int32_t language = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), language);
  if (error == std::errc() && end == text.data() + text.size() && language >= kEnglish &&
      language <= kRussian) {
    return language;
  }
  return ChooseLanguage(0, p.UserDefaultLangId());
}

}  // namespace

UninstallerArguments ParseUninstallerArguments(std::string_view command_line) {
  UninstallerArguments parsed;
  const std::string arguments = ArgumentsOf(command_line);
  const std::string lowered = AsciiLower(arguments);
  const std::string_view cleanup = kCleanupSwitch;
  if (lowered.starts_with(cleanup) &&
      (lowered.size() == cleanup.size() || lowered[cleanup.size()] == ' ')) {
    // "<switch> <handle> "<path>"", exactly as CleanupArguments writes it.
    parsed.cleanup_switch = true;
    const std::string_view rest =
        std::string_view(arguments).substr(std::min(arguments.size(), cleanup.size() + 1));
    CleanupRequest request;
    const auto [end, error] =
        std::from_chars(rest.data(), rest.data() + rest.size(), request.process_handle);
    const std::string_view path(end, static_cast<size_t>(rest.data() + rest.size() - end));
    if (error == std::errc() && path.size() > 3 && path.starts_with(" \"") &&
        path.ends_with('"')) {
      request.uninstaller_path = std::string(path.substr(2, path.size() - 3));
      if (request.uninstaller_path.find('"') == std::string::npos) parsed.cleanup = request;
    }
    return parsed;
  }
  parsed.quiet = lowered.find("/q") != std::string::npos;
  return parsed;
}

std::string CleanupArguments(const CleanupRequest& request) {
  return std::string(kCleanupSwitch) + " " + std::to_string(request.process_handle) + " \"" +
         request.uninstaller_path + "\"";
}

int ExitCodeOf(UninstallOutcome outcome) { return outcome == UninstallOutcome::kRemoved ? 0 : 1; }

UninstallOutcome RunDefaultUninstaller(Platform& platform, const std::string& program_path,
                                       bool quiet, const ConfirmRemoval& confirm) {
  SilentPlatform silent(platform);
  Platform& p = quiet ? static_cast<Platform&>(silent) : platform;
  const std::string settings = FolderOf(program_path) + "\\" + kUninstallSettingsName;
  SetupState s;
  s.CompanyName = p.ReadIniString(settings, kUninstallSection, kCompanyKey);
  s.ScreenSaverTitle = p.ReadIniString(settings, kUninstallSection, kTitleKey);
  if (FolderOf(program_path).empty() || s.CompanyName.empty() || s.ScreenSaverTitle.empty()) {
    p.ShowLocalizedMessage(
        LocalizedId(kSettingsMissingString, ChooseLanguage(0, p.UserDefaultLangId())),
        kMessageCaption, MessageIcon::kError);
    return UninstallOutcome::kFailed;
  }
  const std::string record = InstalledFilesKey(s);
  s.LanguageIndex = RecordedLanguage(p, record);
  s.InstalledScrPath = RecordedScreensaver(
      p, p.ReadRegistryString(RegistryRoot::kCurrentUser, record, kRecordScreensaverValue)
             .value_or(""));
  s.ShowScreens = quiet ? 0 : 1;
  if (!quiet && !confirm(s.ScreenSaverTitle, s.LanguageIndex)) return UninstallOutcome::kDeclined;
  return RunUninstall(p, s) ? UninstallOutcome::kRemoved : UninstallOutcome::kFailed;
}

bool RemovesItself(const std::string& program_path) {
  return !FolderOf(program_path).empty() && AsciiLower(NameOf(program_path)) == kUninstallerName;
}

bool RemoveUninstallerFiles(Platform& p, const std::string& uninstaller_path) {
  if (!RemovesItself(uninstaller_path)) return false;
  const std::vector<std::string> keep = ShellFoldersToKeep(p);
  RemoveFileAndEmptyFolders(p, FolderOf(uninstaller_path) + "\\" + kUninstallSettingsName, keep);
  RemoveFileAndEmptyFolders(p, uninstaller_path, keep);
  return !FileExists(p, uninstaller_path);
}

}  // namespace lumiset
