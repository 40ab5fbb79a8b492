#include "install/install_plan.h"

#include "base/platform_helpers.h"
#include "install/registration.h"
#include "package/install_names.h"

namespace lumiset {

InstallPlan MakeInstallPlan(const RunOptions& options, const PackageInfo& package,
                            const MachineFacts& facts) {
  InstallPlan plan;
  plan.language = package.language;
  plan.all_users = options.all_users;
  plan.scr_path = facts.system_dir + "\\" + package.scr_file_name + ".scr";
  plan.scr_public_path = ToNativeSystemPath(plan.scr_path, facts.wow64);
  // For all users nobody's own setting changes unless asked for by name.
  plan.activate = options.choices.set_as_default &&
                  (!options.all_users || options.set_as_default_explicit);
  plan.vista_or_later = facts.vista_or_later;
  plan.run_companion = !package.companion_program.empty();

  const std::string name = LocalizedScreensaverName(package.title, package.language);
  if (!package.uninstaller.empty() && !facts.program_files.empty()) {
    plan.uninstall_folder =
        facts.program_files + "\\" + package.company + "\\" + package.title;
    plan.uninstaller_path = plan.uninstall_folder + "\\" + kUninstallerName;
    plan.uninstall_settings_path = plan.uninstall_folder + "\\" + kUninstallSettingsName;
    plan.uninstaller_is_default = package.uninstaller_is_default;
    plan.entry_key = UninstallEntryKeyPath(package.title);
    plan.display_name = name;
    plan.publisher = package.company;
    plan.version = package.version;
    plan.about_url = package.about_url;
  }

  const std::string system32 = ToNativeSystemPath(facts.system_dir, facts.wow64);
  const LinkPlan screensaver_link{"", plan.scr_public_path, "/s", package.title, system32};
  const std::string& programs = options.all_users ? facts.common_programs : facts.programs;
  if (options.choices.start_menu_entry && !programs.empty()) {
    plan.start_menu_folder = programs + "\\" + package.company + "\\" + name;
    LinkPlan link = screensaver_link;
    link.path = plan.start_menu_folder + "\\" + name + ".lnk";
    plan.start_menu_links.push_back(link);
    if (!plan.uninstaller_path.empty()) {
      const std::string uninstall_name = LocalizedUninstallName(package.title, package.language);
      plan.start_menu_links.push_back({plan.start_menu_folder + "\\" + uninstall_name + ".lnk",
                                       plan.uninstaller_path, "", uninstall_name,
                                       plan.uninstall_folder});
    }
  }
  const std::string& desktop = options.all_users ? facts.common_desktop : facts.desktop;
  if (options.choices.desktop_icon && !desktop.empty()) {
    plan.desktop_link = screensaver_link;
    plan.desktop_link.path = desktop + "\\" + name + ".lnk";
  }

  plan.record_root = options.all_users ? RegistryRoot::kLocalMachine : RegistryRoot::kCurrentUser;
  plan.record_key = RecordKeyPath(package.company, package.title);
  return plan;
}

}  // namespace lumiset
