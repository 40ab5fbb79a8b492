#pragma once

#include <cstdint>
#include <string>

namespace lumiset {

// The four setup options of the welcome page: the package's defaults, then
// the command line's switches, then the user's ticks.
struct SetupChoices {
  bool set_as_default = true;
  bool start_menu_entry = false;
  bool open_display_properties = false;
  bool desktop_icon = false;
};

// How this run goes, as start-up settles it from the package's defaults and
// the command line; the one writer is ParseRunOptions.
struct RunOptions {
  bool quiet = false;            // /q: no wizard pages
  bool uninstall = false;        // /u
  bool show_pages = true;        // progress and final pages, the uninstaller's report (/f /f-)
  bool no_interaction = false;   // /n: nobody answers, so nothing ever waits for a person
  bool show_help = false;        // /? /h
  bool themed_look = false;      // /x, /w
  bool all_users = false;        // /allusers, or a run as the system account
  bool set_as_default_explicit = false;  // /d given on the command line
  std::string log_path;          // /log=PATH; empty for none
  SetupChoices choices;
};

// A run that shows the progress page alone: quiet, pages on, nobody asked.
// It opens nothing afterwards and ends by itself.
inline bool SilentWithProgress(const RunOptions& o) {
  return o.quiet && o.show_pages && o.no_interaction;
}

}  // namespace lumiset
