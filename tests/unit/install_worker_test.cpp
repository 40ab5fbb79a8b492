#include "install/install_worker.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

#include "setup/install_log.h"
#include "setup/startup.h"
#include "setup/switches.h"
#include "base/byte_io.h"
#include "base/text.h"
#include "package/package_format.h"
#include "setup/work_files.h"
#include "support/fake_platform.h"
#include "support/faulty_platform.h"
#include "support/test_package.h"

namespace lumiset {
namespace {

using testing::FakePlatform;
using testing::FaultyPlatform;
using testing::TestPackage;

constexpr char kInstaller[] = "C:\\Downloads\\StarfieldSetup.exe";
constexpr char kScr[] = "C:\\windows\\Sysnative\\starfield.scr";
constexpr char kWork[] = "C:\\Users\\me\\AppData\\Local\\Tolvane";
constexpr char kDesktopKey[] = "Control Panel\\Desktop";

std::vector<uint8_t> Screensaver(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t x = 99;
  for (auto& b : bytes) {
    x = x * 1664525 + 1013904223;
    b = static_cast<uint8_t>(x >> 24 & 0x3F);
  }
  return bytes;
}

// Runs the worker synchronously over a fake machine. Prompts are answered
// from a queue (Retry or Abort Setup) while the worker waits for them.
class Worker : public ::testing::Test {
 protected:
  Worker() : faulty_(fs_) {
    state_.WorkFolder = PrepareWorkFolder(fs_);
    pkg_.screensaver = Screensaver(200000);
    fs_.on_sleep = [this] {
      if (!link_->prompt_pending()) return;
      ++prompts_;
      if (before_answer_) before_answer_();
      const PromptAnswer answer = answers_.empty() ? PromptAnswer::kAbort : answers_.front();
      if (!answers_.empty()) answers_.pop_front();
      link_->Answer(answer);
    };
  }

  void Load(const std::string& switches = "/q") {
    fs_.AddFile(kInstaller, testing::BuildInstaller(pkg_));
    ASSERT_TRUE(StartUp(fs_, state_, "setup.exe " + switches));
    state_.WindowsVistaOrLater = 1;
  }

  // Runs the worker over the link; a link that a run has finished is
  // replaced by a fresh one first.
  WorkerResult Run() {
    if (link_->finished()) link_ = std::make_unique<WorkerLink>();
    InstallWorker(*link_, faulty_, state_);
    EXPECT_TRUE(link_->finished());
    return link_->result();
  }

  int32_t Progress() const { return link_->progress(); }

  std::vector<std::string> WorkFiles() {
    std::vector<std::string> out;
    for (const std::string& name : fs_.List(kWork)) {
      if (name.starts_with("vrtl")) out.push_back(name);
    }
    return out;
  }

  FakePlatform fs_;
  FaultyPlatform faulty_;
  SetupState state_;
  TestPackage pkg_;
  std::unique_ptr<WorkerLink> link_ = std::make_unique<WorkerLink>();
  std::deque<PromptAnswer> answers_;
  std::function<void()> before_answer_;
  int prompts_ = 0;
};

TEST_F(Worker, InstallsActivatesAndCleansUp) {
  Load();
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
  EXPECT_EQ(Progress(), 98);
  EXPECT_TRUE(WorkFiles().empty());
  EXPECT_EQ(prompts_, 0);
  EXPECT_EQ(fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "ScreenSaveActive"), "1");
  EXPECT_EQ(fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "SCRNSAVE.EXE"),
            "C:\\windows\\System32\\starfield.scr")
      << "other programs read System32, never Sysnative";
  EXPECT_EQ(fs_.screensaver_notifications, std::vector<bool>{true});
  EXPECT_TRUE(fs_.commands_run.empty());
}

TEST_F(Worker, ReplacesAnExistingCopy) {
  fs_.AddFile(kScr, "old version");
  Load();
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
}

TEST_F(Worker, WithoutSetAsDefaultNothingIsActivated) {
  Load("/q /d-");
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_FALSE(fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "SCRNSAVE.EXE"));
  EXPECT_TRUE(fs_.screensaver_notifications.empty());
}

TEST_F(Worker, BeforeVistaTheSettingNamesTheShortPath) {
  Load();
  state_.WindowsVistaOrLater = 0;
  fs_.short_names["c:\\windows\\system32\\starfield.scr"] = "STARFI~1.SCR";
  fs_.AddFile("C:\\windows\\System32\\starfield.scr", "the 64-bit view");
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "SCRNSAVE.EXE"),
            "C:\\windows\\System32\\STARFI~1.SCR");
}

