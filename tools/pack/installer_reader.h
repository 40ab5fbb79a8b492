#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ansi_text.h"
#include "authenticode.h"
#include "code_page.h"
#include "file_io.h"
#include "package/package_format.h"
#include "package/setup_record.h"
#include "picture.h"
#include "result.h"
#include "screensaver_lint.h"

namespace lumipack {

// One package item as found and as decoded.
struct ItemCheck {
  bool present = false;
  uint64_t offset = 0;       // of the item's bytes in the file
  uint64_t stored_size = 0;  // its bytes in the file
  // Whether it is a compressed block, whose zlib stream carries a check
  // value; the companion program is stored as is, with nothing to check
  // its bytes against.
  bool compressed = true;
  std::optional<uint32_t> capacity;  // the stated decoded size, once read
  uint64_t decoded_size = 0;
  lumiset::DecodeStatus status = lumiset::DecodeStatus::kOk;

  bool ok() const { return !present || status == lumiset::DecodeStatus::kOk; }
};

// Everything an installer's package holds, each block decoded to check it.
// The screensaver is only counted, not kept: it may be large.
struct InstallerContents {
  std::string name;
  uint64_t file_size = 0;
  lumiset::PackageLocation where;
  lumiset::PackageItems items;
  std::optional<lumiset::PeFacts> stub_pe;
  // The Authenticode digest of a signed installer against its bytes.
  SignatureCheck signature;

  ItemCheck record_item;
  std::optional<lumiset::SetupRecord> record;  // when the record decodes and parses
  CodePage code_page = CodePage::kWindows1252;

  ItemCheck picture;
  std::vector<uint8_t> picture_bytes;
  std::optional<PictureInfo> picture_info;
  // Why the decoded picture is not one the installer can use (not a BMP,
  // JPEG or PNG file, or one that does not decode whole); empty when it is.
  std::string picture_problem;

  ItemCheck uninstaller;
  std::vector<uint8_t> uninstaller_bytes;
  std::optional<lumiset::PeFacts> uninstaller_pe;

  ItemCheck companion;
  std::optional<lumiset::PeFacts> companion_pe;

  ItemCheck screensaver;  // its stored size runs to the trailer, padding included
  std::optional<lumiset::PeFacts> screensaver_pe;
  // What the lint finds in the screensaver, for one that decodes.
  std::vector<LintFinding> screensaver_findings;

  // The embedded programs' own signatures, checked on their decoded bytes.
  SignatureCheck uninstaller_signature;
  SignatureCheck companion_signature;
  SignatureCheck screensaver_signature;

  // Whether the record's screensaver block length fits the block: the
  // bytes up to the trailer are the block and under 8 bytes of padding.
  bool BlockLengthMatches() const;

  // A record text as UTF-8; `has_blocks` for the licence and information
  // texts, whose language blocks have code pages of their own.
  std::string Utf8(const std::string& stored, bool has_blocks = false) const;

  // Whether every compressed item decodes and the record parses: the
  // package can be taken apart.
  bool ItemsDecode() const;
  // ItemsDecode(), and the picture is sound.
  bool ok() const;
  // The first problem found, for messages; empty when ok().
  std::string FirstProblem() const;
};

// Reads an installer's package and decodes every item. Fails (with a
// message naming the file) only when no package can be found or its items
// cannot be read; damage inside an item is reported in the contents.
Result<InstallerContents> ReadInstaller(const std::filesystem::path& path);

// A reader's view of a decode status: "ok", "corrupt", ...
std::string_view DecodeStatusName(lumiset::DecodeStatus status);

// The record's texts in the order the record stores them; they point into
// the record.
std::vector<StoredText> RecordTexts(const lumiset::SetupRecord& record);

}  // namespace lumipack
