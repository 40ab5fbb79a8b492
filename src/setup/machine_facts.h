#pragma once

#include <cstdint>
#include <string>

#include "base/platform.h"

namespace lumiset {

// What start-up learns of the machine before anything else: asked once,
// read by everything after. Folders have no trailing backslash; a folder the
// system does not know is empty.
struct MachineFacts {
  bool wow64 = false;
  bool vista_or_later = true;
  bool system_account = false;
  // The system directory as the installer uses it: lower case with a
  // capital drive letter, "system32" as "Sysnative" under WOW64.
  std::string system_dir;
  std::string windows_dir;
  std::string module_path;  // this program
  std::string program_files;
  std::string programs;         // the user's Start-menu programs
  std::string desktop;          // the user's desktop
  std::string common_programs;  // every user's
  std::string common_desktop;
  uint16_t user_lang_id = 0x0409;
};

// SystemDir as the installer uses it (see MachineFacts::system_dir).
std::string FormSystemDir(std::string_view system_directory, bool wow64);

// Asks the platform. `vista_or_later` comes from the caller, who may know
// (the user-interface layer asks the system's version).
MachineFacts GatherMachineFacts(Platform& p, bool vista_or_later);

}  // namespace lumiset
