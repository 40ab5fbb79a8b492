#include "install/install_worker.h"

#include <memory>
#include <new>

#include "base/platform_helpers.h"
#include "base/text.h"
#include "install/screensaver_setting.h"
#include "package/package_format.h"
#include "setup/install_log.h"
#include "setup/work_files.h"

namespace lumiset {
namespace {

constexpr size_t kTransferBufferSize = 32778;
constexpr size_t kChunkSize = 32767;
constexpr uint32_t kPollMs = 100;
constexpr uint32_t kSettleMs = 300;
constexpr int32_t kProgressStart = 3;
constexpr int32_t kProgressCopied = 50;
constexpr int32_t kProgressReadBack = 65;
constexpr int32_t kProgressDecoded = 80;
constexpr int32_t kProgressDone = 98;
// With no one to answer a prompt, a failed step is tried again this many
// times, this far apart (a file held open for a moment, say), then the
// installation fails.
constexpr int kUnattendedRetries = 10;
constexpr uint32_t kUnattendedRetryMs = 500;

// What decoding the copied block into the system folder came to.
enum class DecodeOutcome {
  kDone,
  kWriteFailed,  // the destination could not be written: worth a retry
  kDamaged,      // the block itself is damaged: no retry can mend it
};

// A decoding outcome with the cause of a failed read or write.
struct Decoded {
  DecodeOutcome outcome = DecodeOutcome::kDone;
  Status why;
};

class Worker {
 public:
  Worker(WorkerLink& link, Platform& p, SetupState& state) : link_(link), p_(p), s_(state) {}

  void Run() {
    Install();
    if (StopSet()) result_ = WorkerResult::Stopped;
    link_.Finish(result_);
  }

 private:
  void Install() {
    std::string work_folder = s_.WorkFolder;
    // 1. A fresh work file; CREATE_NEW so a name found free cannot be taken
    // over by another process meanwhile.
    std::string work_name;
    std::unique_ptr<WritableFile> work;
    for (;;) {
      work_name = MakeWorkFileName(p_, work_folder, kWorkFileExtension);
      StatusOr<std::unique_ptr<WritableFile>> created =
          work_name.empty() ? Status::Failure("find a free work file name in", work_folder, 0)
                            : p_.CreateForWrite(work_name, /*create_new=*/true);
      if (created) {
        work = std::move(created).value();
        break;
      }
      if (!AskRetry("create a work file in " + work_folder, created.status())) {
        return Fail(WorkerResult::NoWorkFile);
      }
    }
    Log().Line("work file: " + work_name);
    SetProgress(kProgressStart);

    // 3. The installer itself, which other processes may read and write.
    std::unique_ptr<ReadableFile> package;
    for (;;) {
      StatusOr<std::unique_ptr<ReadableFile>> opened =
          p_.OpenForRead(s_.PackageSourcePath, /*share_write=*/true);
      if (opened) {
        package = std::move(opened).value();
        break;
      }
      if (!AskRetry("open the installer", opened.status())) {
        work.reset();
        p_.RemoveFile(work_name).IgnoreError();
        return Fail(WorkerResult::Failed);
      }
    }

    // 4. Copy exactly the screensaver block: padding, trailer and a
    // signature behind it are no part of it. The file may have changed
    // since start-up checked the length.
    const uint64_t total = s_.ScreensaverBlockLength;
    const uint64_t size = package->Size();
    if (size < s_.PackageDataOffset || size - s_.PackageDataOffset < total ||
        !CopyWithProgress(*package, s_.PackageDataOffset, *work, total)) {
      Log().Line("copy the screensaver block: failed");
      package.reset();
      work.reset();
      p_.RemoveFile(work_name).IgnoreError();
      return Fail(WorkerResult::Failed);
    }
    package.reset();
    Log().Line("copy the screensaver block: ok, " + std::to_string(total) + " bytes");
    const Status closed = work->Close();
    work.reset();
    SetProgress(kProgressCopied);
    if (StopCheck()) {
      p_.RemoveFile(work_name).IgnoreError();
      return;
    }

    // 6. Read the copy back; an empty or unreadable work file is a failure.
    std::unique_ptr<ReadableFile> copy;
    for (;;) {
      Status why = closed;
      if (why) {
        StatusOr<std::unique_ptr<ReadableFile>> opened =
            p_.OpenForRead(work_name, /*share_write=*/false);
        if (opened && opened.value()->Size() != 0) {
          copy = std::move(opened).value();
          break;
        }
        why = opened ? Status::Failure("read back the empty", work_name, 0) : opened.status();
      }
      if (!AskRetry("read the work file back", why)) {
        p_.RemoveFile(work_name).IgnoreError();
        return Fail(WorkerResult::Failed);
      }
    }
    SetProgress(kProgressReadBack);
    if (StopCheck()) {
      copy.reset();
      p_.RemoveFile(work_name).IgnoreError();
      return;
    }

    // 8. Decode into the system folder, replacing an earlier copy. A damaged
    // block decodes the same way every time: it fails at once.
    for (;;) {
      // A failure here shows in the decoding's own result.
      if (FileExists(p_, s_.InstalledScrPath)) p_.RemoveFile(s_.InstalledScrPath).IgnoreError();
      const Decoded decoded = DecodeInto(*copy, s_.InstalledScrPath);
      if (decoded.outcome == DecodeOutcome::kDone) break;
      if (decoded.outcome == DecodeOutcome::kDamaged) {
        Log().Line("install " + s_.InstalledScrPath +
                   ": failed: the screensaver block is damaged, no retry can help");
      }
      if (decoded.outcome == DecodeOutcome::kDamaged ||
          !AskRetry("install " + s_.InstalledScrPath, decoded.why)) {
        copy.reset();
        p_.RemoveFile(work_name).IgnoreError();
        p_.RemoveFile(s_.InstalledScrPath).IgnoreError();
        return Fail(WorkerResult::Failed);
      }
    }
    Log().Done("install " + s_.InstalledScrPath);
    SetProgress(kProgressDecoded);
    copy.reset();
    if (StopCheck()) {
      p_.RemoveFile(work_name).IgnoreError();
      p_.RemoveFile(s_.InstalledScrPath).IgnoreError();
      return;
    }

    p_.RemoveFile(work_name).IgnoreError();
    // The pauses only let the user see the bar reach its end; a quiet
    // installation shows no bar.
    if (s_.ShowScreens) p_.SleepMs(kSettleMs);
    SetProgress(kProgressDone);
    if (s_.CompanionProgramPresent) RunCompanionProgram(work_folder);
    if (s_.SetAsDefault) ActivateScreensaver();
    if (s_.ShowScreens) p_.SleepMs(kSettleMs);
  }

