#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/platform.h"

namespace lumiset {

// The package's defaults for the run options and the setup choices.
struct PackageDefaults {
  bool show_setup_options = false;
  bool open_display_properties = false;
  bool start_menu_entry = false;
  bool desktop_icon = false;
  bool detect_existing = false;
  bool show_info_page = false;
};

// What the installer's package holds, read once at start-up and never
// changed afterwards. Texts are UTF-8.
struct PackageInfo {
  std::string company;
  std::string title;
  std::string scr_file_name;   // without ".scr"
  std::string copyright_line;
  std::string licence_text;    // filtered for the language, placeholders expanded
  std::string info_text;       // the same
  std::string version;         // empty when the package has none
  std::string about_url;       // empty when the package has none
  // The package's language setting: 0 (chosen from the user's settings) or
  // 1 to 8; `language` is the one this run uses.
  uint16_t stored_language = 0;
  int32_t language = 1;
  PackageDefaults defaults;

  // The page look.
  std::vector<uint8_t> header_picture;  // a packed bitmap; empty when none can be shown
  bool show_header_text = false;
  uint32_t header_text_color = 0;  // 0x00BBGGRR
  double accent_hue = 0.0;         // [0, 1)

  // The uninstaller, decoded; empty when the package has none.
  std::vector<uint8_t> uninstaller;
  bool uninstaller_is_default = false;  // the default one, which honours /q
  std::vector<uint8_t> companion_program;  // stored as is; empty when none

  // The installer file, opened once and held so that nobody can write,
  // rename or delete it while this run reads it; and where the screensaver
  // block lies in it.
  std::shared_ptr<ReadableFile> installer;
  uint64_t screensaver_block_offset = 0;
  uint64_t screensaver_block_length = 0;
};

}  // namespace lumiset
