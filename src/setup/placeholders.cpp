#include "setup/placeholders.h"

#include <string_view>

namespace lumiset {
namespace {

std::string_view ValueOf(std::string_view name, const PlaceholderValues& values) {
  if (name == "CompanyName") return values.company;
  if (name == "ScrName" || name == "ScreenSaverTitle") return values.title;
  if (name == "DestFolder") return values.dest_folder;
  if (name == "InstalledScrFileName") return values.installed_scr_path;
  return "##UNKNOWN##";
}

}  // namespace

PlaceholderValues PlaceholderValuesOf(const PackageInfo& package, const MachineFacts& facts) {
  return {package.company, package.title, facts.system_dir,
          facts.system_dir + "\\" + package.scr_file_name + ".scr"};
}

void ExpandPlaceholders(std::string& text, const PlaceholderValues& values) {
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
    result += name.size() > kMaxPlaceholderName ? "##UNKNOWN##" : ValueOf(name, values);
    if (result.size() > kMaxExpandedText) return;
    i = close == std::string::npos ? text.size() : close + 1;
  }
  text = std::move(result);
}

}  // namespace lumiset
