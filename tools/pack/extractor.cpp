#include "extractor.h"

#include <fstream>
#include <system_error>

#include "resource_rewrite.h"
#include "version_info.h"
#include "code_page.h"
#include "file_io.h"
#include "host.h"
#include "installer_builder.h"
#include "installer_reader.h"
#include "manifest_writer.h"
#include "base/byte_io.h"
#include "names.h"
#include "scratch_path.h"

namespace lumipack {
namespace {

// zlib's header keeps a hint of the level: 0 for the fastest.
constexpr uint8_t kFastestLevelHint = 0;

Status CheckTargetFolder(const std::filesystem::path& folder) {
  const std::string name = Utf8FromPath(folder);
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(folder, ec);
  if (std::filesystem::exists(status)) {
    if (!std::filesystem::is_directory(status)) return Status::Failure(name + ": is not a folder");
    if (!std::filesystem::is_empty(folder, ec) || ec) {
      return Status::Failure(name + ": the folder is not empty");
    }
    return {};
  }
  const std::filesystem::path parent = folder.parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
    return Status::Failure(name + ": the folder " + Utf8FromPath(parent) + " does not exist");
  }
  return {};
}

Result<std::vector<uint8_t>> ReadStubPart(lumiset::ReadableFile& file, const InstallerContents& c) {
  const uint64_t size = c.where.package_offset;
  if (size > kMaxStubBytes) {
    return Status::Failure(c.name + ": the stub part is larger than " +
                           std::to_string(kMaxStubBytes) + " bytes");
  }
  std::vector<uint8_t> stub(static_cast<size_t>(size));
  if (!file.ReadAt(0, stub.data(), stub.size()))
    return Status::Failure(c.name + ": cannot be read");
  // A signed installer's stub part still points at the certificate table;
  // an unsigned stub points at nothing.
  const lumiset::PeFacts& pe = c.where.pe;
  if (pe.cert_offset != 0 && pe.cert_entry_offset + 8u <= stub.size()) {
    lumiset::StoreU32(&stub[pe.cert_entry_offset], 0);
    lumiset::StoreU32(&stub[pe.cert_entry_offset + 4], 0);
  }
  return stub;
}

Status WriteScreensaver(lumiset::ReadableFile& file, const InstallerContents& c,
                        const std::filesystem::path& path) {
  const std::string name = Utf8FromPath(path);
  Result<std::unique_ptr<NewFile>> out = NewFile::Create(path, std::nullopt);
  if (!out) return out.status();
  const uint64_t start = c.items.data_offset + lumiset::kBlockHeaderSize;
  lumiset::FileRegionSource source(file, start, c.items.data_end);
  FileSink sink(**out);
  const lumiset::DecodeStatus status =
      lumiset::InflateStream(source, sink, c.screensaver.capacity.value_or(0));
  const bool closed = (*out)->Close();
  if (status != lumiset::DecodeStatus::kOk || !closed) {
    const std::string reason = (*out)->Failure();
    return Status::Failure(name + ": cannot be written" +
                           (reason.empty() ? std::string() : " (" + reason + ")"));
  }
  return {};
}

// The file name to write into the manifest so that a rebuild stores
// `stored` again: a build drops one ".scr" from the end of the name it is
// given, so a stored name that itself ends in ".scr" gets another.
std::string FileNameSetting(const std::string& stored) {
  return EndsWithScrExtension(stored) ? stored + std::string(kScrExtension) : stored;
}

bool WasPackedFast(lumiset::ReadableFile& file, const InstallerContents& c) {
  uint8_t header[2];
  if (!file.ReadAt(c.items.data_offset + lumiset::kBlockHeaderSize, header, sizeof header)) {
    return false;
  }
  return (header[1] >> 6) == kFastestLevelHint;
}

Status WriteText(const std::filesystem::path& path, const std::string& utf8) {
  return WriteFileBytes(path,
                        std::span(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()));
}

}  // namespace

