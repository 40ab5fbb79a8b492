#include "setup/placeholders.h"

#include <string_view>

namespace lumiset {
namespace {

std::string_view ValueOf(std::string_view name, const SetupState& state) {
  if (name == "CompanyName") return state.CompanyName;
  if (name == "ScrName" || name == "ScreenSaverTitle") return state.ScreenSaverTitle;
  if (name == "DestFolder") return state.SystemDir;
  if (name == "InstalledScrFileName") return state.InstalledScrPath;
  return "##UNKNOWN##";
}

}  // namespace

void ExpandPlaceholders(std::string& text, const SetupState& state) {
  if (text.find('{') == std::string::npos) return;
  std::string result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('{', i);
    if (open == std::string::npos) {
      result.append(text, i, std::string::npos);
      break;
    }
    result.append(text, i, open - i);
    const size_t close = text.find('}', open + 1);
    const size_t name_end = close == std::string::npos ? text.size() : close;
    const std::string_view name(text.data() + open + 1, name_end - open - 1);
    result += name.size() > kMaxPlaceholderName ? "##UNKNOWN##" : ValueOf(name, state);
    if (result.size() > kMaxExpandedText) return;
    i = close == std::string::npos ? text.size() : close + 1;
  }
  text = std::move(result);
}

}  // namespace lumiset
