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
      if (!work_name.empty()) work = p_.CreateForWrite(work_name, /*create_new=*/true);
      if (work) break;
      if (!AskRetry("create a work file in " + work_folder)) return Fail(WorkerResult::NoWorkFile);
    }
    Log().Line("work file: " + work_name);
    SetProgress(kProgressStart);

    // 3. The installer itself, which other processes may read and write.
    std::unique_ptr<ReadableFile> package;
    for (;;) {
      package = p_.OpenForRead(s_.PackageSourcePath, /*share_write=*/true);
      if (package) break;
      if (!AskRetry("open the installer")) {
        work.reset();
        p_.RemoveFile(work_name);
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
      p_.RemoveFile(work_name);
      return Fail(WorkerResult::Failed);
    }
    package.reset();
    Log().Line("copy the screensaver block: ok, " + std::to_string(total) + " bytes");
    const bool closed = work->Close();
    work.reset();
    SetProgress(kProgressCopied);
    if (StopCheck()) {
      p_.RemoveFile(work_name);
      return;
    }

    // 6. Read the copy back; an empty or unreadable work file is a failure.
    std::unique_ptr<ReadableFile> copy;
    for (;;) {
      copy = closed ? p_.OpenForRead(work_name, /*share_write=*/false) : nullptr;
      if (copy && copy->Size() != 0) break;
      copy.reset();
      if (!AskRetry("read the work file back")) {
        p_.RemoveFile(work_name);
        return Fail(WorkerResult::Failed);
      }
    }
    SetProgress(kProgressReadBack);
    if (StopCheck()) {
      copy.reset();
      p_.RemoveFile(work_name);
      return;
    }

    // 8. Decode into the system folder, replacing an earlier copy. A damaged
    // block decodes the same way every time: it fails at once.
    for (;;) {
      if (FileExists(p_, s_.InstalledScrPath)) p_.RemoveFile(s_.InstalledScrPath);
      const DecodeOutcome decoded = DecodeInto(*copy, s_.InstalledScrPath);
      if (decoded == DecodeOutcome::kDone) break;
      if (decoded == DecodeOutcome::kDamaged) {
        Log().Line("install " + s_.InstalledScrPath +
                   ": failed: the screensaver block is damaged, no retry can help");
      }
      if (decoded == DecodeOutcome::kDamaged || !AskRetry("install " + s_.InstalledScrPath)) {
        copy.reset();
        p_.RemoveFile(work_name);
        p_.RemoveFile(s_.InstalledScrPath);
        return Fail(WorkerResult::Failed);
      }
    }
    Log().Done("install " + s_.InstalledScrPath);
    SetProgress(kProgressDecoded);
    copy.reset();
    if (StopCheck()) {
      p_.RemoveFile(work_name);
      p_.RemoveFile(s_.InstalledScrPath);
      return;
    }

    p_.RemoveFile(work_name);
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
  DecodeOutcome DecodeInto(ReadableFile& copy, const std::string& path) {
    uint8_t header[kBlockHeaderSize];
    const uint64_t size = copy.Size();
    if (size < kBlockHeaderSize) return DecodeOutcome::kDamaged;
    if (!copy.ReadAt(0, header, sizeof header)) return DecodeOutcome::kWriteFailed;
    std::optional<BlockHeader> block = ParseBlockHeader(header);
    if (!block) return DecodeOutcome::kDamaged;
    std::unique_ptr<WritableFile> out = p_.CreateForWrite(path, /*create_new=*/false);
    if (!out) return DecodeOutcome::kWriteFailed;
    FileRegionSource source(copy, kBlockHeaderSize, size);
    FileSink sink(*out);
    const DecodeStatus status = InflateStream(source, sink, block->capacity);
    const bool closed = out->Close();
    out.reset();
    if (status == DecodeStatus::kOk && closed) return DecodeOutcome::kDone;
    p_.RemoveFile(path);
    // Reading the work copy or writing the destination may succeed another
    // time; the stream's own faults never will.
    if (status == DecodeStatus::kOk || status == DecodeStatus::kReadFailed ||
        status == DecodeStatus::kWriteFailed) {
      return DecodeOutcome::kWriteFailed;
    }
    return DecodeOutcome::kDamaged;
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
      while (!source.ReadAt(offset + copied, buffer.get(), chunk)) {
        if (!AskRetry("read the installer")) return false;
      }
      if (StopSet()) return false;
      for (;;) {
        if (dest.Seek(copied) && dest.Write(buffer.get(), chunk)) break;
        if (!AskRetry("write the work file")) return false;
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
    {
      std::unique_ptr<WritableFile> file = p_.CreateForWrite(name, /*create_new=*/true);
      if (!file) return;
      const bool written = file->Write(program.data(), program.size());
      if (!file->Close() || !written) {
        file.reset();
        p_.RemoveFile(name);
        return;
      }
    }
    const std::string exe = ReplaceAll(name, ".tmp", ".exe");
    const std::string command = "\"" + exe + "\" /s";
    if (command.size() > kMaxPathChars || !p_.RenameFile(name, exe)) {
      p_.RemoveFile(name);
      return;
    }
    if (p_.RunAndWait(command)) {
      Log().Done("run the companion program");
    } else {
      Log().Failed("run the companion program");
    }
    p_.RemoveFile(exe);
  }

  void ActivateScreensaver() {
    // Other programs read this setting, so it names System32, never the
    // Sysnative alias only a 32-bit process understands.
    std::string path = ToNativeSystemPath(p_, s_.InstalledScrPath);
    p_.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey, kScreenSaveActiveValue, "1");
    if (!s_.WindowsVistaOrLater) {
      if (std::optional<std::string> short_path = p_.ShortPathName(path)) path = *short_path;
    }
    p_.WriteRegistryString(RegistryRoot::kCurrentUser, kDesktopKey, kScreensaverPathValue, path);
    p_.NotifyScreensaverActive(true);
    Log().Line("active screensaver: " + path);
  }

  // After `step` failed: the copy-error prompt. Hands the request to the
  // page and waits for the answer; true for Retry. With no one to ask,
  // retries a few times after a pause, then gives up.
  bool AskRetry(const std::string& step) {
    Log().Failed(step);
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
