#pragma once

// The setup-information record: the first package item once decoded. Fields
// follow each other without gaps:
//
//   u32    length of the rest of the record
//   string title
//   u32 x2 reserved pair; unless either half is 0xFFFFFFFF the reserved
//          extension follows: u16, u16, 4 strings, u16, u16
//   string copyright ("line|anything"), company, licence text
//   u16    language (0 automatic, 1..8)
//   string screensaver file name without extension
//   u16    picture format (0 BMP, 1 JPEG, 2 PNG)
//   u16    header text flag
//   u32    header text colour, u32 accent colour (0x00BBGGRR)
//   u16    reserved
//   u16 x6 flags: setup options shown, open display properties, Start menu
//          entry, desktop icon, detect an installed copy, information page
//   u32    screensaver block length
//   string information text
//   -- optional, the extras --
//   4 bytes "LSXT", u16 count, count x (u16 tag, string)
//
// A string is a u32 length n and n bytes; its text ends at the first zero
// byte or after n bytes.
//
// The extras carry what later packers add: readers that predate them ignore
// bytes after the information text, so a package with extras still installs
// with them. Tags: 1 the screensaver's version, 2 its web page; a reader
// skips tags it does not know. Extras that do not parse, or a text over its
// limit, are dropped without failing the record.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/status.h"

namespace lumiset {

inline constexpr uint32_t kNoExtension = 0xFFFFFFFFu;

inline constexpr uint8_t kExtrasMagic[4] = {'L', 'S', 'X', 'T'};
inline constexpr uint16_t kExtraVersionTag = 1;
inline constexpr uint16_t kExtraAboutUrlTag = 2;
// Longest texts of the extras: a version such as "2.10.3 beta" and a web
// address, as the installed-programs list shows them.
inline constexpr size_t kMaxVersionChars = 64;
inline constexpr size_t kMaxAboutUrlChars = 1024;

enum PictureFormat : uint16_t { kPictureBmp = 0, kPictureJpeg = 1, kPicturePng = 2 };

struct RecordExtension {
  uint16_t a = 0;
  uint16_t b = 0;
  std::array<std::string, 4> texts;
  uint16_t c = 0;
  uint16_t d = 0;
};

// Every field as stored, before any interpretation.
struct SetupRecord {
  std::string title;
  uint32_t reserved_low = kNoExtension;
  uint32_t reserved_high = kNoExtension;
  RecordExtension extension;  // present unless a reserved half is all ones
  std::string copyright;      // the full stored text, "|" and all
  std::string company;
  std::string licence_text;
  uint16_t language = 0;
  std::string scr_file_name;
  uint16_t picture_format = kPictureBmp;
  uint16_t show_header_text = 0;
  uint32_t header_text_color = 0;
  uint32_t accent_color = 0;
  uint16_t reserved13 = 0;
  uint16_t show_setup_options = 0;
  uint16_t open_display_properties = 0;
  uint16_t create_start_menu_entry = 0;
  uint16_t create_desktop_icon = 0;
  uint16_t detect_existing = 0;
  uint16_t show_info_page = 0;
  uint32_t screensaver_block_length = 0;
  std::string info_text;
  // The extras; empty when absent. Written only when one is set.
  std::string version;    // DisplayVersion of the installed-programs entry
  std::string about_url;  // its URLInfoAbout

  bool HasExtension() const {
    return reserved_low != kNoExtension && reserved_high != kNoExtension;
  }
};

// Parses a decoded record; a kCorrupt failure when a length or a string
// runs past the record's end. Bytes after the last field are ignored unless
// they are the extras.
StatusOr<SetupRecord> ParseSetupRecord(std::span<const uint8_t> record);

// Encodes a record, with the reserved extension when HasExtension() and the
// extras when a text of theirs is set.
std::vector<uint8_t> EncodeSetupRecord(const SetupRecord& record);

// The copyright line: the stored text before its first "|".
std::string CopyrightLineOf(const std::string& stored);

// The hue of a 0x00BBGGRR colour in the HSL model, as a fraction of a turn
// in [0, 1); 0 for greys.
double AccentHue(uint32_t color);

// The language for a stored language field: the field itself unless it is
// 0, else the user's primary language mapped to one of ours (English for
// any other).
int32_t ChooseLanguage(uint16_t stored, uint16_t user_lang_id);

}  // namespace lumiset
