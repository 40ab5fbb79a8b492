#include "setup/install_log.h"

#include <atomic>

namespace lumiset {
namespace {

// Lines come from two threads; a write is short, so a spin is enough (the
// win32 thread model of the toolchain has no std::mutex).
class SpinGuard {
 public:
  explicit SpinGuard(std::atomic_flag& flag) : flag_(flag) {
    while (flag_.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~SpinGuard() { flag_.clear(std::memory_order_release); }
  SpinGuard(const SpinGuard&) = delete;
  SpinGuard& operator=(const SpinGuard&) = delete;

 private:
  std::atomic_flag& flag_;
};

std::atomic_flag g_log_busy = ATOMIC_FLAG_INIT;

const char* OnOff(int32_t flag) { return flag ? "on" : "off"; }

}  // namespace

bool InstallLog::Open(Platform& p, const std::string& path) {
  SpinGuard guard(g_log_busy);
  p_ = &p;
  StatusOr<std::unique_ptr<WritableFile>> created = p.CreateForWrite(path, /*create_new=*/false);
  file_ = created ? std::move(created).value() : nullptr;
  // A byte-order mark, so that editors take the log for UTF-8 at once.
  static constexpr char kBom[] = "\xEF\xBB\xBF";
  if (file_ && !file_->Write(kBom, sizeof kBom - 1)) file_.reset();
  return file_ != nullptr;
}

void InstallLog::Line(std::string_view text) {
  SpinGuard guard(g_log_busy);
  if (!file_) return;
  std::string line = p_->LocalTimeText();
  if (!line.empty()) line += "  ";
  line += p_->ToUtf8(std::string(text));
  line += "\r\n";
  if (!file_->Write(line.data(), line.size())) file_.reset();
}

void InstallLog::Done(std::string_view step) {
  if (!is_open()) return;
  Line(std::string(step) + ": ok");
}

void InstallLog::Failed(std::string_view step, const Status& why) {
  if (!is_open()) return;
  std::string text = std::string(step) + ": failed";
  if (!why.ok()) {
    text += ": " + why.ToString();
    const std::string message = p_->SystemMessage(why.system_code());
    if (!message.empty()) text += " (" + message + ")";
  }
  Line(text);
}

void InstallLog::IfFailed(std::string_view step, const Status& status) {
  if (!status) Failed(step, status);
}

void InstallLog::StartUpFacts(const SetupState& s, std::string_view command_line) {
  if (!is_open()) return;
  Line("started: " + std::string(command_line));
  Line("installer: " + s.ModulePath);
  Line(std::string("options: quiet ") + OnOff(s.QuietMode) + ", uninstall " +
       OnOff(s.UninstallMode) + ", pages " + OnOff(s.ShowScreens) + ", no interaction " +
       OnOff(s.NoInteraction) + ", make active " + OnOff(s.SetAsDefault) +
       ", display properties " + OnOff(s.OpenDisplayProperties) + ", start menu " +
       OnOff(s.CreateStartMenuEntry) + ", desktop " + OnOff(s.CreateDesktopIcon) +
       ", detect existing " + OnOff(s.DetectExisting));
  if (s.ExitCode == kExitDamaged) {
    Line("package: damaged or incomplete, cannot be read");
    return;
  }
  Line("package: \"" + s.ScreenSaverTitle + "\" by \"" + s.CompanyName + "\", language " +
       std::to_string(s.LanguageIndex) + ", screensaver block of " +
       std::to_string(s.ScreensaverBlockLength) + " bytes at " +
       std::to_string(s.PackageDataOffset) + (s.UninstallerBlock.empty() ? "" : ", uninstaller") +
       (s.CompanionProgramPresent ? ", companion program" : ""));
  Line("screensaver goes to: " + s.InstalledScrPath);
}

void InstallLog::Close() {
  SpinGuard guard(g_log_busy);
  if (file_) file_->Close().IgnoreError();
  file_.reset();
}

InstallLog& Log() {
  static InstallLog log;
  return log;
}

}  // namespace lumiset
