// The installation engine over a fake machine: what it writes where, and
// that no failure, stop or fault leaves a part of a screensaver or reports
// a failure as success.
#include "install/engine.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

#include "base/language.h"
#include "base/byte_io.h"
#include "base/text.h"
#include "install/registration.h"
#include "package/default_uninstaller.h"
#include "package/package_format.h"
#include "setup/install_log.h"
#include "setup/startup.h"
#include "support/fake_platform.h"
#include "support/faulty_platform.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

using testing::FakePlatform;
using testing::FaultyPlatform;
using testing::TestPackage;

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
constexpr char kInstaller[] = "C:\\Downloads\\StarfieldSetup.exe";
constexpr char kSystem[] = "C:\\windows\\Sysnative";
constexpr char kScr[] = "C:\\windows\\Sysnative\\starfield.scr";
constexpr char kPublicScr[] = "C:\\windows\\System32\\starfield.scr";
constexpr char kFolder[] = "C:\\Program Files (x86)\\Lumiset Samples\\Starfield";
constexpr char kMenu[] =
    "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Screensaver";
constexpr char kDesktopLink[] = "C:\\Users\\me\\Desktop\\Starfield Screensaver.lnk";
constexpr char kRecordKey[] = "SOFTWARE\\Lumiset Samples\\Starfield";
constexpr char kEntryKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Starfield Screensaver";

std::vector<uint8_t> Screensaver(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t x = 99;
  for (auto& b : bytes) {
    x = x * 1664525 + 1013904223;
    b = static_cast<uint8_t>(x >> 24 & 0x3F);
  }
  return bytes;
}

// The default uninstaller, told by its marker.
std::vector<uint8_t> DefaultUninstaller() {
  std::vector<uint8_t> program(2000, 'u');
  const std::string marker = LUMISET_DEFAULT_UNINSTALLER_MARKER;
  for (size_t i = 0; i < marker.size(); ++i) {
    program[100 + 2 * i] = static_cast<uint8_t>(marker[i]);
    program[101 + 2 * i] = 0;
  }
  return program;
}

// Answers the copy-error prompt from a queue, as the user would.
class QueuedPromptUi : public PromptUi {
 public:
  PromptAnswer AskCopyError(const CopyErrorDetails& details) override {
    asked.push_back(details);
    if (before_answer) before_answer();
    if (answers.empty()) return PromptAnswer::kAbort;
    const PromptAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowNotice(Notice, int32_t) override {}

  std::deque<PromptAnswer> answers;
  std::vector<CopyErrorDetails> asked;
  std::function<void()> before_answer;
};

// One installation, as the wizard runs it: start-up over the fake machine,
// the plan, then the engine on this thread.
class Engine : public ::testing::Test {
 public:
  Engine() : faulty_(fs_) {
    pkg_.screensaver = Screensaver(200000);
    pkg_.uninstaller = DefaultUninstaller();
  }

  // Builds the installer from pkg_ and starts it.
  void Load(const std::string& switches = "/q /m /s") {
    fs_.AddFile(kInstaller, testing::BuildInstaller(pkg_));
    Start(switches);
  }
  // Starts the installer as it lies.
  void Start(const std::string& switches = "/q /m /s") {
    start_ = StartUp(faulty_, "setup.exe " + switches, /*vista_or_later=*/true);
    ASSERT_TRUE(start_);
    ASSERT_TRUE(start_->package) << start_->damage.ToString();
  }

  InstallResult Run() {
    link_ = std::make_unique<WorkerLink>();
    Prompter prompter(PolicyOf(start_->options), ui_, faulty_, link_.get());
    const InstallPlan plan = MakeInstallPlan(start_->options, *start_->package, start_->facts);
    return Install(plan, *start_->package, start_->facts, faulty_, prompter, *link_);
  }

  // Run's outcome, with the failed step shown when it is not the expected one.
  InstallOutcome RunOk() {
    const InstallResult r = Run();
    EXPECT_EQ(r.failed_step, "") << r.failure.ToString();
    return r.outcome;
  }

