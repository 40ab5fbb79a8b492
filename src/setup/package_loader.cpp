#include "setup/package_loader.h"

#include <optional>

#include "base/text.h"
#include "package/language_filter.h"
#include "package/package_format.h"
#include "setup/placeholders.h"
#include "package/setup_record.h"
#include "package/dib.h"

namespace lumiset {
namespace {

constexpr const char* kPictureExtensions[] = {".bmp", ".jpg", ".png"};

std::string PictureFileName(const std::string& work_folder, uint16_t format) {
  std::string name = work_folder + "dialog";
  if (format < std::size(kPictureExtensions)) name += kPictureExtensions[format];
  return name;
}

std::vector<uint8_t> PreparePicture(Platform& p, const std::string& work_folder,
                                    const std::vector<uint8_t>& item, uint16_t format) {
  if (item.empty() || work_folder.empty()) return {};
  const std::string file = PictureFileName(work_folder, format);
  std::vector<uint8_t> dib;
  if (WriteBlockToFile(p, item, file, kMaxPictureDecoded)) {
    if (format == kPictureBmp) {
      if (std::optional<std::vector<uint8_t>> read = ReadDibFile(p, file)) dib = std::move(*read);
    }
    // The picture is read: its work file is scratch.
    p.RemoveFile(file).IgnoreError();
  }
  return dib;
}

}  // namespace

bool IsValidScrFileName(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (unsigned char c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return false;
      default: break;
    }
  }
  return true;
}

bool LoadPackage(Platform& p, SetupState& state) {
  std::optional<PackageItems> items;
  {
    StatusOr<std::unique_ptr<ReadableFile>> opened =
        p.OpenForRead(state.ModulePath, /*share_write=*/true);
    if (!opened) return false;
    ReadableFile& file = *opened.value();
    std::optional<PackageLocation> where = LocatePackage(file);
    if (!where) return false;
    items = ReadPackageItems(file, *where);
    if (!items) return false;
  }
  std::optional<std::vector<uint8_t>> decoded = DecodeRecord(items->record_item);
  if (!decoded) return false;
  std::optional<SetupRecord> record = ParseSetupRecord(*decoded);
  if (!record || !IsValidScrFileName(record->scr_file_name)) return false;
  // The block's stated length must fit between its start and the trailer
  // (zero padding may follow it); a package cut short or rewritten fails
  // here, before anything is installed.
  const uint64_t block_length = record->screensaver_block_length;
  if (block_length < kBlockHeaderSize || items->data_end < items->data_offset ||
      block_length > items->data_end - items->data_offset) {
    return false;
  }

  const std::string installed = WithBackslash(state.SystemDir) + record->scr_file_name + ".scr";
  if (installed.size() > kMaxPathChars) return false;

  state.ScreenSaverTitle = record->title;
  state.CopyrightLine = CopyrightLineOf(record->copyright);
  state.CompanyName = record->company;
  state.LicenceText = record->licence_text;
  state.ScrFileName = record->scr_file_name;
  state.ShowHeaderText = record->show_header_text;
  state.HeaderTextColor = record->header_text_color;
  state.AccentColor = record->accent_color;
  state.AccentHue = AccentHue(record->accent_color);
  state.ShowSetupOptions = record->show_setup_options;
  state.OpenDisplayProperties = record->open_display_properties;
  state.CreateStartMenuEntry = record->create_start_menu_entry;
  state.CreateDesktopIcon = record->create_desktop_icon;
  state.DetectExisting = record->detect_existing;
  state.ShowInfoPage = record->show_info_page;
  state.InfoText = record->info_text;
  state.DisplayVersion = record->version;
  state.AboutUrl = record->about_url;
  state.XpLook = 0;
  state.UninstallerBlock = std::move(items->uninstaller_item);
  state.CompanionProgram = std::move(items->companion_item);
  state.CompanionProgramPresent = state.CompanionProgram.empty() ? 0 : 1;
  state.PackageDataOffset = items->data_offset;
  state.ScreensaverBlockLength = block_length;

  state.LanguageIndex = ChooseLanguage(record->language, p.UserDefaultLangId());
  state.InstalledScrPath = installed;
  for (std::string* text : {&state.LicenceText, &state.InfoText}) {
    if (!text->empty()) FilterLanguageBlocks(*text, state.LanguageIndex);
    ExpandPlaceholders(*text, state);
  }
  state.HeaderPicture =
      PreparePicture(p, state.WorkFolder, items->picture_item, record->picture_format);
  return true;
}

}  // namespace lumiset
