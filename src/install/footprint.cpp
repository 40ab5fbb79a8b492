#include "install/footprint.h"

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/registration.h"
#include "package/install_names.h"

namespace lumiset {
namespace {

constexpr int32_t kLanguages = 8;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The form two paths are compared in.
std::string Comparable(Platform& p, const std::string& path) {
  return FoldPathCase(p.CanonicalPath(path).value_or(std::string()));
}

void AddLinks(std::vector<FootprintFile>& out, const std::string& programs,
              const std::string& desktop, const std::string& company, const std::string& title) {
  for (int32_t language = 1; language <= kLanguages; ++language) {
    const std::string name = LocalizedScreensaverName(title, language);
    if (!programs.empty()) {
      const std::string folder = programs + "\\" + company + "\\" + name;
      out.push_back({folder + "\\" + name + ".lnk", programs});
      out.push_back({folder + "\\" + LocalizedUninstallName(title, language) + ".lnk", programs});
    }
    if (!desktop.empty()) out.push_back({desktop + "\\" + name + ".lnk", desktop});
  }
}

}  // namespace

InstallFootprint::InstallFootprint(std::string company, std::string title,
                                   std::string scr_file_name, const MachineFacts& facts) {
  screensaver_ = {facts.system_dir + "\\" + scr_file_name + ".scr", facts.system_dir};
  files_.push_back(screensaver_);
  if (!facts.program_files.empty()) {
    uninstall_folder_ = facts.program_files + "\\" + company + "\\" + title;
    files_.push_back({uninstall_folder_ + "\\" + kUninstallerName, facts.program_files});
    files_.push_back({uninstall_folder_ + "\\" + kUninstallSettingsName, facts.program_files});
  }
  AddLinks(user_links_, facts.programs, facts.desktop, company, title);
  AddLinks(common_links_, facts.common_programs, facts.common_desktop, company, title);
  files_.insert(files_.end(), user_links_.begin(), user_links_.end());
  files_.insert(files_.end(), common_links_.begin(), common_links_.end());
}

std::vector<FootprintFile> InstallFootprint::Links(bool all_users) const {
  return all_users ? common_links_ : user_links_;
}

std::optional<FootprintFile> InstallFootprint::Match(Platform& p, const std::string& path,
                                                     std::string* refusal) const {
  const std::string wanted = Comparable(p, path);
  if (wanted.empty()) {
    *refusal = "not a full path";
    return std::nullopt;
  }
  for (const FootprintFile& file : files_) {
    if (Comparable(p, file.path) != wanted) continue;
    // Every step below the trusted folder must be a real folder or file.
    for (std::string at = file.path; at.size() > file.root.size(); at = FolderOf(at)) {
      if (p.IsReparsePoint(at)) {
        *refusal = "a junction or symbolic link lies on its way: " + at;
        return std::nullopt;
      }
    }
    return file;
  }
  *refusal = "no installation of this screensaver writes there";
  return std::nullopt;
}

Status RemoveFootprintFile(Platform& p, const FootprintFile& file) {
  if (p.QueryPath(file.path) == Platform::PathKind::kFile) {
    p.SetNormalAttributes(file.path).IgnoreError();
    if (Status removed = p.RemoveFile(file.path); !removed && FileExists(p, file.path)) {
      return removed;
    }
  }
  // The folders the installation made, up to the trusted one; a folder that
  // still holds something (another screensaver of the company, say) stays.
  const std::string root = FoldPathCase(file.root);
  for (std::string folder = FolderOf(file.path);
       folder.size() > file.root.size() && FoldPathCase(folder).starts_with(root);
       folder = FolderOf(folder)) {
    if (p.IsReparsePoint(folder)) break;
    // Never stand inside the folder being removed.
    p.SetCurrentFolder(FolderOf(folder)).IgnoreError();
    // A folder with desktop.ini is customised by the shell: keep its
    // attributes (it is not empty anyway).
    if (!FileExists(p, folder + "\\desktop.ini")) p.SetNormalAttributes(folder).IgnoreError();
    if (!p.RemoveFolder(folder)) break;
  }
  return Status::Ok();
}

}  // namespace lumiset