Status ExtractInstaller(const std::filesystem::path& installer, const std::filesystem::path& folder,
                        Console& console) {
  if (Status s = CheckTargetFolder(folder); !s) return s;
  Result<InstallerContents> read = ReadInstaller(installer);
  if (!read) return read.status();
  const InstallerContents& c = *read;
  if (!c.ItemsDecode()) return Status::Failure(c.name + ": cannot extract, " + c.FirstProblem());
  Result<std::unique_ptr<FileReader>> opened = FileReader::Open(installer);
  if (!opened) return opened.status();
  lumiset::ReadableFile& file = **opened;

  ScratchPath scratch(folder, ScratchPath::Kind::kFolder);
  const std::filesystem::path& dir = scratch.path();
  std::error_code ec;
  if (!std::filesystem::create_directory(dir, ec)) {
    // The scratch folder's name means nothing to the author: the folder
    // asked for and the system's reason do.
    return Status::Failure(Utf8FromPath(folder) + ": cannot be created in " +
                           Utf8FromPath(dir.parent_path().empty() ? "." : dir.parent_path()) +
                           " (" + (ec ? ec.message() : std::string("it exists")) + ")");
  }

  const lumiset::SetupRecord& r = *c.record;
  auto text = [&](const std::string& ansi) { return c.Utf8(ansi); };
  Manifest m;
  m.title = text(r.title);
  m.company = text(r.company);
  const size_t bar = r.copyright.find('|');
  m.copyright = text(r.copyright.substr(0, bar));
  if (bar != std::string::npos) m.copyright_rest = text(r.copyright.substr(bar + 1));
  m.language = r.language;
  m.file_name = FileNameSetting(text(r.scr_file_name));
  if (!r.version.empty()) m.version = text(r.version);
  if (!r.about_url.empty()) m.url = text(r.about_url);
  m.fast = WasPackedFast(file, c);
  m.show_setup_options = r.show_setup_options;
  m.open_display_properties = r.open_display_properties;
  m.create_start_menu_entry = r.create_start_menu_entry;
  m.create_desktop_icon = r.create_desktop_icon;
  m.detect_existing = r.detect_existing;
  m.show_info_page = r.show_info_page;
  m.show_header_text = r.show_header_text;
  m.header_text_color = r.header_text_color;
  m.accent_color = r.accent_color;
  if (r.reserved_low != lumiset::kNoExtension || r.reserved_high != lumiset::kNoExtension) {
    m.reserved_pair = {r.reserved_low, r.reserved_high};
  }
  if (r.HasExtension()) {
    m.extension_numbers = {r.extension.a, r.extension.b, r.extension.c, r.extension.d};
    m.extension_texts = std::array<std::string, 4>{};
    for (size_t i = 0; i < 4; ++i) (*m.extension_texts)[i] = text(r.extension.texts[i]);
  }
  if (r.reserved13 != 0) m.reserved_field = r.reserved13;
  if (!c.picture.present && r.picture_format != lumiset::kPictureBmp) {
    m.picture_format = r.picture_format;
  }

  Result<std::vector<uint8_t>> stub = ReadStubPart(file, c);
  if (!stub) return stub.status();
  // The stub carries the version information its build wrote; the manifest
  // names every text of it, so that a rebuild writes the same again.
  std::optional<std::vector<uint8_t>> version;
  if (Result<std::vector<ResourceEntry>> entries = ReadResources(*stub); entries.ok()) {
    for (const ResourceEntry& e : *entries) {
      const bool is_version = e.type == ResourceKey{kVersionResourceType, {}} &&
                              e.name == ResourceKey{kVersionResourceId, {}};
      if (is_version) version = e.data;
    }
  }
  if (const auto strings = version ? ReadVersionStrings(*version) : std::nullopt) {
    auto version_text = [&](const char* key) -> std::optional<std::string> {
      const auto found = strings->find(key);
      if (found == strings->end()) return std::string();
      return found->second;
    };
    m.vi_product_name = version_text("ProductName");
    m.vi_product_version = version_text("ProductVersion");
    m.vi_file_version = version_text("FileVersion");
    m.vi_company = version_text("CompanyName");
    m.vi_description = version_text("FileDescription");
    m.vi_copyright = version_text("LegalCopyright");
  }
  m.stub = scratch.FileInside(kExtractedStub);
  if (Status s = WriteFileBytes(*m.stub, *stub); !s) return s;

  m.screensaver = scratch.FileInside(kExtractedScreensaver);
  if (Status s = WriteScreensaver(file, c, *m.screensaver); !s) return s;

  if (!r.licence_text.empty()) {
    m.licence = scratch.FileInside(kExtractedLicence);
    if (Status s = WriteText(*m.licence, c.Utf8(r.licence_text, true)); !s) return s;
  }
  if (!r.info_text.empty()) {
    m.info = scratch.FileInside(kExtractedInfo);
    if (Status s = WriteText(*m.info, c.Utf8(r.info_text, true)); !s) return s;
  }
  if (c.picture.present) {
    const uint16_t format =
        c.picture_info ? static_cast<uint16_t>(c.picture_info->format) : r.picture_format;
    m.picture = scratch.FileInside(std::string(kExtractedPictureStem) +
                                   std::string(PictureExtension(format)));
    if (Status s = WriteFileBytes(*m.picture, c.picture_bytes); !s) return s;
    if (!c.picture_problem.empty()) {
      console.Warn(c.name + ": the page picture: " + c.picture_problem +
                   "; lumipack build will refuse it");
    }
  }
  if (c.uninstaller.present) {
    m.uninstaller = scratch.FileInside(kExtractedUninstaller);
    if (Status s = WriteFileBytes(*m.uninstaller, c.uninstaller_bytes); !s) return s;
  } else {
    // A rebuild must not take the default uninstaller the original lacks.
    m.use_uninstaller = false;
  }
  if (c.companion.present) {
    m.companion = scratch.FileInside(kExtractedCompanion);
    if (Status s = WriteFileBytes(*m.companion, c.items.companion_item); !s) return s;
  }

  const std::string manifest = WriteManifest(
      m, dir, "Extracted by lumipack extract; lumipack build rebuilds the installer from it.");
  if (Status s = WriteText(scratch.FileInside(kExtractedManifest), manifest); !s) return s;
  if (Status s = scratch.MoveFolderTo(folder); !s) return s;

  if (!console.quiet) {
    console.out << "extracted " << c.name << " into " << Utf8FromPath(folder) << "\n";
  }
  return {};
}

}  // namespace lumipack
