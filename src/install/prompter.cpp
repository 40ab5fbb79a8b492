#include "install/prompter.h"

#include "base/language.h"
#include "package/install_names.h"
#include "setup/install_log.h"

namespace lumiset {
namespace {

constexpr uint32_t kPollMs = 100;

}  // namespace

NoticeMessage MessageOf(Notice notice) {
  switch (notice) {
    case Notice::kUninstalled: return {8003, MessageIcon::kInformation};
    case Notice::kUninstallFailed: return {8002, MessageIcon::kError};
    case Notice::kDamagedInstaller: return {8004, MessageIcon::kError};
    case Notice::kSettingsMissing: return {8011, MessageIcon::kError};
    case Notice::kNotInItsFolder: return {8012, MessageIcon::kError};
  }
  return {8002, MessageIcon::kError};
}

void MessageBoxPromptUi::ShowNotice(Notice notice, int32_t language) {
  const NoticeMessage message = MessageOf(notice);
  if (notice == Notice::kUninstallFailed) p_.Beep(MessageIcon::kInformation);
  p_.ShowLocalizedMessage(LocalizedId(message.string_id, language),
                          std::string(LocalizedCaption(language)), message.icon);
}

std::string DescribeFailure(Platform& p, const Status& why) {
  if (why.ok()) return {};
  std::string reason = why.system_code() != 0 ? p.SystemMessage(why.system_code()) : std::string();
  if (reason.empty()) {
    reason = std::string(why.what());
    if (why.code() == StatusCode::kCorrupt) reason += " (the data is damaged)";
  }
  if (why.path().empty() || reason.find(why.path()) != std::string::npos) return reason;
  return std::string(why.path()) + "\n" + reason;
}

bool Prompter::StopRequested() { return link_ && link_->StopRequested(p_); }

bool Prompter::AskRetry(std::string_view step, const Status& why) {
  Log().Failed(step, why);
  if (policy_.no_interaction) {
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
      if (StopRequested()) return false;
      p_.SleepMs(kPollMs);
    }
    return true;
  }
  const PromptAnswer answer = ui_.AskCopyError({std::string(step), why});
  Log().Line(answer == PromptAnswer::kRetry ? "the user chose Retry" : "the user chose Abort Setup");
  return answer == PromptAnswer::kRetry;
}

void Prompter::Tell(Notice notice, int32_t language) {
  bool told = false;
  switch (notice) {
    case Notice::kUninstalled: told = policy_.show_pages && !policy_.no_interaction; break;
    case Notice::kDamagedInstaller: told = !policy_.quiet && !policy_.no_interaction; break;
    case Notice::kUninstallFailed:
    case Notice::kSettingsMissing:
    case Notice::kNotInItsFolder: told = !policy_.no_interaction; break;
  }
  if (!told) return;
  ui_.ShowNotice(notice, language);
}

}  // namespace lumiset