TEST_F(Worker, RunsTheCompanionProgramFromAWorkFileAndDeletesIt) {
  pkg_.companion = {'M', 'Z', 1, 2, 3};
  Load();
  std::string started;
  fs_.on_run = [&](const std::string& command) {
    started = command;
    const std::string exe = command.substr(1, command.find('"', 1) - 1);
    EXPECT_EQ(fs_.FileBytes(exe), pkg_.companion);
  };
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(started, "\"" + std::string(kWork) + "\\vrtl0001.exe\" /s");
  EXPECT_TRUE(WorkFiles().empty());
  EXPECT_TRUE(state_.CompanionProgram.empty());
}

TEST_F(Worker, ACompanionThatCannotStartIsSkipped) {
  pkg_.companion = {'M', 'Z'};
  Load();
  fs_.process_starts = false;
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(fs_.commands_run.size(), 1u);
  EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(Worker, WorkFileCannotBeCreated) {
  Load();
  fs_.unwritable_folders.insert(AsciiLower(kWork));
  answers_ = {PromptAnswer::kRetry, PromptAnswer::kAbort};
  EXPECT_EQ(Run(), WorkerResult::NoWorkFile);
  EXPECT_EQ(prompts_, 2) << "Retry while the cause persists brings the prompt back";
  EXPECT_FALSE(fs_.HasFile(kScr));
}

TEST_F(Worker, WorkFileRetryAfterTheCauseIsGone) {
  Load();
  fs_.unwritable_folders.insert(AsciiLower(kWork));
  answers_ = {PromptAnswer::kRetry};
  before_answer_ = [&] { fs_.unwritable_folders.clear(); };
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
}

TEST_F(Worker, PackageThatCannotBeOpenedFailsAndRemovesTheWorkFile) {
  Load();
  faulty_.fail_open = [](const std::string& path) { return path == kInstaller; };
  answers_ = {PromptAnswer::kAbort};
  EXPECT_EQ(Run(), WorkerResult::Failed);
  EXPECT_TRUE(WorkFiles().empty());
  EXPECT_FALSE(fs_.HasFile(kScr));
}

TEST_F(Worker, ReadAndWriteFailuresResumeWhereTheyFailed) {
  Load();
  int read_failures = 2;
  int write_failures = 1;
  faulty_.fail_read = [&](const std::string& path, uint64_t offset) {
    return path == kInstaller && offset > state_.PackageDataOffset + 40000 && read_failures-- > 0;
  };
  faulty_.fail_write = [&](const std::string& path, uint64_t position) {
    return path.find("vrtl") != std::string::npos && position > 60000 && write_failures-- > 0;
  };
  answers_ = {PromptAnswer::kRetry, PromptAnswer::kRetry, PromptAnswer::kRetry};
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(prompts_, 3);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver) << "retried chunks land in place";
}

TEST_F(Worker, LockedDestinationPromptsAndRetrySucceedsOnceReleased) {
  fs_.AddFile(kScr, "running");
  Load();
  bool locked = true;
  faulty_.fail_remove = [&](const std::string& path) { return locked && path == kScr; };
  faulty_.fail_create = [&](const std::string& path) { return locked && path == kScr; };
  answers_ = {PromptAnswer::kRetry, PromptAnswer::kRetry};
  before_answer_ = [&] {
    if (prompts_ == 2) locked = false;
  };
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(prompts_, 2);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
}

TEST_F(Worker, AbortAtTheDecodeLeavesNoScreensaverAndNoWorkFile) {
  Load();
  faulty_.fail_write = [](const std::string& path, uint64_t position) {
    return path == kScr && position > 1000;
  };
  answers_ = {PromptAnswer::kAbort};
  EXPECT_EQ(Run(), WorkerResult::Failed);
  EXPECT_FALSE(fs_.HasFile(kScr));
  EXPECT_TRUE(WorkFiles().empty());
}

// A damaged block decodes the same way every time, so no prompt is raised:
// with nobody to answer it a quiet installation would wait forever.
TEST_F(Worker, BlocksThatDoNotDecodeFailAtOnceWithoutAPrompt) {
  struct Case {
    const char* name;
    void (*damage)(std::vector<uint8_t>& installer, uint64_t data_offset);
  };
  const Case cases[] = {
      {"wrong magic", [](auto& f, uint64_t d) { f[d] = 'X'; }},
      {"capacity too small", [](auto& f, uint64_t d) { StoreU32(&f[d + 4], 10); }},
      {"stream damaged", [](auto& f, uint64_t d) { f[d + 12] ^= 0xFF; }},
  };
  for (const Case& c : cases) {
    SetupState fresh;
    state_ = fresh;
    state_.WorkFolder = PrepareWorkFolder(fs_);
    Load();
    std::vector<uint8_t> installer = fs_.FileBytes(kInstaller);
    c.damage(installer, state_.PackageDataOffset);
    fs_.AddFile(kInstaller, installer);
    prompts_ = 0;
    EXPECT_EQ(Run(), WorkerResult::Failed) << c.name;
    EXPECT_EQ(prompts_, 0) << c.name;
    EXPECT_FALSE(fs_.HasFile(kScr)) << c.name;
    EXPECT_TRUE(WorkFiles().empty()) << c.name;
  }
}

