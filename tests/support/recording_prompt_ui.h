#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "install/prompter.h"

namespace lumiset::testing {

// Records every notice told and every copy-error prompt asked; answers the
// prompt with `answer`.
class RecordingPromptUi : public PromptUi {
 public:
  PromptAnswer AskCopyError(const CopyErrorDetails& details) override {
    asked.push_back(details);
    return answer;
  }
  void ShowNotice(Notice notice, int32_t language) override {
    notices.push_back({notice, language});
  }

  PromptAnswer answer = PromptAnswer::kAbort;
  std::vector<CopyErrorDetails> asked;
  std::vector<std::pair<Notice, int32_t>> notices;
};

}  // namespace lumiset::testing
