#pragma once

#include <string>
#include <vector>

#include "base/platform.h"
#include "install/install_plan.h"
#include "install/prompter.h"
#include "install/worker_link.h"
#include "setup/machine_facts.h"
#include "setup/package_info.h"

namespace lumiset {

// What the progress page hands the wizard: how the installation ended.
enum class InstallOutcome : int32_t { Completed = 0, Failed = 1, Interrupted = 2 };

// How an installation came out, with what is on disk afterwards.
struct InstallResult {
  InstallOutcome outcome = InstallOutcome::Completed;
  // The screensaver block is damaged: the installer is, and no retry helps.
  bool damaged = false;
  // The new screensaver took its place. A failure after that (a finishing
  // step) leaves it installed; before it, the system folder is as it was.
  bool screensaver_placed = false;
  // A screensaver of this name was there before, and is untouched when the
  // new one was not placed.
  bool earlier_copy = false;
  // The setting was left alone because a Group Policy decides it.
  bool policy_decides = false;
  // The first step that failed and why; empty for a completed run.
  std::string failed_step;
  Status failure;
  // Every file the installation created, for its record.
  std::vector<std::string> created_files;
};

// The progress values of the installation: the screensaver's decoding runs
// from the start to its placement; the rest follows.
inline constexpr int32_t kProgressStart = 3;
inline constexpr int32_t kProgressPlaced = 80;
inline constexpr int32_t kProgressDone = 98;

// The whole installation, on the installation worker's thread: the
// screensaver decoded straight from the held installer file into a staged
// file beside its destination and put in its place in one step, the
// earlier copy of another name removed, the companion program run, the
// screensaver activated (unless a policy decides), then the uninstaller
// with its entry, the links and the installed-files record. Reports
// progress and honours the stop flag through `link` up to the placement,
// asks `prompter` after a failed step, and returns what happened. A failed
// finishing step is reported and the others still run, so that what was
// installed can be removed.
InstallResult Install(const InstallPlan& plan, const PackageInfo& package,
                      const MachineFacts& facts, Platform& p, Prompter& prompter,
                      WorkerLink& link);

}  // namespace lumiset