TEST_F(Worker, DestinationThatCannotBeWrittenStillPrompts) {
  Load();
  int refused = 0;
  faulty_.fail_create = [&](const std::string& path) { return path == kScr && refused++ < 1; };
  answers_ = {PromptAnswer::kRetry};
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(prompts_, 1);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
}

TEST_F(Worker, AFileShorterThanItsBlockFailsWithoutAPrompt) {
  Load();
  // The installer lost its end after start-up read it.
  std::vector<uint8_t> installer = fs_.FileBytes(kInstaller);
  installer.resize(state_.PackageDataOffset + state_.ScreensaverBlockLength - 1);
  fs_.AddFile(kInstaller, installer);
  EXPECT_EQ(Run(), WorkerResult::Failed);
  EXPECT_EQ(prompts_, 0);
  EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(Worker, CopiesExactlyTheBlockAndNotWhatFollowsIt) {
  pkg_.padding = 5;
  Load();
  uint64_t work_file_size = 0;
  faulty_.on_close = [&](const std::string& path) {
    if (path.find("vrtl") != std::string::npos && work_file_size == 0) {
      work_file_size = fs_.FileBytes(path).size();
    }
  };
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(work_file_size, state_.ScreensaverBlockLength);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
}

// With /n nobody answers: a destination held open is retried a bounded
// number of times, a moment apart, then the installation fails; one that
// comes free in time installs.
TEST_F(Worker, WithNoInteractionTheWorkerAnswersItself) {
  for (const int held_for : {3, 1000}) {
    SetupState fresh;
    state_ = fresh;
    state_.WorkFolder = PrepareWorkFolder(fs_);
    fs_.RemoveFile(kScr).IgnoreError();  // the previous round's, if any
    Load("/q /n");
    ASSERT_EQ(state_.NoInteraction, 1);
    int refused = 0;
    faulty_.fail_create = [&](const std::string& path) {
      return path == kScr && refused++ < held_for;
    };
    const uint64_t slept_before = fs_.slept_ms;
    prompts_ = 0;
    const WorkerResult result = Run();
    EXPECT_EQ(prompts_, 0) << held_for;
    const uint64_t slept = fs_.slept_ms - slept_before;
    if (held_for == 3) {
      EXPECT_EQ(result, WorkerResult::Completed);
      EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
    } else {
      EXPECT_EQ(result, WorkerResult::Failed);
      EXPECT_EQ(refused, 11) << "the first try and ten retries";
      EXPECT_GE(slept, 4000u) << "the retries are spread over seconds";
      EXPECT_LE(slept, 10000u);
      EXPECT_FALSE(fs_.HasFile(kScr));
      EXPECT_TRUE(WorkFiles().empty());
    }
  }
}

TEST_F(Worker, TheLogNamesEachStepAndWhyOneFailed) {
  constexpr char kLog[] = "C:\\logs\\setup.log";
  EXPECT_TRUE(fs_.MakeFolder("C:\\logs"));
  Load("/q /n");
  faulty_.fail_create = [&](const std::string& path) { return path == kScr; };
  ASSERT_TRUE(Log().Open(faulty_, kLog));
  EXPECT_EQ(Run(), WorkerResult::Failed);
  Log().Close();
  const std::vector<uint8_t> bytes = fs_.FileBytes(kLog);
  const std::string log(bytes.begin(), bytes.end());
  EXPECT_TRUE(log.starts_with("\xEF\xBB\xBF")) << "marked as UTF-8";
  for (const char* expected : {
           "copy the screensaver block: ok,",
           "install C:\\windows\\Sysnative\\starfield.scr: failed: create "
           "C:\\windows\\Sysnative\\starfield.scr: error 32\r\n",
           "no one to ask: retry 1 of 10 in 500 ms\r\n",
           "no one to ask: giving up after 10 retries\r\n",
       }) {
    EXPECT_NE(log.find(expected), std::string::npos) << expected << "\nin:\n" << log;
  }
}

// Each failed step is logged with its own cause, taken from the call that
// failed, never from an earlier failure.
TEST_F(Worker, EachFailedStepIsLoggedWithItsOwnCause) {
  constexpr char kLog[] = "C:\\logs\\setup.log";
  const std::string work = std::string(kWork) + "\\vrtl";
  struct Case {
    const char* name;
    std::function<void(FaultyPlatform&)> fault;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"the installer cannot be opened",
       [](FaultyPlatform& f) {
         f.fail_open = [](const std::string& p) { return p == kInstaller; };
       },
       {std::string("open the installer: failed: open ") + kInstaller + ": error 32\r\n"}},
      {"the installer cannot be read",
       [](FaultyPlatform& f) {
         f.fail_read = [](const std::string& p, uint64_t) { return p == kInstaller; };
       },
       {std::string("read the installer: failed: read ") + kInstaller + ": error 32\r\n"}},
      {"the work file cannot be written",
       [](FaultyPlatform& f) {
         f.fail_write = [](const std::string& p, uint64_t) { return p.ends_with(".tmp"); };
       },
       {"write the work file: failed: write " + work, ".tmp: error 32\r\n"}},
      {"the screensaver cannot be written",
       [](FaultyPlatform& f) {
         f.fail_write = [](const std::string& p, uint64_t) { return p == kScr; };
       },
       {std::string("install ") + kScr + ": failed: write " + kScr + ": error 32\r\n"}},
  };
  ASSERT_TRUE(fs_.MakeFolder("C:\\logs"));
  Load("/q /n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    faulty_.fail_open = nullptr;
    faulty_.fail_read = nullptr;
    faulty_.fail_write = nullptr;
    c.fault(faulty_);
    ASSERT_TRUE(Log().Open(faulty_, kLog));
    EXPECT_EQ(Run(), WorkerResult::Failed);
    Log().Close();
    const std::vector<uint8_t> bytes = fs_.FileBytes(kLog);
    const std::string log(bytes.begin(), bytes.end());
    size_t at = 0;
    for (const std::string& part : c.expected) {
      at = log.find(part, at);
      EXPECT_NE(at, std::string::npos) << part << "\nin:\n" << log;
      if (at == std::string::npos) break;
    }
  }
}

