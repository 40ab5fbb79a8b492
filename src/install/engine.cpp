#include "install/engine.h"

#include <algorithm>
#include <utility>

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/footprint.h"
#include "install/registration.h"
#include "install/screensaver_setting.h"
#include "package/install_names.h"
#include "package/package_format.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The screensaver block, read from the held installer file piece by piece:
// each piece moves the progress on and is a stop check.
class BlockSource final : public ByteSource {
 public:
  BlockSource(ReadableFile& file, uint64_t begin, uint64_t end, WorkerLink& link, Platform& p)
      : file_(file), begin_(begin), pos_(begin), end_(end), link_(link), p_(p) {}

  bool Read(uint8_t* dst, size_t max, size_t* got) override {
    *got = 0;
    if (link_.StopRequested(p_)) {
      stopped_ = true;
      return false;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(max, end_ - pos_));
    if (n != 0) {
      failure_ = file_.ReadAt(pos_, dst, n);
      if (!failure_) return false;
    }
    pos_ += n;
    *got = n;
    const uint64_t total = end_ - begin_;
    if (total != 0) {
      link_.ReportProgress(static_cast<int32_t>(
          kProgressStart + (kProgressPlaced - kProgressStart) * (pos_ - begin_) / total));
    }
    return true;
  }
  bool stopped() const { return stopped_; }
  const Status& failure() const { return failure_; }

 private:
  ReadableFile& file_;
  uint64_t begin_;
  uint64_t pos_;
  uint64_t end_;
  WorkerLink& link_;
  Platform& p_;
  bool stopped_ = false;
  Status failure_;
};

// Counts what passes into the staged file.
class CountingFileSink final : public ByteSink {
 public:
  explicit CountingFileSink(WritableFile& file) : file_(file) {}
  bool Write(const uint8_t* src, size_t n) override {
    failure_ = file_.Write(src, n);
    if (failure_) written_ += n;
    return failure_.ok();
  }
  const Status& failure() const { return failure_; }
  uint64_t written() const { return written_; }

 private:
  WritableFile& file_;
  Status failure_;
  uint64_t written_ = 0;
};

// "YYYYMMDD", or empty for a date the clock cannot have given.
std::string DateText(const CalendarDate& date) {
  if (date.year < 1 || date.year > 9999 || date.month < 1 || date.month > 12 || date.day < 1 ||
      date.day > 31) {
    return {};
  }
  std::string text;
  for (const auto& [value, digits] : {std::pair{date.year, 4}, {date.month, 2}, {date.day, 2}}) {
    const std::string number = std::to_string(value);
    text += std::string(static_cast<size_t>(digits) - number.size(), '0') + number;
  }
  return text;
}

// A command line's program: quoted when it holds a blank, so that Windows
// never tries "C:\Program.exe" first.
std::string CommandOf(const std::string& program) {
  return program.find(' ') == std::string::npos ? program : "\"" + program + "\"";
}

// The uninstaller's settings, as UTF-16 with a byte-order mark: Windows
// reads such a file in its wide and its ANSI functions alike, and no
// character of a name is lost.
std::vector<uint8_t> UninstallSettings(const PackageInfo& package) {
  const std::pair<const char*, std::string> keys[] = {
      {kCompanyKey, package.company},
      {kTitleKey, package.title},
      {kScrFileKey, package.scr_file_name},
      {kLanguageKey, std::to_string(package.language)},
  };
  std::string text = std::string("[") + kUninstallSection + "]\r\n";
  for (const auto& [key, value] : keys) text += std::string(key) + "=" + value + "\r\n";
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (size_t i = 0; i < text.size();) {
    const std::optional<char32_t> c = NextCodePoint(text, &i);
    char32_t unit = c.value_or(U'\uFFFD');
    if (!c) ++i;
    auto push = [&](char32_t u) {
      bytes.push_back(static_cast<uint8_t>(u & 0xFF));
      bytes.push_back(static_cast<uint8_t>((u >> 8) & 0xFF));
    };
    if (unit >= 0x10000) {
      unit -= 0x10000;
      push(0xD800 + (unit >> 10));
      push(0xDC00 + (unit & 0x3FF));
    } else {
      push(unit);
    }
  }
  return bytes;
}

class Installation {
 public:
  Installation(const InstallPlan& plan, const PackageInfo& package, const MachineFacts& facts,
               Platform& p, Prompter& prompter, WorkerLink& link)
      : plan_(plan), package_(package), facts_(facts), p_(p), prompter_(prompter), link_(link) {}

