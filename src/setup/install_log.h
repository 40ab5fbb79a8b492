#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "setup/startup.h"

namespace lumiset {

// The admin's log (/log=PATH): plain UTF-8 text, one line per event, each
// line written through at once so that a killed installer leaves what it
// logged. Logging never changes the outcome: a log that cannot be opened
// or written is dropped and the installation goes on. Safe to call from
// the user-interface thread and the installation worker; every call does
// nothing while no log is open.
class InstallLog {
 public:
  // Opens the log file for appending, creating it when missing: a run
  // never destroys what a file held before. False when it cannot be opened.
  bool Open(Platform& p, const std::string& path);
  bool is_open() const { return file_ != nullptr; }

  // One line: the local time, then `text` (UTF-8).
  void Line(std::string_view text);
  // "STEP: ok".
  void Done(std::string_view step);
  // "STEP: failed: WHAT PATH: error CODE (the system's text)"; "STEP:
  // failed" when `why` holds no cause.
  void Failed(std::string_view step, const Status& why);
  // Failed(step, status) when the status is a failure; nothing otherwise.
  void IfFailed(std::string_view step, const Status& status);
  // The package facts and the options in force, once start-up is done.
  void StartUpFacts(const StartUpResult& start, std::string_view command_line);
  void Close();

 private:
  Platform* p_ = nullptr;
  std::unique_ptr<WritableFile> file_;
};

// The process's one log.
InstallLog& Log();

}  // namespace lumiset
