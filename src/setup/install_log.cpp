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

const char* OnOff(bool flag) { return flag ? "on" : "off"; }

}  // namespace

bool InstallLog::Open(Platform& p, const std::string& path) {
  SpinGuard guard(g_log_busy);
  p_ = &p;
  const bool existed = p.QueryPath(path).has_value();
  StatusOr<std::unique_ptr<WritableFile>> opened = p.OpenForAppend(path);
  file_ = opened ? std::move(opened).value() : nullptr;
  // A byte-order mark opens a new log, so that editors take it for UTF-8.
  static constexpr char kBom[] = "\xEF\xBB\xBF";
  if (file_ && !existed && !file_->Write(kBom, sizeof kBom - 1)) file_.reset();
  return file_ != nullptr;
}

void InstallLog::Line(std::string_view text) {
  SpinGuard guard(g_log_busy);
  if (!file_) return;
  std::string line = p_->LocalTimeText();
  if (!line.empty()) line += "  ";
  line += text;
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
    // A failure without a system code has no system text ("Success" is none).
    const std::string message =
        why.system_code() != 0 ? p_->SystemMessage(why.system_code()) : std::string();
    if (!message.empty()) text += " (" + message + ")";
  }
  Line(text);
}

void InstallLog::IfFailed(std::string_view step, const Status& status) {
  if (!status) Failed(step, status);
}

void InstallLog::StartUpFacts(const StartUpResult& start, std::string_view command_line) {
  if (!is_open()) return;
  const RunOptions& o = start.options;
  Line("started: " + std::string(command_line));
  Line("installer: " + start.facts.module_path);
  Line(std::string("options: quiet ") + OnOff(o.quiet) + ", uninstall " + OnOff(o.uninstall) +
       ", pages " + OnOff(o.show_pages) + ", no interaction " + OnOff(o.no_interaction) +
       ", make active " + OnOff(o.choices.set_as_default) + ", display properties " +
       OnOff(o.choices.open_display_properties) + ", start menu " +
       OnOff(o.choices.start_menu_entry) + ", desktop " + OnOff(o.choices.desktop_icon) +
       ", scope " + (o.all_users ? "all users" : "this user") +
       (start.facts.system_account ? " (the system account runs it)" : ""));
  if (!start.package) {
    Line("package: damaged or incomplete, cannot be read: " + start.damage.ToString());
    return;
  }
  const PackageInfo& pkg = *start.package;
  Line("package: \"" + pkg.title + "\" by \"" + pkg.company + "\", language " +
       std::to_string(pkg.language) + ", screensaver block of " +
       std::to_string(pkg.screensaver_block_length) + " bytes at " +
       std::to_string(pkg.screensaver_block_offset) + ", detect existing " +
       OnOff(pkg.defaults.detect_existing) + (pkg.uninstaller.empty() ? "" : ", uninstaller") +
       (pkg.companion_program.empty() ? "" : ", companion program"));
  Line("screensaver goes to: " + start.facts.system_dir + "\\" + pkg.scr_file_name + ".scr");
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
