#include "setup/machine_facts.h"

#include "base/platform_helpers.h"
#include "base/text.h"

namespace lumiset {
namespace {

std::string Folder(Platform& p, SpecialFolder which) {
  std::string path = p.SpecialFolderPath(which).value_or("");
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

std::string FormSystemDir(std::string_view system_directory, bool wow64) {
  std::string dir = AsciiLower(system_directory);
  while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  if (!dir.empty() && dir[0] >= 'a' && dir[0] <= 'z') dir[0] = static_cast<char>(dir[0] - 'a' + 'A');
  return ToSysnativePath(dir, wow64);
}

MachineFacts GatherMachineFacts(Platform& p, bool vista_or_later) {
  MachineFacts facts;
  facts.wow64 = p.IsWow64();
  facts.vista_or_later = vista_or_later;
  facts.system_account = p.RunsAsSystemAccount();
  facts.system_dir = FormSystemDir(p.SystemDirectory(), facts.wow64);
  facts.windows_dir = p.WindowsDirectory();
  facts.module_path = p.ModulePath();
  facts.program_files = ProgramFilesFolder(p);
  while (facts.program_files.size() > 3 && facts.program_files.back() == '\\') {
    facts.program_files.pop_back();
  }
  facts.programs = Folder(p, SpecialFolder::kPrograms);
  facts.desktop = Folder(p, SpecialFolder::kDesktop);
  facts.common_programs = Folder(p, SpecialFolder::kCommonPrograms);
  facts.common_desktop = Folder(p, SpecialFolder::kCommonDesktop);
  facts.user_lang_id = p.UserDefaultLangId();
  return facts;
}

}  // namespace lumiset
