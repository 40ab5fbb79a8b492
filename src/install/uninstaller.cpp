#include "install/uninstaller.h"

#include <algorithm>
#include <vector>

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/footprint.h"
#include "install/install_plan.h"
#include "install/registration.h"
#include "install/screensaver_setting.h"
#include "package/install_names.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {

constexpr RegistryRoot kRoots[] = {RegistryRoot::kCurrentUser, RegistryRoot::kLocalMachine};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

const char* RootName(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// One installed-files record as found.
struct Record {
  RegistryRoot root;
  std::vector<RecordedFile> files;
  std::optional<ScreensaverSetting> previous;
};

std::vector<Record> ReadRecords(Platform& p, const std::string& key) {
  std::vector<Record> records;
  for (RegistryRoot root : kRoots) {
    const bool present = p.ReadRegistryString(root, key, kRecordScreensaverValue) ||
                         p.ReadRegistryString(root, key, InstalledFileValueName(0)) ||
                         p.ReadRegistryString(root, key, kRecordPreviousPathPresentValue);
    if (!present) continue;
    records.push_back({root, ReadRecordedFiles(p, root, key), KeptPreviousSetting(p, root, key)});
  }
  return records;
}

// Removes the record's own values, then the key and the company's key when
// nothing else is left in them.
void DeleteRecord(Platform& p, RegistryRoot root, const std::string& key,
                  const std::string& company_key) {
  std::vector<std::string> names = {kRecordScreensaverValue,
                                    kRecordLanguageValue,
                                    kRecordPreviousPathValue,
                                    kRecordPreviousPathPresentValue,
                                    kRecordPreviousActiveValue,
                                    kRecordPreviousActivePresentValue};
  for (size_t i = 0; i < kInstalledFileSlots; ++i) names.push_back(InstalledFileValueName(i));
  // A value already gone is what these deletions want.
  for (const std::string& name : names) p.DeleteRegistryValue(root, key, name).IgnoreError();
  // The company's key goes only with the record it held.
  for (const std::string& k : {key, company_key}) {
    if (!p.RegistryKeyIsEmpty(root, k) || !p.DeleteRegistryKey(root, k)) break;
  }
}

// The installed-programs entry, when its name is one this screensaver's
// installations give it; another product's entry of the same key stays.
void DeleteEntry(Platform& p, const UninstallTarget& target) {
  constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
  const std::string key = UninstallEntryKeyPath(target.title);
  const std::optional<std::string> shown = p.ReadRegistryString(kMachine, key, kEntryDisplayName);
  if (!shown) return;
  bool ours = false;
  for (int32_t language = 1; language <= 8; ++language) {
    ours |= *shown == LocalizedScreensaverName(target.title, language);
  }
  if (!ours) {
    Log().Line("the installed-programs entry " + key + " names \"" + *shown +
               "\", not this screensaver: it stays");
    return;
  }
  for (const char* value : kUninstallEntryValues) {
    p.DeleteRegistryValue(kMachine, key, value).IgnoreError();
  }
  if (p.RegistryKeyIsEmpty(kMachine, key)) {
    Log().IfFailed("delete the key", p.DeleteRegistryKey(kMachine, key));
  }
}

std::vector<std::string> OwnNames(Platform& p, const std::string& path) {
  std::vector<std::string> names = {path, ToNativeSystemPath(p, path)};
  if (std::optional<std::string> short_path = p.ShortPathName(path)) {
    names.push_back(*short_path);
    names.push_back(ToNativeSystemPath(p, *short_path));
  }
  return names;
}

}  // namespace

UninstallTarget TargetOfPackage(const PackageInfo& package) {
  return {package.company, package.title, package.scr_file_name, package.language, false};
}

