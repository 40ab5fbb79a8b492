#include "uninstall_run.h"

#include <algorithm>
#include <charconv>

#include "base/language.h"
#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/footprint.h"
#include "install/install_plan.h"
#include "install/registration.h"
#include "install/uninstaller.h"
#include "package/install_names.h"
#include "package/setup_record.h"
#include "setup/install_log.h"
#include "setup/switches.h"

namespace lumiset {
namespace {

constexpr char kScrExtension[] = ".scr";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// The screensaver's name from the installed-programs entry, whose icon is
// the installed screensaver, when the entry is this installation's.
std::string ScreensaverNameFromEntry(Platform& p, const MachineFacts& facts,
                                     const UninstallTarget& target) {
  const std::string key =
      UninstallEntryKeyPath(target.title);
  const std::string icon =
      p.ReadRegistryString(RegistryRoot::kLocalMachine, key, kEntryDisplayIcon).value_or("");
  const std::string folder = ToNativeSystemPath(facts.system_dir, facts.wow64);
  if (FoldPathCase(FolderOf(icon)) != FoldPathCase(folder)) return {};
  const std::string name = NameOf(icon);
  if (!AsciiLower(name).ends_with(kScrExtension)) return {};
  std::string stem = name.substr(0, name.size() - (sizeof kScrExtension - 1));
  return NameProblem(stem) ? std::string() : stem;
}

int32_t LanguageOf(const std::string& text) {
  int32_t language = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), language);
  if (error == std::errc() && end == text.data() + text.size() && language >= kEnglish &&
      language <= kRussian) {
    return language;
  }
  return 0;
}

// The form two paths are compared in.
std::string Comparable(Platform& p, const std::string& path) {
  return FoldPathCase(p.CanonicalPath(path).value_or(path));
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
  std::string rest = arguments;
  parsed.log_path = TakeLogSwitch(rest);
  parsed.quiet = AsciiLower(rest).find("/q") != std::string::npos;
  return parsed;
}

std::string CleanupArguments(const CleanupRequest& request) {
  return std::string(kCleanupSwitch) + " " + std::to_string(request.process_handle) + " \"" +
         request.uninstaller_path + "\"";
}

int ExitCodeOf(UninstallOutcome outcome) { return outcome == UninstallOutcome::kRemoved ? 0 : 1; }

std::optional<UninstallTarget> ReadUninstallerSettings(Platform& p, const MachineFacts& facts,
                                                       const std::string& program_path,
                                                       Notice* why) {
  const std::string folder = FolderOf(program_path);
  const std::string settings = folder + "\\" + kUninstallSettingsName;
  UninstallTarget target;
  target.company = p.ReadIniString(settings, kUninstallSection, kCompanyKey);
  target.title = p.ReadIniString(settings, kUninstallSection, kTitleKey);
  target.scr_file_name = p.ReadIniString(settings, kUninstallSection, kScrFileKey);
  if (folder.empty() || NameProblem(target.company) || NameProblem(target.title)) {
    Log().Line("the uninstall information " + settings + " is missing or incomplete");
    *why = Notice::kSettingsMissing;
    return std::nullopt;
  }
  const std::string expected = facts.program_files + "\\" + target.company + "\\" + target.title;
  if (facts.program_files.empty() || Comparable(p, folder) != Comparable(p, expected)) {
    Log().Line("this uninstaller runs from " + folder + ", not from " + expected +
               ", where its installation put it: nothing is removed");
    *why = Notice::kNotInItsFolder;
    return std::nullopt;
  }
  if (target.scr_file_name.empty()) {
    target.scr_file_name = ScreensaverNameFromEntry(p, facts, target);
  } else if (NameProblem(target.scr_file_name)) {
    target.scr_file_name.clear();
  }
  target.language = LanguageOf(p.ReadIniString(settings, kUninstallSection, kLanguageKey));
  if (target.language == 0) {
    target.language = LanguageOf(p.ReadRegistryString(RegistryRoot::kCurrentUser,
                                                      RecordKeyPath(target.company, target.title),
                                                      kRecordLanguageValue)
                                     .value_or(""));
  }
  if (target.language == 0) target.language = ChooseLanguage(0, facts.user_lang_id);
  target.uninstaller_removes_itself = RemovesItself(program_path);
  return target;
}

UninstallOutcome RunDefaultUninstaller(Platform& p, const MachineFacts& facts,
                                       const std::string& program_path, bool quiet,
                                       const ConfirmRemoval& confirm, PromptUi& ui) {
  // Under /q nothing may wait for a person: not even a failure is shown.
  Prompter prompter(PromptPolicy{quiet, !quiet, quiet}, ui, p);
  Notice why = Notice::kSettingsMissing;
  const std::optional<UninstallTarget> target =
      ReadUninstallerSettings(p, facts, program_path, &why);
  if (!target) {
    prompter.Tell(why, ChooseLanguage(0, facts.user_lang_id));
    return UninstallOutcome::kFailed;
  }
  if (!quiet && !confirm(target->title, target->language)) {
    Log().Line("the user declined the removal");
    return UninstallOutcome::kDeclined;
  }
  return Uninstall(*target, facts, p, prompter) ? UninstallOutcome::kRemoved
                                                : UninstallOutcome::kFailed;
}

bool RemovesItself(const std::string& program_path) {
  return !FolderOf(program_path).empty() &&
         AsciiLower(NameOf(program_path)) == AsciiLower(kUninstallerName);
}

bool RemoveUninstallerFiles(Platform& p, const MachineFacts& facts,
                            const std::string& uninstaller_path) {
  if (!RemovesItself(uninstaller_path)) return false;
  Notice why = Notice::kSettingsMissing;
  const std::optional<UninstallTarget> target =
      ReadUninstallerSettings(p, facts, uninstaller_path, &why);
  if (!target) return false;
  const InstallFootprint footprint(target->company, target->title, target->scr_file_name, facts);
  // The settings go first: the folders go with the last file.
  for (const char* name : {kUninstallSettingsName, kUninstallerName}) {
    const std::string path = footprint.uninstall_folder() + "\\" + name;
    std::string refusal;
    if (std::optional<FootprintFile> match = footprint.Match(p, path, &refusal)) {
      RemoveFootprintFile(p, *match).IgnoreError();
    }
  }
  return !FileExists(p, uninstaller_path);
}

}  // namespace lumiset
