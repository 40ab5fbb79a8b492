#include "setup/switches.h"

#include <algorithm>

#include "base/text.h"

namespace lumiset {

std::string ArgumentsOf(std::string_view command_line) {
  size_t i = 0;
  if (!command_line.empty() && command_line[0] == '"') {
    const size_t close = command_line.find('"', 1);
    i = close == std::string_view::npos ? command_line.size() : close + 1;
  } else {
    while (i < command_line.size() && command_line[i] != ' ' && command_line[i] != '\t') ++i;
  }
  while (i < command_line.size() && (command_line[i] == ' ' || command_line[i] == '\t')) ++i;
  return std::string(command_line.substr(i));
}

std::string TakeLogSwitch(std::string& arguments) {
  static constexpr std::string_view kLogSwitch = "/log=";
  const size_t at = AsciiLower(arguments).find(kLogSwitch);
  if (at == std::string::npos) return {};
  size_t erase_from = at;
  size_t begin = at + kLogSwitch.size();
  // Quoted either around the path (/log="C:\My Logs\x.log") or around the
  // whole switch ("/log=C:\My Logs\x.log"), as a program starting this one
  // with an argument list writes it.
  const bool switch_quoted = at > 0 && arguments[at - 1] == '"';
  const bool path_quoted = !switch_quoted && begin < arguments.size() && arguments[begin] == '"';
  if (switch_quoted) erase_from = at - 1;
  if (path_quoted) ++begin;
  size_t end;
  size_t resume;
  if (switch_quoted || path_quoted) {
    end = std::min(arguments.find('"', begin), arguments.size());
    resume = std::min(end + 1, arguments.size());
  } else {
    end = begin;
    while (end < arguments.size() && arguments[end] != ' ' && arguments[end] != '\t') ++end;
    resume = end;
  }
  std::string path = arguments.substr(begin, end - begin);
  arguments.erase(erase_from, resume - erase_from);
  return path;
}

void ApplySwitches(std::string_view args, SetupState& s) {
  auto has = [args](std::string_view text) { return args.find(text) != std::string_view::npos; };
  if (has("/q")) {
    s.QuietMode = 1;
    s.ShowScreens = 0;
    s.OpenDisplayProperties = 0;
  }
  if (has("/u")) {
    s.UninstallMode = 1;
    s.ShowScreens = 0;
  }
  struct Pair {
    std::string_view on;
    std::string_view off;
    int32_t SetupState::*field;
  };
  static constexpr Pair kPairs[] = {
      {"/d", "/d-", &SetupState::SetAsDefault},
      {"/p", "/p-", &SetupState::OpenDisplayProperties},
      {"/m", "/m-", &SetupState::CreateStartMenuEntry},
      {"/s", "/s-", &SetupState::CreateDesktopIcon},
      {"/f", "/f-", &SetupState::ShowScreens},
      {"/x", "/w", &SetupState::XpLook},
  };
  for (const Pair& pair : kPairs) {
    if (has(pair.on)) s.*pair.field = 1;
    if (has(pair.off)) s.*pair.field = 0;
  }
  if (has("/n")) s.NoInteraction = 1;
  if (has("/?") || has("/h")) s.ShowHelp = 1;
}

RunMode DecideRunMode(const SetupState& s, bool copy_exists) {
  if (s.ShowHelp) return RunMode::kHelp;
  if (!s.DetectExisting || !copy_exists) return s.UninstallMode ? RunMode::kClose : RunMode::kInstall;
  if (s.UninstallMode) return RunMode::kUninstall;
  if (s.QuietMode) return RunMode::kInstall;
  return RunMode::kAskExisting;
}

}  // namespace lumiset