bool Uninstall(const UninstallTarget& target, const MachineFacts& facts, Platform& p,
               Prompter& prompter) {
  const InstallFootprint footprint(target.company, target.title, target.scr_file_name, facts);
  const std::string key = RecordKeyPath(target.company, target.title);

  // 1. The screensaver file: while it stays, nothing else changes.
  std::vector<std::string> own_names;
  if (!target.scr_file_name.empty()) {
    const std::string& scr = footprint.screensaver_path();
    own_names = OwnNames(p, scr);
    if (PathIsFile(p, scr) && !p.IsReparsePoint(scr)) {
      p.SetNormalAttributes(scr).IgnoreError();
      if (Status removed = p.RemoveFile(scr); !removed && FileExists(p, scr)) {
        Log().Failed("delete " + scr, removed);
        prompter.Tell(Notice::kUninstallFailed, target.language);
        return false;
      }
      Log().Done("delete " + scr);
    }
  } else {
    Log().Line("the screensaver's file name is not known here: no screensaver file is deleted");
  }

  // 2. The setting, now that the file is gone.
  const std::vector<Record> records = ReadRecords(p, key);
  if (records.empty()) Log().Line("no record of installed files for " + key);
  if (!own_names.empty()) {
    std::optional<ScreensaverSetting> previous;
    for (const Record& r : records) {
      if (r.previous) {
        previous = r.previous;
        break;
      }
    }
    RestoreScreensaverSetting(p, own_names, previous,
                              WithBackslash(facts.windows_dir) + kSystemIniName);
  }

  // 3. The files, within the footprint only.
  std::vector<FootprintFile> to_delete;
  auto add = [&](const FootprintFile& f) {
    if (f.path == footprint.screensaver_path()) return;
    if (target.uninstaller_removes_itself && FolderOf(f.path) == footprint.uninstall_folder()) {
      return;
    }
    if (std::none_of(to_delete.begin(), to_delete.end(),
                     [&](const FootprintFile& d) { return d.path == f.path; })) {
      to_delete.push_back(f);
    }
  };
  for (const Record& r : records) {
    for (const RecordedFile& file : r.files) {
      std::string refusal;
      if (std::optional<FootprintFile> match = footprint.Match(p, file.path, &refusal)) {
        add(*match);
      } else {
        Log().Line("refused to delete " + file.path + " (" + InstalledFileValueName(file.slot) +
                   " of the record in " + RootName(r.root) + "): " + refusal +
                   "; the entry leaves the record");
      }
    }
  }
  // What an installation writes is known by name: what exists of it goes
  // too, so a lost record leaves nothing behind (the links of the scopes
  // that have a record, or of both when none has).
  const bool user_scope = records.empty() || std::any_of(records.begin(), records.end(), [](const Record& r) {
                            return r.root == RegistryRoot::kCurrentUser;
                          });
  const bool common_scope = records.empty() || std::any_of(records.begin(), records.end(), [](const Record& r) {
                              return r.root == RegistryRoot::kLocalMachine;
                            });
  for (const FootprintFile& f : footprint.files()) {
    if (f.path == footprint.screensaver_path() || !PathIsFile(p, f.path)) continue;
    const bool is_link = f.path.ends_with(".lnk");
    const std::vector<FootprintFile> user_links = footprint.Links(false);
    const bool user_link = std::any_of(user_links.begin(), user_links.end(),
                                       [&](const FootprintFile& l) { return l.path == f.path; });
    if (is_link && !(user_link ? user_scope : common_scope)) continue;
    std::string refusal;
    if (footprint.Match(p, f.path, &refusal)) {
      add(f);
    } else {
      Log().Line("refused to delete " + f.path + ": " + refusal);
    }
  }
  for (const FootprintFile& f : to_delete) {
    if (Status removed = RemoveFootprintFile(p, f); !removed) {
      Log().Failed("delete " + f.path, removed);
    } else {
      Log().Done("delete " + f.path);
    }
  }

  // 4. The registry.
  const std::string company_key = CompanyKeyPath(target.company);
  for (const Record& r : records) DeleteRecord(p, r.root, key, company_key);
  DeleteEntry(p, target);
  prompter.Tell(Notice::kUninstalled, target.language);
  return true;
}

}  // namespace lumiset