  // Decodes the copied block into `path` through fixed buffers; a partial
  // file is removed on failure.
  Decoded DecodeInto(ReadableFile& copy, const std::string& path) {
    uint8_t header[kBlockHeaderSize];
    const uint64_t size = copy.Size();
    if (size < kBlockHeaderSize) return {DecodeOutcome::kDamaged, {}};
    if (Status read = copy.ReadAt(0, header, sizeof header); !read) {
      return {DecodeOutcome::kWriteFailed, read};
    }
    std::optional<BlockHeader> block = ParseBlockHeader(header);
    if (!block) return {DecodeOutcome::kDamaged, {}};
    StatusOr<std::unique_ptr<WritableFile>> created = p_.CreateForWrite(path, /*create_new=*/false);
    if (!created) return {DecodeOutcome::kWriteFailed, created.status()};
    std::unique_ptr<WritableFile> out = std::move(created).value();
    FileRegionSource source(copy, kBlockHeaderSize, size);
    FileSink sink(*out);
    const DecodeStatus status = InflateStream(source, sink, block->capacity);
    const Status closed = out->Close();
    out.reset();
    if (status == DecodeStatus::kOk && closed) return {DecodeOutcome::kDone, {}};
    p_.RemoveFile(path).IgnoreError();
    // Reading the work copy or writing the destination may succeed another
    // time; the stream's own faults never will.
    switch (status) {
      case DecodeStatus::kOk: return {DecodeOutcome::kWriteFailed, closed};
      case DecodeStatus::kReadFailed: return {DecodeOutcome::kWriteFailed, source.failure()};
      case DecodeStatus::kWriteFailed: return {DecodeOutcome::kWriteFailed, sink.failure()};
      default: return {DecodeOutcome::kDamaged, {}};
    }
  }

