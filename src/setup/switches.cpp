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

RunOptions ParseRunOptions(std::string_view args, const PackageDefaults& defaults,
                           const MachineFacts& facts) {
  auto has = [args](std::string_view text) { return args.find(text) != std::string_view::npos; };
  RunOptions o;
  o.choices.open_display_properties = defaults.open_display_properties;
  o.choices.start_menu_entry = defaults.start_menu_entry;
  o.choices.desktop_icon = defaults.desktop_icon;
  if (has("/q")) {
    o.quiet = true;
    o.show_pages = false;
    o.choices.open_display_properties = false;
  }
  if (has("/u")) {
    o.uninstall = true;
    o.show_pages = false;
  }
  struct Pair {
    std::string_view on;
    std::string_view off;
    bool* flag;
  };
  const Pair pairs[] = {
      {"/d", "/d-", &o.choices.set_as_default},
      {"/p", "/p-", &o.choices.open_display_properties},
      {"/m", "/m-", &o.choices.start_menu_entry},
      {"/s", "/s-", &o.choices.desktop_icon},
      {"/f", "/f-", &o.show_pages},
      {"/x", "/w", &o.themed_look},
  };
  for (const Pair& pair : pairs) {
    if (has(pair.on)) *pair.flag = true;
    if (has(pair.off)) *pair.flag = false;
  }
  // "/d" alone: "/d-" also holds "/d".
  o.set_as_default_explicit = has("/d") && !has("/d-");
  if (has("/n")) o.no_interaction = true;
  if (has("/allusers") || facts.system_account) o.all_users = true;
  if (has("/?") || has("/h")) o.show_help = true;
  return o;
}

RunMode DecideRunMode(const RunOptions& o, const PackageDefaults& defaults, bool copy_exists) {
  if (o.show_help) return RunMode::kHelp;
  if (!defaults.detect_existing || !copy_exists) {
    return o.uninstall ? RunMode::kClose : RunMode::kInstall;
  }
  if (o.uninstall) return RunMode::kUninstall;
  if (o.quiet) return RunMode::kInstall;
  return RunMode::kAskExisting;
}

}  // namespace lumiset
