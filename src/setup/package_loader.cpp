#include "setup/package_loader.h"

#include <optional>

#include "base/memory_file.h"
#include "base/text.h"
#include "package/default_uninstaller.h"
#include "package/dib.h"
#include "package/install_names.h"
#include "package/language_filter.h"
#include "package/package_format.h"
#include "package/setup_record.h"
#include "setup/placeholders.h"

namespace lumiset {
namespace {

// The page picture as a packed bitmap, decoded in memory; empty for none,
// for JPEG and PNG (which the pages do not show) and for one that does not
// decode: a picture is decoration, never a reason to stop.
std::vector<uint8_t> DecodePicture(std::span<const uint8_t> item, uint16_t format) {
  if (item.empty() || format != kPictureBmp) return {};
  VectorSink sink;
  if (DecodeBlock(item, sink, kMaxPictureDecoded) != DecodeStatus::kOk) return {};
  MemoryFile file(sink.bytes());
  StatusOr<std::vector<uint8_t>> dib = ReadDib(file);
  return dib ? std::move(dib).value() : std::vector<uint8_t>{};
}

// A package that cannot be used: the stage that failed, the reader's reason
// and the installer's path, as the log shows them: "read the package's items
// (the picture item runs past the package) in C:\...\Setup.exe". A read that
// failed keeps the system's error code.
Status Damaged(std::string_view stage, const Status& reason, const std::string& path) {
  std::string what(stage);
  what += " (";
  what += reason.what();
  what += ") in";
  return Status::Failure(StatusCode::kCorrupt, what, path, reason.system_code());
}

}  // namespace

StatusOr<PackageInfo> LoadPackage(Platform& p, const MachineFacts& facts) {
  // Nobody may change the file while this run reads from it.
  StatusOr<std::unique_ptr<ReadableFile>> opened =
      p.OpenForRead(facts.module_path, /*share_write=*/false);
  if (!opened) return opened.status();
  std::shared_ptr<ReadableFile> installer = std::move(opened).value();

  StatusOr<PackageLocation> where = LocatePackage(*installer);
  if (!where) return Damaged("find the package", where.status(), facts.module_path);
  StatusOr<PackageItems> items_read = ReadPackageItems(*installer, where.value());
  if (!items_read) return Damaged("read the package's items", items_read.status(), facts.module_path);
  PackageItems* items = &items_read.value();
  StatusOr<std::vector<uint8_t>> decoded = DecodeRecord(items->record_item);
  if (!decoded) return Damaged("decode the setup record", decoded.status(), facts.module_path);
  StatusOr<SetupRecord> record_read = ParseSetupRecord(decoded.value());
  if (!record_read) return Damaged("read the setup record", record_read.status(), facts.module_path);
  SetupRecord* record = &record_read.value();

  // The package's texts are in the ANSI code page; from here on everything
  // is UTF-8.
  for (std::string* text : {&record->title, &record->company, &record->copyright,
                            &record->licence_text, &record->scr_file_name, &record->info_text,
                            &record->version, &record->about_url}) {
    *text = p.AnsiToUtf8(*text);
  }
  // Names become folders, files, links and keys: a name that is not one
  // path component, or paths too long to create, make the package unusable.
  // The packer refuses them; only a damaged or altered package has them.
  if (std::optional<std::string> problem = PackageNamesProblem(
          record->company, record->title, record->scr_file_name, record->language)) {
    return Status::Corrupt(*problem);
  }
  // The block's stated length must fit between its start and the trailer
  // (zero padding may follow it): a package cut short or rewritten fails
  // here, before anything is installed.
  const uint64_t block_length = record->screensaver_block_length;
  if (block_length < kBlockHeaderSize || items->data_end < items->data_offset ||
      block_length > items->data_end - items->data_offset) {
    return Status::Corrupt("find the whole screensaver block in", facts.module_path);
  }

  PackageInfo info;
  if (!items->uninstaller_item.empty()) {
    VectorSink sink;
    if (DecodeBlock(items->uninstaller_item, sink, kMaxUninstallerDecoded) != DecodeStatus::kOk ||
        sink.bytes().empty()) {
      return Status::Corrupt("decode the uninstaller in", facts.module_path);
    }
    info.uninstaller = std::move(sink.bytes());
    info.uninstaller_is_default = IsDefaultUninstaller(info.uninstaller);
  }

  info.company = record->company;
  info.title = record->title;
  info.scr_file_name = record->scr_file_name;
  info.copyright_line = CopyrightLineOf(record->copyright);
  info.version = record->version;
  info.about_url = record->about_url;
  info.stored_language = record->language;
  info.language = ChooseLanguage(record->language, facts.user_lang_id);
  info.defaults.show_setup_options = record->show_setup_options != 0;
  info.defaults.open_display_properties = record->open_display_properties != 0;
  info.defaults.start_menu_entry = record->create_start_menu_entry != 0;
  info.defaults.desktop_icon = record->create_desktop_icon != 0;
  info.defaults.detect_existing = record->detect_existing != 0;
  info.defaults.show_info_page = record->show_info_page != 0;
  info.show_header_text = record->show_header_text != 0;
  info.header_text_color = record->header_text_color;
  info.accent_hue = AccentHue(record->accent_color);
  info.header_picture = DecodePicture(items->picture_item, record->picture_format);
  info.companion_program = std::move(items->companion_item);
  info.installer = std::move(installer);
  info.screensaver_block_offset = items->data_offset;
  info.screensaver_block_length = block_length;

  const PlaceholderValues values = PlaceholderValuesOf(info, facts);
  info.licence_text = record->licence_text;
  info.info_text = record->info_text;
  for (std::string* text : {&info.licence_text, &info.info_text}) {
    if (!text->empty()) FilterLanguageBlocks(*text, info.language);
    ExpandPlaceholders(*text, values);
  }
  return info;
}

}  // namespace lumiset