  InstallResult Run() {
    RemoveStaleStagedFiles();
    link_.ReportProgress(kProgressStart);
    // Read before anything is written: the settings of an earlier
    // installation name the screensaver file it placed.
    const std::string earlier_name = EarlierScreensaverName();
    result_.earlier_copy = PathIsFile(p_, plan_.scr_path);
    if (!PlaceScreensaver()) return result_;
    result_.screensaver_placed = true;
    link_.ReportProgress(kProgressPlaced);
    RemoveEarlierCopyOfAnotherName(earlier_name);
    if (plan_.run_companion) RunCompanionProgram();
    link_.ReportProgress(kProgressDone);
    if (plan_.activate) Activate();

    const std::vector<RecordedFile> earlier_files =
        ReadRecordedFiles(p_, plan_.record_root, plan_.record_key);
    if (!plan_.uninstall_folder.empty()) WriteUninstaller();
    CreateLinks();
    WriteRecord(earlier_files);
    RemoveFilesNoLongerInstalled(earlier_files);
    if (!result_.failed_step.empty()) result_.outcome = InstallOutcome::Failed;
    return result_;
  }

 private:
  // A staged screensaver of a run that was killed. The system folder takes
  // files only from administrators, so a file of that name there is one of
  // ours; one that another run still writes is open and cannot go.
  void RemoveStaleStagedFiles() {
    for (const FindEntry& entry : p_.FindFiles(facts_.system_dir + "\\" + kStagedFilePattern)) {
      const std::string path = facts_.system_dir + "\\" + entry.name;
      if (entry.is_folder || p_.IsReparsePoint(path)) continue;
      if (p_.RemoveFile(path)) Log().Line("removed the staged file of an earlier run: " + path);
    }
  }

  std::string EarlierScreensaverName() {
    if (plan_.uninstall_settings_path.empty()) return {};
    return p_.ReadIniString(plan_.uninstall_settings_path, kUninstallSection, kScrFileKey);
  }

  // Records the first failure; `logged` when the prompter has already
  // written it to the log.
  void Fail(std::string step, Status why, bool logged = false) {
    if (!logged) Log().Failed(step, why);
    if (result_.failed_step.empty()) {
      result_.failed_step = std::move(step);
      result_.failure = std::move(why);
    }
    result_.outcome = InstallOutcome::Failed;
  }

  // Decodes the block straight from the installer into a staged file in
  // the system folder, then puts it in the place of the screensaver file in
  // one step: until then an earlier copy stays whole, and nothing partial
  // ever bears the screensaver's name. False when the installation ends
  // here (result_ says how).
  bool PlaceScreensaver() {
    const std::string step = "install " + plan_.scr_path;
    std::unique_ptr<StagedFile> staged;
    for (;;) {
      staged.reset();
      Status why;
      bool damaged = false;
      if (!Decode(staged, &why, &damaged)) {
        if (result_.outcome == InstallOutcome::Interrupted) return false;
        if (damaged) {
          result_.damaged = true;
          Fail(step, why);
          Log().Line("the screensaver block is damaged: this installer is, and no retry can help");
          return false;
        }
        if (prompter_.AskRetry(step, why)) continue;
        return GiveUp(step, why);
      }
      break;
    }
    // The last moment a stop leaves everything as it was.
    if (link_.StopRequested(p_)) {
      result_.outcome = InstallOutcome::Interrupted;
      Log().Line("stopped by the user before the screensaver was placed: nothing was changed");
      return false;
    }
    for (;;) {
      // A read-only earlier copy could not be replaced.
      if (PathIsFile(p_, plan_.scr_path)) p_.SetNormalAttributes(plan_.scr_path).IgnoreError();
      const Status committed = staged->Commit();
      if (committed) break;
      // Typically the screensaver is running (a preview in Display
      // Properties) and holds its file.
      if (prompter_.AskRetry(step, committed)) continue;
      return GiveUp(step, committed);
    }
    Log().Done(step + " (" + std::to_string(placed_bytes_) + " bytes)");
    if (link_.stop_requested()) {
      Log().Line("the stop came after the screensaver was in place: the installation completes");
    }
    return true;
  }

  // The end of a placement that was not retried: the user aborted, nobody
  // was there to ask, or the user stopped meanwhile.
  bool GiveUp(const std::string& step, const Status& why) {
    if (link_.stop_requested()) {
      result_.outcome = InstallOutcome::Interrupted;
      Log().Line("stopped by the user before the screensaver was placed: nothing was changed");
    } else {
      Fail(step, why, /*logged=*/true);
    }
    return false;
  }