TEST_F(Worker, ALogThatCannotBeWrittenChangesNothing) {
  constexpr char kLog[] = "C:\\setup.log";
  Load();
  // Not even created: the folder is missing.
  EXPECT_FALSE(Log().Open(faulty_, "C:\\missing\\setup.log"));
  EXPECT_EQ(Run(), WorkerResult::Completed);
  // Created, then the disk fills after its first line: the log is dropped,
  // the run goes on.
  faulty_.fail_write = [&](const std::string& path, uint64_t at) { return path == kLog && at > 0; };
  ASSERT_TRUE(Log().Open(faulty_, kLog));
  EXPECT_EQ(Run(), WorkerResult::Completed);
  Log().Close();
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
  EXPECT_EQ(prompts_, 0);
}

TEST_F(Worker, StopDuringTheCopyEndsAtTheNextCheck) {
  Load();
  faulty_.fail_read = [&](const std::string& path, uint64_t offset) {
    if (path == kInstaller && offset > state_.PackageDataOffset + 30000) link_->RequestStop();
    return false;
  };
  EXPECT_EQ(Run(), WorkerResult::Stopped);
  EXPECT_LT(Progress(), 50);
  EXPECT_TRUE(WorkFiles().empty());
  EXPECT_FALSE(fs_.HasFile(kScr));
}

TEST_F(Worker, StopFoundAtTheDecodedCheckpointRemovesTheScreensaver) {
  Load();
  faulty_.on_close = [&](const std::string& path) {
    if (path == kScr) link_->RequestStop();
  };
  EXPECT_EQ(Run(), WorkerResult::Stopped);
  EXPECT_EQ(Progress(), 80);
  EXPECT_FALSE(fs_.HasFile(kScr));
  EXPECT_TRUE(WorkFiles().empty());
}

TEST_F(Worker, StopAfterTheLastCheckpointKeepsTheInstallation) {
  pkg_.companion = {'M', 'Z'};
  Load();
  fs_.on_run = [&](const std::string&) { link_->RequestStop(); };
  EXPECT_EQ(Run(), WorkerResult::Stopped);
  EXPECT_EQ(fs_.FileBytes(kScr), pkg_.screensaver);
  EXPECT_EQ(fs_.Registry(RegistryRoot::kCurrentUser, kDesktopKey, "ScreenSaveActive"), "1");
}

TEST_F(Worker, WaitsAtItsChecksWhileThePageAsksToPause) {
  Load();
  int paused_sleeps = 0;
  int32_t progress_while_paused = -1;
  bool paused = true;
  link_->Pause();
  auto answer_prompts = fs_.on_sleep;
  fs_.on_sleep = [&] {
    if (paused) {
      progress_while_paused = Progress();
      if (++paused_sleeps == 5) {
        paused = false;
        link_->Resume();
      }
    }
    answer_prompts();
  };
  EXPECT_EQ(Run(), WorkerResult::Completed);
  EXPECT_EQ(paused_sleeps, 5);
  EXPECT_EQ(progress_while_paused, 3) << "held at the copy's first check";
  EXPECT_EQ(Progress(), 98);
}

}  // namespace
}  // namespace lumiset
