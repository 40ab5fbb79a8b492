#include "install/screensaver_setting.h"

#include <algorithm>

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/registration.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

// Writes a value as it should be, or removes it when it should not be there.
Status Put(Platform& p, const char* name, const std::optional<std::string>& value) {
  if (value) return p.WriteRegistryString(kUser, kDesktopKey, name, *value);
  if (!p.ReadRegistryString(kUser, kDesktopKey, name)) return Status::Ok();
  return p.DeleteRegistryValue(kUser, kDesktopKey, name);
}

void Keep(Platform& p, RegistryRoot root, const std::string& key, const char* present_name,
          const char* value_name, const std::optional<std::string>& value,
          std::vector<Status>& failures) {
  failures.push_back(p.WriteRegistryString(root, key, present_name, value ? "1" : "0"));
  if (value) failures.push_back(p.WriteRegistryString(root, key, value_name, *value));
}

std::optional<std::string> Kept(Platform& p, RegistryRoot root, const std::string& key,
                                const char* present_name, const char* value_name) {
  if (p.ReadRegistryString(root, key, present_name) != "1") return std::nullopt;
  return p.ReadRegistryString(root, key, value_name).value_or("");
}

}  // namespace

ScreensaverSetting ReadScreensaverSetting(Platform& p) {
  return {p.ReadRegistryString(kUser, kDesktopKey, kScreensaverPathValue),
          p.ReadRegistryString(kUser, kDesktopKey, kScreenSaveActiveValue)};
}

bool ScreensaverSetByPolicy(Platform& p) {
  for (RegistryRoot root : {RegistryRoot::kCurrentUser, RegistryRoot::kLocalMachine}) {
    for (const char* value : {kScreensaverPathValue, kScreenSaveActiveValue}) {
      if (p.ReadRegistryString(root, kDesktopPolicyKey, value)) return true;
    }
  }
  return false;
}

bool NamesOneOf(const std::string& setting, const std::vector<std::string>& names) {
  const std::string folded = FoldPathCase(setting);
  return !setting.empty() && std::any_of(names.begin(), names.end(), [&](const std::string& n) {
           return FoldPathCase(n) == folded;
         });
}

Status ActivateScreensaver(Platform& p, const std::string& path,
                           const std::vector<std::string>& own_names, RegistryRoot record_root,
                           const std::string& record_key) {
  const ScreensaverSetting before = ReadScreensaverSetting(p);
  const bool kept_already =
      p.ReadRegistryString(record_root, record_key, kRecordPreviousPathPresentValue).has_value();
  if (!kept_already && !NamesOneOf(before.path.value_or(""), own_names)) {
    std::vector<Status> failures;
    Keep(p, record_root, record_key, kRecordPreviousPathPresentValue, kRecordPreviousPathValue,
         before.path, failures);
    Keep(p, record_root, record_key, kRecordPreviousActivePresentValue,
         kRecordPreviousActiveValue, before.active, failures);
    for (const Status& s : failures) Log().IfFailed("keep the screensaver setting it replaces", s);
  }
  if (Status on = p.WriteRegistryString(kUser, kDesktopKey, kScreenSaveActiveValue, "1"); !on) {
    return on;
  }
  if (Status set = p.WriteRegistryString(kUser, kDesktopKey, kScreensaverPathValue, path); !set) {
    return set;
  }
  p.NotifyScreensaverActive(true);
  return Status::Ok();
}

std::optional<ScreensaverSetting> KeptPreviousSetting(Platform& p, RegistryRoot root,
                                                      const std::string& record_key) {
  if (!p.ReadRegistryString(root, record_key, kRecordPreviousPathPresentValue)) return std::nullopt;
  ScreensaverSetting kept;
  kept.path = Kept(p, root, record_key, kRecordPreviousPathPresentValue, kRecordPreviousPathValue);
  kept.active =
      Kept(p, root, record_key, kRecordPreviousActivePresentValue, kRecordPreviousActiveValue);
  return kept;
}

void RestoreScreensaverSetting(Platform& p, const std::vector<std::string>& own_names,
                               const std::optional<ScreensaverSetting>& previous,
                               const std::string& system_ini) {
  constexpr char kStep[] = "restore the screensaver setting";
  if (NamesOneOf(p.ReadIniString(system_ini, kSystemIniSection, kSystemIniKey), own_names)) {
    Log().IfFailed(kStep, p.WriteIniString(system_ini, kSystemIniSection, kSystemIniKey, ""));
  }
  if (!NamesOneOf(ReadScreensaverSetting(p).path.value_or(""), own_names)) return;

  ScreensaverSetting next{std::string(), std::string("0")};
  if (previous) {
    const std::string& path = previous->path.value_or("");
    // The previous screensaver comes back while its file is there; a
    // setting that named none comes back as it was.
    if (path.empty() || PathIsFile(p, ToSysnativePath(p, path))) {
      next = *previous;
      Log().Line("the screensaver setting goes back to what it was: " +
                 (path.empty() ? std::string("none") : path));
    } else {
      Log().Line("the previous screensaver " + path + " is gone: the screensaver is switched off");
      // Off, without creating what was not there.
      next.path = previous->path ? std::optional<std::string>("") : std::nullopt;
      next.active = "0";
    }
  }
  Log().IfFailed(kStep, Put(p, kScreenSaveActiveValue, next.active));
  Log().IfFailed(kStep, Put(p, kScreensaverPathValue, next.path));
  p.NotifyScreensaverActive(next.active == "1" && !next.path.value_or("").empty());
}

}  // namespace lumiset
