#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/platform.h"
#include "setup/machine_facts.h"

namespace lumiset {

// A file an installation of one package can have written, and the trusted
// folder it lies under: the folders between the two are the installation's
// own, and only they may be removed when they are left empty.
struct FootprintFile {
  std::string path;
  std::string root;
};

// Every file an installation of a package (by company, title and
// screensaver name) can have written on this machine, in every language and
// for either scope: the screensaver in the system folder, Uninstall.exe and
// Uninstall.ini in Program Files\<company>\<title>, and the links in the
// Start-menu folder and on the desktop of the user and of all users. The
// uninstallation deletes nothing else, whatever a record says.
class InstallFootprint {
 public:
  InstallFootprint(std::string company, std::string title, std::string scr_file_name,
                   const MachineFacts& facts);

  const std::string& screensaver_path() const { return screensaver_.path; }
  // Program Files\<company>\<title>; empty when Program Files is unknown.
  const std::string& uninstall_folder() const { return uninstall_folder_; }
  // Every file, the screensaver first.
  const std::vector<FootprintFile>& files() const { return files_; }
  // The links that an installation for one scope can have made.
  std::vector<FootprintFile> Links(bool all_users) const;

  // The footprint file `path` names, or why it names none: compared as full
  // paths with ".", "..", doubled separators and short names resolved and
  // letter case ignored, and refused when a junction or symbolic link lies
  // on the way below the trusted folder (a user may plant one to send a
  // deletion elsewhere).
  std::optional<FootprintFile> Match(Platform& p, const std::string& path,
                                     std::string* refusal) const;

 private:
  FootprintFile screensaver_;
  std::string uninstall_folder_;
  std::vector<FootprintFile> files_;
  std::vector<FootprintFile> user_links_;
  std::vector<FootprintFile> common_links_;
};

// Deletes a footprint file (clearing read-only and similar attributes
// first), then each folder between it and its root that is left empty. A
// file already gone is no failure.
Status RemoveFootprintFile(Platform& p, const FootprintFile& file);

}  // namespace lumiset
