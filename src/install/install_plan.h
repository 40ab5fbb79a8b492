#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/platform.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"
#include "setup/run_options.h"

namespace lumiset {

// One shell link the installation creates. Its target and working folder
// are read by the shell, a 64-bit program: they name System32, never the
// Sysnative alias.
struct LinkPlan {
  std::string path;
  std::string target;
  std::string arguments;
  std::string description;
  std::string working_folder;
};

// What an installation writes where: made once, before anything is
// written, from the run options, the package and the machine facts; read by
// the installation and by nothing that could change it.
struct InstallPlan {
  int32_t language = 1;
  bool all_users = false;

  // The screensaver, as this process reaches it (Sysnative under WOW64),
  // and as other programs are told of it (System32).
  std::string scr_path;
  std::string scr_public_path;
  bool activate = false;      // make it the active screensaver
  bool vista_or_later = true; // else the setting gets the short form of the path
  bool run_companion = false;

  // The uninstaller's folder and files; empty when the package has none.
  std::string uninstall_folder;
  std::string uninstaller_path;
  std::string uninstall_settings_path;
  bool uninstaller_is_default = false;

  // The installed-programs entry (HKEY_LOCAL_MACHINE), written with the
  // uninstaller.
  std::string entry_key;
  std::string display_name;
  std::string publisher;
  std::string version;
  std::string about_url;

  // Shell links: the Start-menu folder (empty for none) with its links,
  // and the desktop link (empty path for none). The uninstaller's link is
  // the last of the Start-menu links and is made only with the uninstaller.
  std::string start_menu_folder;
  std::vector<LinkPlan> start_menu_links;
  LinkPlan desktop_link;

  // The installed-files record.
  RegistryRoot record_root = RegistryRoot::kCurrentUser;
  std::string record_key;
};


InstallPlan MakeInstallPlan(const RunOptions& options, const PackageInfo& package,
                            const MachineFacts& facts);

}  // namespace lumiset