  std::optional<std::string> Record(const std::string& name, RegistryRoot root = kUser) {
    return fs_.Registry(root, kRecordKey, name);
  }
  std::optional<std::string> Entry(const char* name) {
    return fs_.Registry(kMachine, kEntryKey, name);
  }
  std::optional<std::string> Setting(const char* name) {
    return fs_.Registry(kUser, kDesktopKey, name);
  }
  std::string Text(const std::string& path) {
    const std::vector<uint8_t> b = fs_.FileBytes(path);
    return std::string(b.begin(), b.end());
  }
  // Staged files left in the system folder.
  std::vector<std::string> Staged() {
    std::vector<std::string> out;
    for (const std::string& name : fs_.List(kSystem)) {
      if (name.starts_with(kStagedFilePrefix)) out.push_back(name);
    }
    return out;
  }

  FakePlatform fs_;
  FaultyPlatform faulty_;
  TestPackage pkg_;
  std::optional<StartUpResult> start_;
  QueuedPromptUi ui_;
  std::unique_ptr<WorkerLink> link_;
};

TEST_F(Engine, InstallsEverythingInItsPlace) {
  Load();
  const InstallResult r = Run();
  EXPECT_EQ(r.outcome, InstallOutcome::Completed);
  EXPECT_TRUE(r.failed_step.empty()) << r.failed_step;
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
  EXPECT_EQ(link_->progress(), kProgressDone);
  EXPECT_TRUE(ui_.asked.empty());
  EXPECT_TRUE(Staged().empty());

  // Active, as other programs name it.
  EXPECT_EQ(Setting(kScreenSaveActiveValue), "1");
  EXPECT_EQ(Setting(kScreensaverPathValue), kPublicScr);
  EXPECT_EQ(fs_.screensaver_notifications, std::vector<bool>{true});

  // The uninstaller with its settings, which name what it removes.
  const std::string uninstaller = std::string(kFolder) + "\\Uninstall.exe";
  const std::string settings = std::string(kFolder) + "\\Uninstall.ini";
  EXPECT_EQ(fs_.FileBytes(uninstaller), pkg_.uninstaller);
  EXPECT_EQ(fs_.IniValue(settings, "uninstall", "company"), "Lumiset Samples");
  EXPECT_EQ(fs_.IniValue(settings, "uninstall", "scrtitle"), "Starfield");
  EXPECT_EQ(fs_.IniValue(settings, "uninstall", "scrfile"), "starfield");
  EXPECT_EQ(fs_.IniValue(settings, "uninstall", "language"), "1");

  // Links: the screensaver's starts it, never its settings.
  const std::string menu(kMenu);
  EXPECT_EQ(Text(menu + "\\Starfield Screensaver.lnk"),
            std::string(kPublicScr) + "|/s|C:\\windows\\System32|Starfield");
  EXPECT_EQ(Text(menu + "\\Uninstall Starfield Screensaver.lnk"),
            uninstaller + "||" + kFolder + "|Uninstall Starfield Screensaver");
  EXPECT_EQ(Text(kDesktopLink), std::string(kPublicScr) + "|/s|C:\\windows\\System32|Starfield");

  // The record lists what was created, in order.
  const std::vector<std::string> created = {uninstaller, settings,
                                            menu + "\\Starfield Screensaver.lnk",
                                            menu + "\\Uninstall Starfield Screensaver.lnk",
                                            kDesktopLink};
  EXPECT_EQ(r.created_files, created);
  for (size_t i = 0; i < created.size(); ++i) {
    EXPECT_EQ(Record(InstalledFileValueName(i)), created[i]);
  }
  EXPECT_FALSE(Record("File0005"));
  EXPECT_EQ(Record(kRecordScreensaverValue), kScr);
  EXPECT_EQ(Record(kRecordLanguageValue), "1");
}

TEST_F(Engine, TheEntryHoldsWhatTheListOfProgramsShows) {
  pkg_.record.version = "2.1 beta";
  pkg_.record.about_url = "https://example.com/starfield";
  fs_.local_date = {2026, 3, 7};
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  const std::string uninstaller = std::string(kFolder) + "\\Uninstall.exe";
  EXPECT_EQ(Entry(kEntryDisplayName), "Starfield Screensaver");
  // A path with blanks is quoted, so Windows never tries C:\Program.exe.
  EXPECT_EQ(Entry(kEntryUninstallString), "\"" + uninstaller + "\"");
  EXPECT_EQ(Entry(kEntryQuietUninstallString), "\"" + uninstaller + "\" /q");
  EXPECT_EQ(Entry(kEntryDisplayIcon), kPublicScr);
  EXPECT_EQ(Entry(kEntryPublisher), "Lumiset Samples");
  EXPECT_EQ(Entry(kEntryDisplayVersion), "2.1 beta");
  EXPECT_EQ(Entry(kEntryUrlInfoAbout), "https://example.com/starfield");
  EXPECT_EQ(Entry(kEntryInstallDate), "20260307");
  EXPECT_EQ(fs_.RegistryDword(kMachine, kEntryKey, kEntryNoModify), 1u);
  EXPECT_EQ(fs_.RegistryDword(kMachine, kEntryKey, kEntryNoRepair), 1u);
  // 200000 + 2000 bytes and the settings file, in KiB rounded up.
  EXPECT_EQ(fs_.RegistryDword(kMachine, kEntryKey, kEntryEstimatedSize), 198u);

  // Another package's own uninstaller: no quiet command; an older version's
  // values do not live on.
  pkg_.uninstaller = {'M', 'Z', 'o', 'w', 'n'};
  pkg_.record.version.clear();
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_FALSE(Entry(kEntryQuietUninstallString));
  EXPECT_FALSE(Entry(kEntryDisplayVersion));
}

TEST_F(Engine, NamesFollowTheInstallationsLanguage) {
  pkg_.record.language = kGerman;
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  const std::string menu =
      "C:\\Users\\me\\Start Menu\\Programs\\Lumiset Samples\\Starfield Bildschirmschoner";
  EXPECT_TRUE(fs_.HasFile(menu + "\\Starfield Bildschirmschoner.lnk"));
  EXPECT_TRUE(fs_.HasFile(menu + "\\Starfield Bildschirmschoner deinstallieren.lnk"));
  EXPECT_TRUE(fs_.HasFile("C:\\Users\\me\\Desktop\\Starfield Bildschirmschoner.lnk"));
  EXPECT_EQ(Entry(kEntryDisplayName), "Starfield Bildschirmschoner");
  EXPECT_TRUE(fs_.HasRegistryKey(kMachine, kEntryKey)) << "the key keeps its English name";

  // A later installation in English takes the German links with it.
  pkg_.record.language = kEnglish;
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_FALSE(fs_.HasFolder(menu));
  EXPECT_FALSE(fs_.HasFile("C:\\Users\\me\\Desktop\\Starfield Bildschirmschoner.lnk"));
  EXPECT_TRUE(fs_.HasFile(kDesktopLink));
}

TEST_F(Engine, WithoutOptionsOnlyTheScreensaverAndTheUninstaller) {
  pkg_.uninstaller.clear();
  Load("/q /d- /m- /s-");
  const InstallResult r = Run();
  EXPECT_EQ(r.outcome, InstallOutcome::Completed);
  EXPECT_TRUE(r.created_files.empty());
  EXPECT_FALSE(Setting(kScreensaverPathValue));
  EXPECT_TRUE(fs_.screensaver_notifications.empty());
  EXPECT_FALSE(Record(kRecordPreviousPathPresentValue)) << "nothing replaced, nothing kept";
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"));
  EXPECT_FALSE(fs_.HasRegistryKey(kMachine, kEntryKey));
  EXPECT_EQ(Record(kRecordScreensaverValue), kScr);
}

TEST_F(Engine, BeforeVistaTheSettingNamesTheShortPath) {
  Load();
  start_->facts.vista_or_later = false;
  fs_.short_names["c:\\windows\\sysnative\\starfield.scr"] = "STARFI~1.SCR";
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_EQ(Setting(kScreensaverPathValue), "C:\\windows\\System32\\STARFI~1.SCR");
}

TEST_F(Engine, RunsTheCompanionProgramPrivatelyWithItsSwitch) {
  pkg_.companion = {'M', 'Z', 1, 2, 3};
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  ASSERT_EQ(fs_.programs_run.size(), 1u);
  EXPECT_EQ(fs_.programs_run[0].arguments, "/s");
  EXPECT_EQ(fs_.programs_run[0].program, pkg_.companion);

  // One that cannot start is an extra that failed: the installation goes on.
  fs_.process_starts = false;
  EXPECT_EQ(Run().outcome, InstallOutcome::Completed);
}

// Whatever ends an installation before the new screensaver is in place, the
// earlier copy stays whole, no staged file is left, and nothing else is
// written.
TEST_F(Engine, AnEarlierCopyOutlivesEveryFailureBeforeThePlacement) {
  struct Case {
    const char* name;
    std::function<void(Engine&)> fault;
    InstallOutcome outcome;
    bool damaged;
    size_t prompts;
  };
  const Case cases[] = {
      {"disk full while decoding, then Abort",
       [](Engine& t) {
         t.faulty_.fail_write = [](const std::string& p, uint64_t at) {
           return p == kScr && at > 50000;
         };
       },
       InstallOutcome::Failed, false, 1},
      {"the installer cannot be read, then Abort",
       [](Engine& t) {
         t.faulty_.fail_read = [&t](const std::string& p, uint64_t at) {
           return p == kInstaller && at > t.start_->package->screensaver_block_offset + 30000;
         };
       },
       InstallOutcome::Failed, false, 1},
      {"the screensaver is held by a running program, then Abort",
       [](Engine& t) { t.faulty_.fail_commit = [](const std::string& p) { return p == kScr; }; },
       InstallOutcome::Failed, false, 1},
      {"a damaged stream",
       [](Engine& t) {
         std::vector<uint8_t> installer = t.fs_.FileBytes(kInstaller);
         installer[t.start_->package->screensaver_block_offset + 12] ^= 0xFF;
         t.fs_.AddFile(kInstaller, installer);
         t.Start();
       },
       InstallOutcome::Failed, true, 0},
      {"stopped while decoding",
       [](Engine& t) {
         t.faulty_.fail_write = [&t](const std::string& p, uint64_t at) {
           if (p == kScr && at > 100000) t.link_->RequestStop();
           return false;
         };
       },
       InstallOutcome::Interrupted, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs_ = FakePlatform();
    faulty_.fail_write = nullptr;
    faulty_.fail_read = nullptr;
    faulty_.fail_commit = nullptr;
    ui_.asked.clear();
    fs_.AddFile(kScr, "the working copy");
    fs_.SetRegistry(kUser, kDesktopKey, kScreensaverPathValue, kPublicScr);
    Load();
    c.fault(*this);
    const InstallResult r = Run();
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.damaged, c.damaged);
    EXPECT_TRUE(r.earlier_copy);
    EXPECT_FALSE(r.screensaver_placed);
    EXPECT_EQ(ui_.asked.size(), c.prompts);
    EXPECT_EQ(Text(kScr), "the working copy");
    EXPECT_TRUE(Staged().empty()) << Staged().front();
    EXPECT_FALSE(fs_.HasFolder(kFolder));
    EXPECT_FALSE(Record(kRecordScreensaverValue));
    EXPECT_EQ(Setting(kScreensaverPathValue), kPublicScr);
  }
}

TEST_F(Engine, DamagedBlocksFailAtOnceWithoutAPrompt) {
  struct Case {
    const char* name;
    void (*damage)(std::vector<uint8_t>& installer, uint64_t block);
  };
  const Case cases[] = {
      {"wrong magic", [](auto& f, uint64_t d) { f[d] = 'X'; }},
      {"capacity too small", [](auto& f, uint64_t d) { StoreU32(&f[d + 4], 10); }},
      {"stream damaged", [](auto& f, uint64_t d) { f[d + 12] ^= 0xFF; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs_.RemoveFile(kScr).IgnoreError();
    Load();
    std::vector<uint8_t> installer = fs_.FileBytes(kInstaller);
    c.damage(installer, start_->package->screensaver_block_offset);
    fs_.AddFile(kInstaller, installer);
    Start();
    ui_.asked.clear();
    const InstallResult r = Run();
    EXPECT_EQ(r.outcome, InstallOutcome::Failed);
    EXPECT_TRUE(r.damaged);
    EXPECT_EQ(r.failure.code(), StatusCode::kCorrupt);
    EXPECT_TRUE(ui_.asked.empty());
    EXPECT_FALSE(fs_.HasFile(kScr));
    EXPECT_TRUE(Staged().empty());
  }
}

TEST_F(Engine, RetryAfterTheCauseIsGonePlacesTheScreensaver) {
  fs_.AddFile(kScr, "running");
  Load();
  bool held = true;
  faulty_.fail_commit = [&](const std::string& p) { return held && p == kScr; };
  int write_failures = 1;
  faulty_.fail_write = [&](const std::string& p, uint64_t at) {
    return p == kScr && at > 60000 && write_failures-- > 0;
  };
  ui_.answers = {PromptAnswer::kRetry, PromptAnswer::kRetry, PromptAnswer::kRetry};
  ui_.before_answer = [&] {
    if (ui_.asked.size() == 3) held = false;
  };
  const InstallResult r = Run();
  EXPECT_EQ(r.outcome, InstallOutcome::Completed);
  ASSERT_EQ(ui_.asked.size(), 3u) << "Retry while the cause persists brings the prompt back";
  // The prompt says which file and why.
  EXPECT_EQ(ui_.asked[0].step, std::string("install ") + kScr);
  EXPECT_EQ(ui_.asked[0].why.path(), kScr);
  EXPECT_EQ(ui_.asked[0].why.code(), StatusCode::kInUse);
  EXPECT_EQ(ui_.asked[1].why.what(), "replace");
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
  EXPECT_TRUE(Staged().empty());
}

// With /n nobody answers: a destination held open is retried a bounded
// number of times, a moment apart, then the installation fails with the
// earlier copy whole; one that comes free in time installs.
TEST_F(Engine, WithNoInteractionTheInstallationAnswersItself) {
  for (const int held_for : {3, 1000}) {
    SCOPED_TRACE(held_for);
    fs_.AddFile(kScr, "the working copy");
    Load("/q /n");
    int refused = 0;
    faulty_.fail_commit = [&](const std::string& p) { return p == kScr && refused++ < held_for; };
    const uint64_t slept_before = fs_.slept_ms;
    const InstallResult r = Run();
    EXPECT_TRUE(ui_.asked.empty());
    const uint64_t slept = fs_.slept_ms - slept_before;
    if (held_for == 3) {
      EXPECT_EQ(r.outcome, InstallOutcome::Completed);
      EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
    } else {
      EXPECT_EQ(r.outcome, InstallOutcome::Failed);
      EXPECT_EQ(refused, 11) << "the first try and ten retries";
      EXPECT_GE(slept, 4000u) << "the retries are spread over seconds";
      EXPECT_LE(slept, 10000u);
      EXPECT_EQ(Text(kScr), "the working copy");
      EXPECT_TRUE(Staged().empty());
    }
  }
}

TEST_F(Engine, AStopAfterThePlacementCompletesTheInstallation) {
  pkg_.companion = {'M', 'Z'};
  Load();
  fs_.on_run = [&](const std::string&) { link_->RequestStop(); };
  const InstallResult r = Run();
  EXPECT_EQ(r.outcome, InstallOutcome::Completed) << "nothing half-done is left to report";
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
  EXPECT_TRUE(Record(kRecordScreensaverValue));
}

TEST_F(Engine, WaitsAtItsChecksWhileThePageAsksToPause) {
  Load();
  int paused_sleeps = 0;
  int32_t progress_while_paused = -1;
  fs_.on_sleep = [&] {
    progress_while_paused = link_->progress();
    if (++paused_sleeps == 5) link_->Resume();
  };
  link_ = std::make_unique<WorkerLink>();
  link_->Pause();
  Prompter prompter(PolicyOf(start_->options), ui_, faulty_, link_.get());
  const InstallPlan plan = MakeInstallPlan(start_->options, *start_->package, start_->facts);
  EXPECT_EQ(Install(plan, *start_->package, start_->facts, faulty_, prompter, *link_).outcome,
            InstallOutcome::Completed);
  EXPECT_EQ(paused_sleeps, 5);
  EXPECT_EQ(progress_while_paused, kProgressStart) << "held at the decoding's first check";
}

TEST_F(Engine, AStagedFileOfAKilledRunIsRemoved) {
  const std::string stale = std::string(kSystem) + "\\~lumiset-0123456789abcdef.tmp";
  const std::string other = std::string(kSystem) + "\\~lumiset-notes.txt";
  fs_.AddFile(stale, "half a screensaver");
  fs_.AddFile(other, "not ours");
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_FALSE(fs_.HasFile(stale));
  EXPECT_TRUE(fs_.HasFile(other));
}

// A finishing step that fails is reported, with what failed; the others
// still run so that what was installed can be removed, and the failed
// step leaves nothing behind that nothing lists.
TEST_F(Engine, AFailedFinishingStepIsAFailureNamedInTheResult) {
  Load();
  faulty_.fail_create = [](const std::string& p) { return p.ends_with("Uninstall.exe"); };
  const InstallResult r = Run();
  EXPECT_EQ(r.outcome, InstallOutcome::Failed);
  EXPECT_FALSE(r.damaged);
  EXPECT_TRUE(r.screensaver_placed);
  EXPECT_EQ(r.failed_step, "write the uninstaller");
  EXPECT_FALSE(fs_.HasFolder("C:\\Program Files (x86)\\Lumiset Samples"))
      << "the folder made for it goes with it";
  EXPECT_FALSE(fs_.HasFile(std::string(kMenu) + "\\Uninstall Starfield Screensaver.lnk"))
      << "no link to a missing uninstaller";
  EXPECT_TRUE(fs_.HasFile(std::string(kMenu) + "\\Starfield Screensaver.lnk"));
  EXPECT_EQ(Record("File0000"), std::string(kMenu) + "\\Starfield Screensaver.lnk");
  EXPECT_FALSE(fs_.HasRegistryKey(kMachine, kEntryKey));

  // A link that cannot be saved is not recorded.
  faulty_.fail_create = [](const std::string& p) { return p == kDesktopLink; };
  const InstallResult links = Run();
  EXPECT_EQ(links.outcome, InstallOutcome::Failed);
  EXPECT_EQ(links.failed_step, std::string("create the shortcut ") + kDesktopLink);
  for (const std::string& f : links.created_files) EXPECT_NE(f, kDesktopLink);
}

TEST_F(Engine, ProgramFilesFromTheRegistryWhenTheShellHasNone) {
  fs_.special_folders.erase(SpecialFolder::kProgramFiles);
  fs_.SetRegistry(kMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                  "D:\\Apps");
  fs_.AddFolder("D:\\Apps");
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_TRUE(fs_.HasFile("D:\\Apps\\Lumiset Samples\\Starfield\\Uninstall.exe"));
}

TEST_F(Engine, ASecondInstallationWithFewerFilesLeavesNoStaleEntries) {
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  ASSERT_TRUE(Record("File0004"));
  Load("/q /m- /s-");
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_TRUE(Record("File0001"));
  EXPECT_FALSE(Record("File0002"));
  EXPECT_FALSE(Record("File0004"));
  EXPECT_FALSE(fs_.HasFile(kDesktopLink)) << "the earlier installation's link went with it";
}

// An upgrade whose screensaver file has another name leaves no orphan: the
// earlier installation's settings file names the file it placed, and whoever
// had it active keeps the new one active.
TEST_F(Engine, AnUpgradeUnderAnotherNameRemovesTheEarlierFile) {
  Load("/q /d-");
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  fs_.SetRegistry(kUser, kDesktopKey, kScreensaverPathValue, kPublicScr);
  pkg_.record.scr_file_name = "sf2";
  Load("/q /d-");
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_FALSE(fs_.HasFile(kScr));
  EXPECT_EQ(fs_.FileBytes(std::string(kSystem) + "\\sf2.scr"), pkg_.screensaver);
  EXPECT_EQ(Setting(kScreensaverPathValue), "C:\\windows\\System32\\sf2.scr");
  EXPECT_EQ(fs_.IniValue(std::string(kFolder) + "\\Uninstall.ini", "uninstall", "scrfile"), "sf2");
}

// The setting an activation replaces is kept for the uninstallation; an
// installation over an earlier copy keeps the first one kept.
TEST_F(Engine, TheReplacedSettingIsKeptOnce) {
  fs_.SetRegistry(kUser, kDesktopKey, kScreensaverPathValue, "C:\\windows\\System32\\aurora.scr");
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_EQ(Record(kRecordPreviousPathPresentValue), "1");
  EXPECT_EQ(Record(kRecordPreviousPathValue), "C:\\windows\\System32\\aurora.scr");
  EXPECT_EQ(Record(kRecordPreviousActivePresentValue), "0") << "it was not there at all";
  Load();
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_EQ(Record(kRecordPreviousPathValue), "C:\\windows\\System32\\aurora.scr");
}

TEST_F(Engine, APolicySettingTheScreensaverIsLeftToDecide) {
  for (RegistryRoot root : {kUser, kMachine}) {
    SCOPED_TRACE(root == kUser ? "user" : "machine");
    fs_ = FakePlatform();
    fs_.SetRegistry(kUser, kDesktopKey, kScreensaverPathValue, "C:\\windows\\System32\\corp.scr");
    fs_.SetRegistry(root, kDesktopPolicyKey, kScreensaverPathValue,
                    "C:\\windows\\System32\\corp.scr");
    Load();
    const InstallResult r = Run();
    EXPECT_EQ(r.outcome, InstallOutcome::Completed);
    EXPECT_TRUE(r.policy_decides);
    EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver) << "the file is installed as usual";
    EXPECT_EQ(Setting(kScreensaverPathValue), "C:\\windows\\System32\\corp.scr");
    EXPECT_TRUE(fs_.screensaver_notifications.empty());
  }
}

TEST_F(Engine, ForAllUsersTheCommonFoldersAndTheMachinesRecord) {
  fs_.special_folders[SpecialFolder::kCommonPrograms] = "C:\\ProgramData\\Start Menu\\Programs";
  fs_.special_folders[SpecialFolder::kCommonDesktop] = "C:\\Users\\Public\\Desktop";
  fs_.AddFolder("C:\\Users\\Public\\Desktop");
  Load("/q /m /s /allusers");
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_TRUE(fs_.HasFile("C:\\ProgramData\\Start Menu\\Programs\\Lumiset Samples\\"
                          "Starfield Screensaver\\Starfield Screensaver.lnk"));
  EXPECT_TRUE(fs_.HasFile("C:\\Users\\Public\\Desktop\\Starfield Screensaver.lnk"));
  EXPECT_FALSE(fs_.HasFile(kDesktopLink));
  EXPECT_EQ(Record(kRecordScreensaverValue, kMachine), kScr);
  EXPECT_FALSE(Record(kRecordScreensaverValue, kUser));
  EXPECT_FALSE(Setting(kScreensaverPathValue)) << "nobody's setting changes unless asked";

  Load("/q /allusers /d");
  ASSERT_EQ(RunOk(), InstallOutcome::Completed);
  EXPECT_EQ(Setting(kScreensaverPathValue), kPublicScr) << "/d by name: the running account's";
}

TEST_F(Engine, TheLogNamesEachStepAndWhyOneFailed) {
  constexpr char kLog[] = "C:\\logs\\setup.log";
  ASSERT_TRUE(fs_.MakeFolder("C:\\logs"));
  fs_.AddFile(kLog, "an earlier run's lines\r\n");
  Load("/q /n");
  faulty_.fail_commit = [](const std::string& p) { return p == kScr; };
  ASSERT_TRUE(Log().Open(faulty_, kLog));
  EXPECT_EQ(Run().outcome, InstallOutcome::Failed);
  Log().Close();
  const std::string log = Text(kLog);
  EXPECT_TRUE(log.starts_with("an earlier run's lines\r\n")) << "a log is appended to, never cut";
  for (const char* expected : {
           "install C:\\windows\\Sysnative\\starfield.scr: failed: replace "
           "C:\\windows\\Sysnative\\starfield.scr: error 32\r\n",
           "no one to ask: retry 1 of 10 in 500 ms\r\n",
           "no one to ask: giving up after 10 retries\r\n",
           "installation: failed at \"install C:\\windows\\Sysnative\\starfield.scr\"\r\n",
       }) {
    EXPECT_NE(log.find(expected), std::string::npos) << expected << "\nin:\n" << log;
  }
}

TEST_F(Engine, ALogThatCannotBeWrittenChangesNothing) {
  constexpr char kLog[] = "C:\\setup.log";
  Load();
  EXPECT_FALSE(Log().Open(faulty_, "C:\\missing\\setup.log"));
  EXPECT_EQ(Run().outcome, InstallOutcome::Completed);
  // Opened, then the disk fills: the log is dropped, the run goes on.
  faulty_.fail_write = [&](const std::string& path, uint64_t) { return path == kLog; };
  ASSERT_TRUE(Log().Open(faulty_, kLog));
  EXPECT_EQ(Run().outcome, InstallOutcome::Completed);
  Log().Close();
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
}

}  // namespace
}  // namespace lumiset