  // One attempt at the decoding; false with the cause otherwise.
  bool Decode(std::unique_ptr<StagedFile>& staged, Status* why, bool* damaged) {
    StatusOr<std::unique_ptr<StagedFile>> created = p_.CreateStagedFile(plan_.scr_path);
    if (!created) {
      *why = created.status();
      return false;
    }
    staged = std::move(created).value();
    ReadableFile& installer = *package_.installer;
    const uint64_t begin = package_.screensaver_block_offset;
    const uint64_t end = begin + package_.screensaver_block_length;
    uint8_t header[kBlockHeaderSize];
    if (Status read = installer.ReadAt(begin, header, sizeof header); !read) {
      *why = read;
      return false;
    }
    const std::optional<BlockHeader> block = ParseBlockHeader(header);
    if (!block) {
      *why = Status::Corrupt("read the screensaver block's header in", facts_.module_path);
      *damaged = true;
      return false;
    }
    BlockSource source(installer, begin + kBlockHeaderSize, end, link_, p_);
    CountingFileSink sink(*staged);
    const DecodeStatus status = InflateStream(source, sink, block->capacity);
    placed_bytes_ = sink.written();
    switch (status) {
      case DecodeStatus::kOk:
        return true;
      case DecodeStatus::kReadFailed:
        if (source.stopped()) {
          result_.outcome = InstallOutcome::Interrupted;
          Log().Line("stopped by the user while decoding: nothing was changed");
        }
        *why = source.failure();
        return false;
      case DecodeStatus::kWriteFailed:
        *why = sink.failure();
        return false;
      default:
        *why = Status::Corrupt("decode the screensaver block in", facts_.module_path);
        *damaged = true;
        return false;
    }
  }

