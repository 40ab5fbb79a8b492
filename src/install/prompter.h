#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/platform.h"
#include "install/worker_link.h"
#include "setup/run_options.h"

namespace lumiset {

// What a run may tell the user when it ends, as localized messages.
enum class Notice {
  kUninstalled,       // "Screensaver successfully uninstalled."
  kUninstallFailed,   // the screensaver file could not be deleted
  kDamagedInstaller,  // the package cannot be read
  kSettingsMissing,   // the default uninstaller found no settings beside it
  kNotInItsFolder,    // the default uninstaller runs outside its installation's folder
};

// Who may be asked or told anything in this run, from its switches.
struct PromptPolicy {
  bool quiet = false;           // no wizard pages (/q)
  bool show_pages = true;       // progress and final pages, and the success report
  bool no_interaction = false;  // nobody is there: nothing may ever wait for a person
};

inline PromptPolicy PolicyOf(const RunOptions& o) {
  return {o.quiet, o.show_pages, o.no_interaction};
}

// How a question or a message reaches the user: the pages and message
// boxes of the installer, or of the default uninstaller.
class PromptUi {
 public:
  virtual ~PromptUi() = default;
  // The copy-error prompt; the worker thread may call it.
  virtual PromptAnswer AskCopyError(const CopyErrorDetails& details) = 0;
  virtual void ShowNotice(Notice notice, int32_t language) = 0;
};

// The copy-error prompt on the worker's side: the request, with what
// failed, goes through the link to the page (or the windowless run) that
// shows the prompt on the user-interface thread.
class LinkPromptUi final : public PromptUi {
 public:
  LinkPromptUi(WorkerLink& link, Platform& p) : link_(link), p_(p) {}
  PromptAnswer AskCopyError(const CopyErrorDetails& details) override {
    return link_.AskCopyError(p_, details);
  }
  // No notice comes from the worker.
  void ShowNotice(Notice, int32_t) override {}

 private:
  WorkerLink& link_;
  Platform& p_;
};

// Notices as the platform's message boxes, each with its localized text and
// caption; no copy-error prompt (there is none outside an installation).
class MessageBoxPromptUi final : public PromptUi {
 public:
  explicit MessageBoxPromptUi(Platform& p) : p_(p) {}
  PromptAnswer AskCopyError(const CopyErrorDetails&) override { return PromptAnswer::kAbort; }
  void ShowNotice(Notice notice, int32_t language) override;

 private:
  Platform& p_;
};

// The localized string of a notice (its base id) and its icon.
struct NoticeMessage {
  int string_id;
  MessageIcon icon;
};
NoticeMessage MessageOf(Notice notice);

// A failure as the user reads it: the file and the system's reason, or
// what could not be done.
std::string DescribeFailure(Platform& p, const Status& why);

// The one place that decides, by the run's policy, who may ask what. A
// failed step is put to the user as the copy-error prompt; with nobody to
// ask it is tried again a few times, a moment apart (a file held for a
// moment, say), then given up. Notices go out by their kind: the success
// report only when pages are shown, the damaged-installer message only in
// an interactive run, the others unless nobody is there. Every question,
// answer and notice is logged.
class Prompter {
 public:
  // `link` is the worker's hand-over, whose stop flag ends unattended
  // waits; null outside an installation.
  Prompter(PromptPolicy policy, PromptUi& ui, Platform& p, WorkerLink* link = nullptr)
      : policy_(policy), ui_(ui), p_(p), link_(link) {}

  // After `step` failed for `why`: true to try it again. Worker thread.
  bool AskRetry(std::string_view step, const Status& why);
  // Tells of an outcome in `language`, when this run tells anyone.
  void Tell(Notice notice, int32_t language);
  // Whether the user may be asked anything at all.
  bool MayAsk() const { return !policy_.no_interaction; }

  // Retries without anyone to ask, and the pause before each.
  static constexpr int kUnattendedRetries = 10;
  static constexpr uint32_t kUnattendedRetryMs = 500;

 private:
  bool StopRequested();

  PromptPolicy policy_;
  PromptUi& ui_;
  Platform& p_;
  WorkerLink* link_;
  int unattended_retries_ = 0;
};

}  // namespace lumiset