  bool CopyWithProgress(ReadableFile& source, uint64_t offset, WritableFile& dest, uint64_t total) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kTransferBufferSize]);
    if (!buffer) {
      Log().Line("copy: not enough memory");
      if (!s_.NoInteraction) {
        p_.ShowMessage("Internal Error: Not enough memory.", "Installation", MessageIcon::kStop);
      }
      return false;
    }
    uint64_t copied = 0;
    while (copied < total) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(total - copied, kChunkSize));
      for (;;) {
        const Status read = source.ReadAt(offset + copied, buffer.get(), chunk);
        if (read) break;
        if (!AskRetry("read the installer", read)) return false;
      }
      if (StopSet()) return false;
      for (;;) {
        Status written = dest.Seek(copied);
        if (written) written = dest.Write(buffer.get(), chunk);
        if (written) break;
        if (!AskRetry("write the work file", written)) return false;
      }
      if (StopSet()) return false;
      copied += chunk;
      SetProgress(static_cast<int32_t>(kProgressStart + (kProgressCopied - kProgressStart) *
                                                            copied / total));
    }
    return true;
  }

  void RunCompanionProgram(std::string& work_folder) {
    std::vector<uint8_t> program = std::move(s_.CompanionProgram);
    s_.CompanionProgram.clear();
    s_.CompanionProgramPresent = 0;
    const std::string name = MakeWorkFileName(p_, work_folder, kWorkFileExtension);
    if (name.empty()) return;
    // The companion program is an extra: when it cannot be written or run,
    // the log says why and the installation goes on.
    {
      StatusOr<std::unique_ptr<WritableFile>> created =
          p_.CreateForWrite(name, /*create_new=*/true);
      if (!created) return Log().Failed("write the companion program", created.status());
      std::unique_ptr<WritableFile> file = std::move(created).value();
      const Status written = file->Write(program.data(), program.size());
      const Status closed = file->Close();
      if (!written || !closed) {
        file.reset();
        p_.RemoveFile(name).IgnoreError();
        return Log().Failed("write the companion program", written ? closed : written);
      }
    }
    const std::string exe = ReplaceAll(name, ".tmp", ".exe");
    const std::string command = "\"" + exe + "\" /s";
    Status ran = command.size() > kMaxPathChars
                     ? Status::Failure("run a command longer than 259 characters:", command, 0)
                     : p_.RenameFile(name, exe);
    if (!ran) {
      p_.RemoveFile(name).IgnoreError();
      return Log().Failed("run the companion program", ran);
    }
    ran = p_.RunAndWait(command);
    if (ran) {
      Log().Done("run the companion program");
    } else {
      Log().Failed("run the companion program", ran);
    }
    p_.RemoveFile(exe).IgnoreError();
  }

  void ActivateScreensaver() {
    // Other programs read this setting, so it names System32, never the
    // Sysnative alias only a 32-bit process understands.
    std::string path = ToNativeSystemPath(p_, s_.InstalledScrPath);
    if (Status on = p_.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey,
                                           kScreenSaveActiveValue, "1");
        !on) {
      Log().Failed("switch the screensaver on", on);
    }
    if (!s_.WindowsVistaOrLater) {
      if (std::optional<std::string> short_path = p_.ShortPathName(path)) path = *short_path;
    }
    if (Status set = p_.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey,
                                            kScreensaverPathValue, path);
        !set) {
      Log().Failed("make the screensaver active", set);
    }
    p_.NotifyScreensaverActive(true);
    Log().Line("active screensaver: " + path);
  }

  // After `step` failed: the copy-error prompt. Hands the request to the
  // page and waits for the answer; true for Retry. With no one to ask,
  // retries a few times after a pause, then gives up.
  bool AskRetry(const std::string& step, const Status& why) {
    Log().Failed(step, why);
    if (s_.NoInteraction) {
      if (unattended_retries_ >= kUnattendedRetries) {
        Log().Line("no one to ask: giving up after " + std::to_string(kUnattendedRetries) +
                   " retries");
        return false;
      }
      ++unattended_retries_;
      Log().Line("no one to ask: retry " + std::to_string(unattended_retries_) + " of " +
                 std::to_string(kUnattendedRetries) + " in " +
                 std::to_string(kUnattendedRetryMs) + " ms");
      for (uint32_t waited = 0; waited < kUnattendedRetryMs; waited += kPollMs) {
        if (StopSet()) return false;
        p_.SleepMs(kPollMs);
      }
      return true;
    }
    const PromptAnswer answer = link_.AskCopyError(p_);
    Log().Line(answer == PromptAnswer::kRetry ? "the user chose Retry"
                                              : "the user chose Abort Setup");
    return answer == PromptAnswer::kRetry;
  }

  bool StopSet() { return link_.StopRequested(p_); }

  // A checkpoint: true (with the Stopped result) when the user stopped.
  bool StopCheck() {
    if (!StopSet()) return false;
    result_ = WorkerResult::Stopped;
    return true;
  }

  void Fail(WorkerResult result) { result_ = result; }

  void SetProgress(int32_t value) { link_.ReportProgress(value); }

  WorkerLink& link_;
  Platform& p_;
  SetupState& s_;
  int unattended_retries_ = 0;
  WorkerResult result_ = WorkerResult::Completed;
};

}  // namespace

void InstallWorker(WorkerLink& link, Platform& p, SetupState& state) {
  // A thread entry: nothing may escape it, and the link must be finished.
  try {
    Worker(link, p, state).Run();
  } catch (...) {
    link.Finish(WorkerResult::Failed);
  }
}

}  // namespace lumiset