  // An upgrade whose screensaver has another file name leaves no orphan:
  // the earlier installation's settings (which only administrators can
  // write) name the file it placed.
  void RemoveEarlierCopyOfAnotherName(const std::string& earlier_name) {
    if (earlier_name.empty() || NameProblem(earlier_name) ||
        FoldPathCase(earlier_name) == FoldPathCase(package_.scr_file_name)) {
      return;
    }
    const std::string earlier = facts_.system_dir + "\\" + earlier_name + ".scr";
    if (!PathIsFile(p_, earlier) || p_.IsReparsePoint(earlier)) return;
    const std::vector<std::string> names = OwnNames(earlier);
    p_.SetNormalAttributes(earlier).IgnoreError();
    if (Status removed = p_.RemoveFile(earlier); !removed) {
      Log().Failed("remove the earlier screensaver file " + earlier, removed);
      return;
    }
    Log().Done("remove the earlier screensaver file " + earlier);
    // Whoever had it active keeps it active, under its new name.
    if (NamesOneOf(ReadScreensaverSetting(p_).path.value_or(""), names) && !plan_.activate) {
      Log().IfFailed("move the screensaver setting to the new file",
                     p_.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey,
                                            kScreensaverPathValue, SettingPath()));
    }
  }

  void RunCompanionProgram() {
    // An extra: when it cannot run, the log says why and the installation
    // goes on.
    const Status ran = p_.RunPrivateProgram(package_.companion_program, "/s");
    if (ran) {
      Log().Done("run the companion program");
    } else {
      Log().Failed("run the companion program", ran);
    }
  }

  // Every spelling under which the setting may name a screensaver file:
  // its Sysnative and System32 forms, long and short.
  std::vector<std::string> OwnNames(const std::string& path) {
    std::vector<std::string> names = {path, ToNativeSystemPath(p_, path)};
    if (std::optional<std::string> short_path = p_.ShortPathName(path)) {
      names.push_back(*short_path);
      names.push_back(ToNativeSystemPath(p_, *short_path));
    }
    return names;
  }

  // What the setting names: other programs read it, so System32, never the
  // Sysnative alias; before Vista the short form.
  std::string SettingPath() {
    if (!plan_.vista_or_later) {
      if (std::optional<std::string> short_path = p_.ShortPathName(plan_.scr_path)) {
        return ToNativeSystemPath(p_, *short_path);
      }
    }
    return plan_.scr_public_path;
  }

  void Activate() {
    if (ScreensaverSetByPolicy(p_)) {
      result_.policy_decides = true;
      Log().Line("the screensaver is not made active: a Group Policy sets it on this computer");
      return;
    }
    const std::string path = SettingPath();
    const Status activated = ActivateScreensaver(p_, path, OwnNames(plan_.scr_path),
                                                 plan_.record_root, plan_.record_key);
    if (activated) {
      Log().Line("active screensaver: " + path);
    } else {
      Fail("make the screensaver active", activated);
    }
  }

  // Folders of `path` that do not exist yet, outermost first.
  std::vector<std::string> MissingFolders(const std::string& path) {
    std::vector<std::string> missing;
    for (std::string f = path; f.size() > 3 && !p_.QueryPath(f); f = FolderOf(f)) {
      missing.insert(missing.begin(), f);
    }
    return missing;
  }

  void RemoveFolders(const std::vector<std::string>& created) {
    for (auto it = created.rbegin(); it != created.rend(); ++it) {
      p_.RemoveFolder(*it).IgnoreError();
    }
  }

  // Writes a whole file aside and puts it in place.
  Status WriteFileWhole(const std::string& path, std::span<const uint8_t> bytes) {
    StatusOr<std::unique_ptr<StagedFile>> staged = p_.CreateStagedFile(path);
    if (!staged) return staged.status();
    if (Status written = staged.value()->Write(bytes.data(), bytes.size()); !written) {
      return written;
    }
    return staged.value()->Commit();
  }

  void WriteUninstaller() {
    const std::string step = "write the uninstaller";
    const std::vector<std::string> created_folders = MissingFolders(plan_.uninstall_folder);
    if (!EnsureFolderTree(p_, plan_.uninstall_folder)) {
      RemoveFolders(created_folders);
      return Fail(step, Status::Failure("create the folder", plan_.uninstall_folder, 0));
    }
    const std::vector<uint8_t> settings = UninstallSettings(package_);
    Status written = WriteFileWhole(plan_.uninstaller_path, package_.uninstaller);
    if (written) written = WriteFileWhole(plan_.uninstall_settings_path, settings);
    if (!written) {
      // Half an uninstaller is none: take back what this step wrote.
      p_.RemoveFile(plan_.uninstaller_path).IgnoreError();
      RemoveFolders(created_folders);
      return Fail(step, written);
    }
    Log().Done(step + " " + plan_.uninstaller_path);
    uninstaller_written_ = true;
    result_.created_files.push_back(plan_.uninstaller_path);
    result_.created_files.push_back(plan_.uninstall_settings_path);
    WriteEntry(package_.uninstaller.size() + settings.size());
  }

  void WriteEntry(uint64_t uninstaller_bytes) {
    constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
    const std::string& key = plan_.entry_key;
    std::vector<std::pair<const char*, Status>> writes;
    auto text = [&](const char* name, const std::string& value) {
      writes.emplace_back(name, p_.WriteRegistryString(kMachine, key, name, value));
    };
    auto number = [&](const char* name, uint32_t value) {
      writes.emplace_back(name, p_.WriteRegistryDword(kMachine, key, name, value));
    };
    // Values this package does not have leave, so that no older one stays.
    auto optional_text = [&](const char* name, const std::string& value) {
      if (value.empty()) {
        p_.DeleteRegistryValue(kMachine, key, name).IgnoreError();
      } else {
        text(name, value);
      }
    };
    text(kEntryDisplayName, plan_.display_name);
    text(kEntryUninstallString, CommandOf(plan_.uninstaller_path));
    // Only the default uninstaller is known to run without asking under /q.
    optional_text(kEntryQuietUninstallString,
                  plan_.uninstaller_is_default ? "\"" + plan_.uninstaller_path + "\" /q" : "");
    // The list is shown by a 64-bit program, which has no Sysnative folder.
    text(kEntryDisplayIcon, plan_.scr_public_path);
    text(kEntryPublisher, plan_.publisher);
    optional_text(kEntryDisplayVersion, plan_.version);
    optional_text(kEntryUrlInfoAbout, plan_.about_url);
    constexpr uint64_t kKib = 1024;
    const uint64_t bytes = placed_bytes_ + uninstaller_bytes;
    number(kEntryEstimatedSize,
           static_cast<uint32_t>(std::min<uint64_t>((bytes + kKib - 1) / kKib, UINT32_MAX)));
    if (const std::string date = DateText(p_.LocalDate()); !date.empty()) {
      text(kEntryInstallDate, date);
    }
    // Nothing to modify or repair: the list offers only removal.
    number(kEntryNoModify, 1);
    number(kEntryNoRepair, 1);
    for (auto& [name, status] : writes) {
      if (!status) return Fail("write the installed-programs entry", status);
    }
    Log().Done("write the installed-programs entry " + key);
  }

  void CreateLinks() {
    std::vector<const LinkPlan*> links;
    for (const LinkPlan& link : plan_.start_menu_links) {
      // The uninstaller's link only beside an uninstaller.
      if (link.target == plan_.uninstaller_path && !uninstaller_written_) continue;
      links.push_back(&link);
    }
    std::vector<std::string> created_folders;
    if (!links.empty()) {
      created_folders = MissingFolders(plan_.start_menu_folder);
      if (!EnsureFolderTree(p_, plan_.start_menu_folder)) {
        RemoveFolders(created_folders);
        Fail("create the Start-menu folder",
             Status::Failure("create the folder", plan_.start_menu_folder, 0));
        links.clear();
      }
    }
    bool menu_link_made = false;
    for (const LinkPlan* link : links) menu_link_made |= CreateLink(*link);
    if (!links.empty() && !menu_link_made) RemoveFolders(created_folders);
    if (!plan_.desktop_link.path.empty()) CreateLink(plan_.desktop_link);
  }

  bool CreateLink(const LinkPlan& link) {
    const Status made = p_.CreateShellLink(link.path, link.target, link.arguments,
                                           link.description, link.working_folder);
    if (!made) {
      Fail("create the shortcut " + link.path, made);
      return false;
    }
    Log().Done("create the shortcut " + link.path);
    result_.created_files.push_back(link.path);
    return true;
  }

  // `earlier`: what the record listed before this run.
  void WriteRecord(const std::vector<RecordedFile>& earlier) {
    const RegistryRoot root = plan_.record_root;
    const std::string& key = plan_.record_key;
    std::vector<Status> writes;
    writes.push_back(p_.WriteRegistryString(root, key, kRecordScreensaverValue, plan_.scr_path));
    const size_t count = std::min(result_.created_files.size(), kInstalledFileSlots);
    for (size_t i = 0; i < count; ++i) {
      writes.push_back(p_.WriteRegistryString(root, key, InstalledFileValueName(i),
                                              result_.created_files[i]));
    }
    // An earlier installation's longer list must not live on after ours.
    for (const RecordedFile& file : earlier) {
      if (file.slot >= count) {
        p_.DeleteRegistryValue(root, key, InstalledFileValueName(file.slot)).IgnoreError();
      }
    }
    writes.push_back(
        p_.WriteRegistryString(root, key, kRecordLanguageValue, std::to_string(plan_.language)));
    for (const Status& status : writes) {
      if (!status) return Fail("write the record of installed files", status);
    }
    Log().Done("write the record of installed files");
  }

  // Files an earlier installation of this screensaver made that this one
  // did not (links in another language, say), within what an installation
  // of it can have written.
  void RemoveFilesNoLongerInstalled(const std::vector<RecordedFile>& earlier) {
    const InstallFootprint footprint(package_.company, package_.title, package_.scr_file_name,
                                     facts_);
    for (const RecordedFile& recorded : earlier) {
      const std::string& file = recorded.path;
      const bool kept = std::any_of(result_.created_files.begin(), result_.created_files.end(),
                                    [&](const std::string& f) {
                                      return FoldPathCase(f) == FoldPathCase(file);
                                    });
      if (kept) continue;
      std::string refusal;
      const std::optional<FootprintFile> match = footprint.Match(p_, file, &refusal);
      if (!match || match->path == footprint.screensaver_path()) continue;
      Log().IfFailed("remove the earlier installation's " + file,
                     RemoveFootprintFile(p_, *match));
    }
  }

  const InstallPlan& plan_;
  const PackageInfo& package_;
  const MachineFacts& facts_;
  Platform& p_;
  Prompter& prompter_;
  WorkerLink& link_;
  InstallResult result_;
  uint64_t placed_bytes_ = 0;
  bool uninstaller_written_ = false;
};

}  // namespace

InstallResult Install(const InstallPlan& plan, const PackageInfo& package,
                      const MachineFacts& facts, Platform& p, Prompter& prompter,
                      WorkerLink& link) {
  InstallResult result = Installation(plan, package, facts, p, prompter, link).Run();
  Log().Line(result.outcome == InstallOutcome::Completed ? "installation: completed"
             : result.outcome == InstallOutcome::Interrupted
                 ? "installation: stopped by the user"
                 : "installation: failed at \"" + result.failed_step + "\"");
  return result;
}

}  // namespace lumiset
