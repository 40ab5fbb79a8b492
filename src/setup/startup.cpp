#include "setup/startup.h"

#include "base/platform_helpers.h"
#include "base/text.h"
#include "package/setup_record.h"
#include "setup/package_loader.h"

namespace lumiset {

bool InstalledCopyExists(Platform& p, const PackageInfo& package, const MachineFacts& facts) {
  return FileExists(p, facts.system_dir + "\\" + package.scr_file_name + ".scr");
}

std::optional<StartUpResult> StartUp(Platform& p, std::string_view command_line,
                                     bool vista_or_later) {
  StartUpResult r;
  std::string arguments = ArgumentsOf(command_line);
  const std::string log_path = TakeLogSwitch(arguments);
  arguments = AsciiLower(arguments);
  r.facts = GatherMachineFacts(p, vista_or_later);
  if (r.facts.system_dir.empty()) return std::nullopt;

  StatusOr<PackageInfo> package = LoadPackage(p, r.facts);
  if (!package) {
    r.damage = package.status();
    r.options = ParseRunOptions(arguments, PackageDefaults{}, r.facts);
    r.options.log_path = log_path;
    // No package to give a language: the user's own.
    r.language = ChooseLanguage(0, r.facts.user_lang_id);
    r.mode = RunMode::kDamaged;
    return r;
  }
  r.package = std::move(package).value();
  r.language = r.package->language;
  r.options = ParseRunOptions(arguments, r.package->defaults, r.facts);
  r.options.log_path = log_path;
  r.mode = DecideRunMode(r.options, r.package->defaults,
                         InstalledCopyExists(p, *r.package, r.facts));
  return r;
}

}  // namespace lumiset
