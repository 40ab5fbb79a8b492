#include "installer_builder.h"

#include <system_error>
#include <tuple>
#include <vector>

#include "ansi_text.h"
#include "file_io.h"
#include "icon_file.h"
#include "host.h"
#include "language.h"
#include "names.h"
#include "base/byte_io.h"
#include "base/memory_file.h"
#include "base/text.h"
#include "package/default_uninstaller.h"
#include "package/package_format.h"
#include "package/setup_record.h"
#include "parallel_deflate.h"
#include "pe_image.h"
#include "picture.h"
#include "progress_bar.h"
#include "resource_rewrite.h"
#include "scratch_path.h"
#include "screensaver_lint.h"
#include "signer.h"
#include "text_checks.h"
#include "version_info.h"

namespace lumipack {
namespace {

using lumiset::kMaxCompanionItem;
using lumiset::kMaxPictureDecoded;
using lumiset::kMaxPictureItem;
using lumiset::kMaxRecordDecoded;
using lumiset::kMaxRecordItem;
using lumiset::kMaxUninstallerDecoded;
using lumiset::kMaxUninstallerItem;

// The parts of the progress bar: compressing the screensaver takes most of
// the time, writing the installer the rest; 100 % once it is in place.
constexpr unsigned kCompressedPercent = 90;
constexpr unsigned kWrittenPercent = 99;

// Compresses blocks at one level on a number of threads.
class Compressor {
 public:
  Compressor(int level, unsigned threads) : level_(level), threads_(threads) {}

  int level() const { return level_; }

  // "TVZB", the content's size and the content's zlib stream, the stream
  // written straight behind the core's block header.
  DeflateOptions Options(ProgressBar* bar = nullptr) const {
    DeflateOptions options;
    options.level = level_;
    options.threads = threads_;
    if (bar != nullptr) options.progress = [bar](uint64_t done) { bar->Update(done); };
    return options;
  }

  Result<std::vector<uint8_t>> Block(std::span<const uint8_t> content,
                                     const std::string& label) const {
    std::vector<uint8_t> block = lumiset::WrapBlock(static_cast<uint32_t>(content.size()), {});
    if (!AppendParallelDeflate(content, Options(), block)) {
      return Status::Failure(label + ": compression failed (out of memory?)");
    }
    return block;
  }

 private:
  int level_;
  unsigned threads_;
};

Status TooLarge(const std::string& what, uint64_t size, uint64_t limit, const Place& place = {}) {
  return Status::Failure(what + ": " + std::to_string(size) + " bytes compressed, more than the " +
                             std::to_string(limit) + " bytes the installer accepts",
                         place);
}

// A failure to read the file a setting names: the message says which
// setting, and where it was set, so the user knows what to change.
Status ReadFailure(const Manifest& m, const char* key, const Status& failure) {
  return Status::Failure(m.OriginOf(key) + ": " + failure.message(), m.PlaceOf(key));
}

// The whole of a program file; `key` names the setting that gave it, or is
// null for a file no setting named.
Result<std::vector<uint8_t>> ReadProgram(const Manifest& m, const char* key,
                                         const std::filesystem::path& path, uint64_t limit) {
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(path, limit);
  if (bytes && bytes->empty()) {
    bytes = Status::Failure(Utf8FromPath(path) + ": the file is empty");
  }
  if (!bytes && key != nullptr) return ReadFailure(m, key, bytes.status());
  return bytes;
}

Status CheckName(const Manifest& m, const char* key, std::string_view label,
                 const std::string& value) {
  if (std::optional<std::string> problem = NameProblem(value)) {
    return Status::Failure(m.OriginOf(key) + ": the " + std::string(label) + " \"" + value +
                               "\" cannot be used: " + *problem,
                           m.PlaceOf(key));
  }
  return {};
}

std::string StemOf(const std::filesystem::path& path) { return Utf8FromPath(path.stem()); }

// `name` without a final ".scr" in any letter case: the installer adds it,
// so a name given with it would be installed as NAME.scr.scr.
std::string WithoutScrExtension(std::string name) {
  if (EndsWithScrExtension(name)) name.resize(name.size() - kScrExtension.size());
  return name;
}

constexpr const char* kStubAdvice =
    "name lumiset.exe or lumiset64.exe with --stub or 'stub', or leave it out to take the one "
    "beside lumipack";

// Whether a program carries what only the installer stub carries among its
// resources: its dialog pages (RCDATA "DIALOGS") and its command-line help
// (RCDATA "HELPDOCS", one document a language; stubs before the translated
// help carried one RTF "HELP"). Screensavers, uninstallers and other
// programs do not.
bool HasStubResources(std::span<const uint8_t> program) {
  constexpr uint16_t kRcData = 10;
  Result<std::vector<ResourceEntry>> entries = ReadResources(program);
  if (!entries) return false;
  bool pages = false;
  bool help = false;
  for (const ResourceEntry& e : *entries) {
    pages = pages || (e.type.name.empty() && e.type.id == kRcData && e.name.name == u"DIALOGS");
    help = help || (e.type.name.empty() && e.type.id == kRcData && e.name.name == u"HELPDOCS") ||
           (e.type.name == u"RTF" && e.name.name == u"HELP");
  }
  return pages && help;
}

struct Stub {
  std::vector<uint8_t> bytes;
  lumiset::PeFacts pe;
  std::filesystem::path path;
  Arch arch = Arch::kX86;
};

// The stub for a screensaver of `scr`: the one the settings name, or the one
// beside the packer for the architecture asked for (by default the
// screensaver's own). A stub that contradicts an architecture asked for
// explicitly is refused.
Result<Stub> ReadStub(const BuildRequest& request, const lumiset::PeFacts& scr,
                      const std::string& scr_name) {
  const Manifest& m = request.settings;
  const std::optional<Arch> wanted = m.arch ? m.arch : ArchOf(scr);
  std::optional<std::filesystem::path> path = m.stub;
  if (!path) {
    if (!wanted) {
      return Status::Failure(scr_name + ": a " + PeKindName(scr) +
                                 " has no matching stub; choose one with --arch x86|x64 or --stub",
                             m.PlaceOf(keys::kScreensaver));
    }
    const char* stub_name = *wanted == Arch::kX64 ? kStubNameX64 : kStubNameX86;
    std::error_code ec;
    if (request.stub_folder &&
        std::filesystem::is_regular_file(*request.stub_folder / stub_name, ec)) {
      path = *request.stub_folder / stub_name;
    } else {
      return Status::Failure("no stub: put " + std::string(stub_name) +
                                 " beside lumipack, or name it with --stub or 'stub'",
                             Place{{}, 0, 0, keys::kStub});
    }
  }
  const std::string name = Utf8FromPath(*path);
  const Place place = m.PlaceOf(keys::kStub);
  Result<std::vector<uint8_t>> bytes =
      ReadProgram(m, m.stub ? keys::kStub : nullptr, *path, kMaxStubBytes);
  if (!bytes) return bytes.status();
  std::optional<lumiset::PeFacts> pe = ReadPeOf(*bytes);
  if (!pe) {
    return Status::Failure(name + ": the stub is not a PE image (a Windows program)", place);
  }
  const std::optional<Arch> stub_arch = ArchOf(*pe);
  if (!stub_arch) {
    return Status::Failure(
        name + ": the stub is a " + PeKindName(*pe) + ", not an x86 or x64 program", place);
  }
  if (m.arch && *m.arch != *stub_arch) {
    return Status::Failure(name + ": the stub is a " + std::string(ArchDescription(*stub_arch)) +
                               " program, but " + m.OriginOf(keys::kArch) + " asks for " +
                               std::string(ArchDescription(*m.arch)),
                           m.PlaceOf(keys::kArch));
  }
  if (pe->cert_offset != 0) {
    return Status::Failure(name +
                               ": the stub is signed; use an unsigned stub and sign the "
                               "finished installer with --sign-with",
                           place);
  }
  lumiset::MemoryFile file(*bytes);
  if (lumiset::StatusOr<lumiset::PackageLocation> where = lumiset::LocatePackage(file)) {
    lumiset::StatusOr<lumiset::PackageItems> items = lumiset::ReadPackageItems(file, *where);
    if (items && lumiset::DecodeRecord(items->record_item)) {
      return Status::Failure(name + ": the stub already carries a package; is it an installer?",
                             place);
    }
  }
  if (lumiset::IsDefaultUninstaller(*bytes)) {
    return Status::Failure(name + ": is Lumiset's default uninstaller, not the installer stub; " +
                               kStubAdvice,
                           place);
  }
  if (!HasStubResources(*bytes)) {
    return Status::Failure(name + ": not a Lumiset installer stub (it lacks the installer's pages " +
                               "and help among its resources); " + kStubAdvice,
                           place);
  }
  return Stub{std::move(*bytes), *pe, *path, *stub_arch};
}

Result<std::string> ReadText(const Manifest& m, const char* key,
                             const std::optional<std::filesystem::path>& path, Console& console) {
  if (!path) return std::string();
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(*path, kMaxTextFileBytes);
  if (!bytes) return ReadFailure(m, key, bytes.status());
  std::string text(bytes->begin(), bytes->end());
  const std::string name = Utf8FromPath(*path);
  for (const TextWarning& warning : TextWarnings(text, name)) {
    console.Warn(warning.message, Place{name, warning.line, warning.column, key});
  }
  return text;
}

// The record with its texts converted and every other field from the
// settings or its default; the picture format and the screensaver block's
// length are filled in later.
struct RecordDraft {
  lumiset::SetupRecord record;
  CodePage code_page = CodePage::kWindows1252;
  std::string file_name;  // UTF-8, for the summary
};

// The version and the web page, as the installed-programs list shows them:
// one line each within the installer's limits, the page a web address.
Status CheckVersionAndUrl(const Manifest& m) {
  const std::tuple<const char*, const std::optional<std::string>*, size_t> texts[] = {
      {keys::kVersion, &m.version, lumiset::kMaxVersionChars},
      {keys::kUrl, &m.url, lumiset::kMaxAboutUrlChars}};
  for (const auto& [key, value, limit] : texts) {
    if (!*value) continue;
    const std::string& text = **value;
    const std::string where = m.OriginOf(key) + ": ";
    if (text.empty()) return Status::Failure(where + "is empty; leave it out instead", m.PlaceOf(key));
    if (text.size() > limit) {
      return Status::Failure(where + "is longer than " + std::to_string(limit) + " bytes",
                             m.PlaceOf(key));
    }
    for (unsigned char c : text) {
      if (c < 0x20 || c == 0x7F) {
        return Status::Failure(where + "must be one line without control characters",
                               m.PlaceOf(key));
      }
    }
  }
  if (m.url) {
    const std::string lower = lumiset::AsciiLower(*m.url);
    const bool web = (lower.starts_with("http://") && lower.size() > 7) ||
                     (lower.starts_with("https://") && lower.size() > 8);
    if (!web || m.url->find(' ') != std::string::npos) {
      return Status::Failure(m.OriginOf(keys::kUrl) +
                                 ": must be a web address starting with http:// or https://, "
                                 "without spaces",
                             m.PlaceOf(keys::kUrl));
    }
  }
  return {};
}

Result<RecordDraft> DraftRecord(const Manifest& m, Console& console) {
  // Names first: they are quick to check and the most likely to be wrong.
  RecordDraft draft;
  draft.file_name = m.file_name ? WithoutScrExtension(*m.file_name) : StemOf(*m.screensaver);
  const std::string scr_name = Utf8FromPath(*m.screensaver);
  if (Status s = CheckName(m, keys::kTitle, "title", *m.title); !s) return s;
  if (Status s = CheckName(m, keys::kCompany, "company", *m.company); !s) return s;
  if (m.file_name) {
    if (Status s = CheckName(m, keys::kFileName, "file name", draft.file_name); !s) return s;
  } else if (std::optional<std::string> problem = NameProblem(draft.file_name)) {
    return Status::Failure(scr_name + ": the file name \"" + draft.file_name +
                               "\" cannot be used: " + *problem + "; set 'file_name' to another",
                           m.PlaceOf(keys::kScreensaver));
  }
  if (Status s = CheckVersionAndUrl(m); !s) return s;
  const std::string copyright_line = m.copyright.value_or("");
  if (std::optional<std::string> problem = CopyrightLineProblem(copyright_line)) {
    return Status::Failure(
        m.OriginOf(keys::kCopyright) + ": the copyright line cannot be used: " + *problem,
        m.PlaceOf(keys::kCopyright));
  }

  Result<std::string> licence = ReadText(m, keys::kLicence, m.licence, console);
  if (!licence) return licence.status();
  Result<std::string> info = ReadText(m, keys::kInfo, m.info, console);
  if (!info) return info.status();

  // Every text of the record goes through one conversion, so they share one
  // code page.
  std::string copyright = copyright_line;
  if (m.copyright_rest) copyright += "|" + *m.copyright_rest;
  auto file_place = [](const std::optional<std::filesystem::path>& path, const char* key) {
    return Place{path ? Utf8FromPath(*path) : std::string(), 0, 0, key};
  };
  lumiset::SetupRecord& r = draft.record;
  if (m.reserved_pair) {
    r.reserved_low = (*m.reserved_pair)[0];
    r.reserved_high = (*m.reserved_pair)[1];
  }
  // Each text beside the record field it becomes. Texts the record has no
  // place for are still converted, so they are checked all the same.
  std::vector<TextInput> texts;
  std::vector<std::string*> fields;
  auto add = [&](TextInput input, std::string* field) {
    texts.push_back(std::move(input));
    fields.push_back(field);
  };
  add({*m.title, m.OriginOf(keys::kTitle), false, m.PlaceOf(keys::kTitle)}, &r.title);
  add({copyright, m.OriginOf(keys::kCopyright), false, m.PlaceOf(keys::kCopyright)},
      &r.copyright);
  add({*m.company, m.OriginOf(keys::kCompany), false, m.PlaceOf(keys::kCompany)}, &r.company);
  add({*licence, m.licence ? Utf8FromPath(*m.licence) : "", true,
       file_place(m.licence, keys::kLicence)},
      &r.licence_text);
  add({draft.file_name, m.file_name ? m.OriginOf(keys::kFileName) : scr_name, false,
       m.PlaceOf(m.file_name ? keys::kFileName : keys::kScreensaver)},
      &r.scr_file_name);
  add({*info, m.info ? Utf8FromPath(*m.info) : "", true, file_place(m.info, keys::kInfo)},
      &r.info_text);
  if (m.extension_texts) {
    for (size_t i = 0; i < m.extension_texts->size(); ++i) {
      add({(*m.extension_texts)[i], m.OriginOf(keys::kExtensionTexts), false,
           m.PlaceOf(keys::kExtensionTexts)},
          r.HasExtension() ? &r.extension.texts[i] : nullptr);
    }
  }
  add({m.version.value_or(""), m.OriginOf(keys::kVersion), false, m.PlaceOf(keys::kVersion)},
      &r.version);
  add({m.url.value_or(""), m.OriginOf(keys::kUrl), false, m.PlaceOf(keys::kUrl)}, &r.about_url);
  const uint16_t language = m.language.value_or(kAutoLanguage);
  if (std::optional<std::string> problem =
          InstallPathsProblem(*m.company, *m.title, draft.file_name, language)) {
    return Status::Failure(m.OriginOf(keys::kTitle) +
                               ": the installer cannot create what it installs with this title, "
                               "company and file name: " +
                               *problem + "; shorten the title or the company",
                           m.PlaceOf(keys::kTitle));
  }
  Result<AnsiTexts> ansi = ConvertToAnsi(texts, language);
  if (!ansi) return ansi.status();
  draft.code_page = ansi->code_page;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i]) *fields[i] = std::move(ansi->texts[i]);
  }

  if (r.HasExtension()) {
    if (m.extension_numbers) {
      r.extension.a = (*m.extension_numbers)[0];
      r.extension.b = (*m.extension_numbers)[1];
      r.extension.c = (*m.extension_numbers)[2];
      r.extension.d = (*m.extension_numbers)[3];
    }
  } else if (m.extension_numbers || m.extension_texts) {
    console.Warn(
        "reserved.numbers and reserved.texts are not stored: reserved.pair says the "
        "record has no extension",
        m.PlaceOf(m.extension_numbers ? "reserved.numbers" : keys::kExtensionTexts));
  }
  r.language = language;
  r.picture_format = m.picture_format.value_or(lumiset::kPictureBmp);
  r.show_header_text = m.show_header_text.value_or(kDefaultShowHeaderText);
  r.header_text_color = m.header_text_color.value_or(kDefaultHeaderTextColor);
  r.accent_color = m.accent_color.value_or(kDefaultAccentColor);
  r.reserved13 = m.reserved_field.value_or(0);
  r.show_setup_options = m.show_setup_options.value_or(kDefaultShowSetupOptions);
  r.open_display_properties = m.open_display_properties.value_or(kDefaultOpenDisplayProperties);
  r.create_start_menu_entry = m.create_start_menu_entry.value_or(kDefaultCreateStartMenuEntry);
  r.create_desktop_icon = m.create_desktop_icon.value_or(kDefaultCreateDesktopIcon);
  r.detect_existing = m.detect_existing.value_or(kDefaultDetectExisting);
  r.show_info_page = m.show_info_page.value_or(kDefaultShowInfoPage);
  return draft;
}

// The header picture, read and decoded whole to check it.
struct Picture {
  std::vector<uint8_t> bytes;
  PictureInfo info;
  std::string summary;  // for the build's summary
};

Result<Picture> ReadPicture(const Manifest& m, Console& console) {
  const std::string name = Utf8FromPath(*m.picture);
  const Place place = m.PlaceOf(keys::kPicture);
  Result<std::vector<uint8_t>> bytes =
      ReadProgram(m, keys::kPicture, *m.picture, kMaxPictureDecoded);
  if (!bytes) return bytes.status();
  std::optional<PictureInfo> identified = IdentifyPicture(*bytes);
  if (!identified) {
    return Status::Failure(name + ": not a BMP, JPEG or PNG file (judged by its first bytes)",
                           place);
  }
  const std::string_view format = PictureFormatName(identified->format);
  if (std::optional<std::string> problem = PictureProblem(*bytes, *identified)) {
    return Status::Failure(name + ": the " + std::string(format) + " cannot be used: " + *problem,
                           place);
  }
  if (m.picture_format && *m.picture_format != identified->format) {
    console.Warn(
        m.OriginOf("reserved.picture_format") + " is not stored: the picture's own format is",
        m.PlaceOf("reserved.picture_format"));
  }
  if (identified->format != lumiset::kPictureBmp) {
    console.Warn(name + ": the installer shows only BMP pictures; this " + std::string(format) +
                     " is stored but the pages show no picture",
                 place);
  }
  std::string summary(format);
  if (identified->width && identified->height) {
    const std::string size =
        std::to_string(*identified->width) + "x" + std::to_string(*identified->height);
    summary += ", " + size + " pixels";
    if (*identified->width > kHeaderBandWidth || *identified->height > kHeaderBandHeight) {
      console.Warn(name + ": " + size + " pixels is larger than the header band (" +
                       std::to_string(kHeaderBandWidth) + "x" + std::to_string(kHeaderBandHeight) +
                       "); the installer shows only part of it",
                   place);
    }
  }
  return Picture{std::move(*bytes), *identified, std::move(summary)};
}

// A program the installer runs (the uninstaller or the companion): it must
// be a PE image, as the screensaver must.
Result<std::vector<uint8_t>> ReadRunnable(const Manifest& m, const char* key,
                                          const std::filesystem::path& path, uint64_t limit,
                                          std::string_view what) {
  Result<std::vector<uint8_t>> bytes = ReadProgram(m, key, path, limit);
  if (!bytes) return bytes;
  if (!ReadPeOf(*bytes)) {
    return Status::Failure(Utf8FromPath(path) + ": the " + std::string(what) +
                               " is not a PE image (a Windows program)",
                           m.PlaceOf(key));
  }
  return bytes;
}

Status AddRecord(const lumiset::SetupRecord& record, int level,
                 lumiset::PackageContents& contents) {
  const std::vector<uint8_t> bytes = lumiset::EncodeSetupRecord(record);
  if (bytes.size() > kMaxRecordDecoded) {
    return Status::Failure("the texts take " + std::to_string(bytes.size()) +
                           " bytes, more than the " + std::to_string(kMaxRecordDecoded) +
                           " bytes the installer accepts");
  }
  contents.record_item = lumiset::EncodeRecordItem(bytes, level);
  if (contents.record_item.size() <= lumiset::kRecordHeaderSize) {
    return Status::Failure("the record: compression failed (out of memory?)");
  }
  if (contents.record_item.size() > kMaxRecordItem) {
    return TooLarge("the record", contents.record_item.size(), kMaxRecordItem);
  }
  return {};
}

// The uninstaller a package carries: the author's, none, or the default
// one of the stub's architecture found beside the stub.
struct UninstallerChoice {
  std::optional<std::filesystem::path> path;
  bool is_default = false;
};

Result<UninstallerChoice> ChooseUninstaller(const Manifest& m, const Stub& stub,
                                            Console& console) {
  if (m.uninstaller) return UninstallerChoice{m.uninstaller, false};
  if (m.use_uninstaller == false) return UninstallerChoice{};
  const std::filesystem::path path =
      stub.path.parent_path() / (stub.arch == Arch::kX64 ? LUMISET_DEFAULT_UNINSTALLER_X64
                                                         : LUMISET_DEFAULT_UNINSTALLER_X86);
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) return UninstallerChoice{path, true};
  const std::string missing = "the default uninstaller " + Utf8FromPath(path) + " is missing";
  if (m.use_uninstaller == true) {
    return Status::Failure(m.OriginOf(keys::kUninstaller) + " asks for it, but " + missing,
                           m.PlaceOf(keys::kUninstaller));
  }
  console.Warn(missing + ": the installer is built without an uninstaller, so the screensaver "
               "gets no entry in the list of installed programs (put it beside the stub, or "
               "set 'uninstaller = false' to build without one on purpose)");
  return UninstallerChoice{};
}

// Everything read from the inputs and checked, before compression.
// The installer's version information: [version_info], or else the title,
// company, copyright and version.
VersionInfo VersionInfoOf(const Manifest& m, uint16_t language) {
  const std::string title = m.title.value_or("");
  const std::string version = m.version.value_or("");
  VersionInfo info;
  info.product_name = m.vi_product_name.value_or(title);
  info.product_version = m.vi_product_version.value_or(version);
  info.file_version = m.vi_file_version.value_or(version);
  info.company = m.vi_company.value_or(m.company.value_or(""));
  info.description = m.vi_description.value_or(title.empty() ? "" : title + " Setup");
  info.copyright = m.vi_copyright.value_or(m.copyright.value_or(""));
  info.langid = LangIdOfLanguage(language);
  return info;
}

// Gives the stub the author's identity in its resources, before the package
// is appended: always the version information, and the icon when one is
// given. The stub file itself is left as it is. False, with nothing
// changed, for a stub without resources when no icon is asked for.
Result<bool> ApplyIdentity(const Manifest& m, uint16_t language, std::vector<uint8_t>& stub,
                           const std::string& stub_name, Console& console) {
  std::optional<IconFile> icon;
  if (m.icon) {
    Result<std::vector<uint8_t>> bytes = ReadProgram(m, keys::kIcon, *m.icon, kMaxIconFileBytes);
    if (!bytes) return bytes.status();
    Result<IconFile> read = ReadIconFile(*bytes, Utf8FromPath(*m.icon));
    if (!read) return Status::Failure(read.message(), m.PlaceOf(keys::kIcon));
    icon = std::move(*read);
  }
  const VersionInfo info = VersionInfoOf(m, language);
  const std::pair<const std::string*, const char*> numbered[] = {
      {&info.file_version, m.vi_file_version ? "version_info.file_version" : keys::kVersion},
      {&info.product_version, m.vi_product_version ? "version_info.product_version" : keys::kVersion}};
  for (const auto& [text, key] : numbered) {
    Result<VersionNumbers> numbers = ParseVersionNumbers(*text);
    if (!numbers) {
      return Status::Failure(m.OriginOf(key) + ": " + numbers.message() +
                                 "; write the numbers first (2.3.42-beta) and keep each "
                                 "within 0 to 65535",
                             m.PlaceOf(key));
    }
    if (!text->empty() && numbers->taken.empty()) {
      console.Warn(m.OriginOf(key) + ": \"" + *text +
                       "\" does not start with a number, so the installer's numeric version "
                       "(in its file properties) is 0.0.0.0",
                   m.PlaceOf(key));
    }
  }
  Result<std::vector<uint8_t>> version = BuildVersionResource(info);
  if (!version) return Status::Failure(version.message(), m.PlaceOf("version_info"));
  Result<std::vector<uint8_t>> image =
      RewriteResources(stub, [&](std::vector<ResourceEntry>& entries) -> Status {
        if (icon) {
          if (Status s = ReplaceMainIcon(entries, *icon); !s) return s;
        }
        ReplaceVersion(entries, std::move(*version), info.langid);
        return {};
      });
  if (!image && !icon && std::string_view(image.message()).ends_with(kNoResourcesReason)) {
    // Only a stub built without resources: it keeps having none.
    console.Note(stub_name + ": the stub has no resources, so no version information");
    return false;
  }
  if (!image) return Status::Failure(stub_name + ": " + image.message());
  stub = std::move(*image);
  return true;
}

// The screensaver, open for reading in pieces: it is compressed straight
// from the file, never held whole.
struct ScreensaverFile {
  std::unique_ptr<FileReader> file;
  uint64_t size = 0;
  lumiset::PeFacts pe;
};

Result<ScreensaverFile> OpenScreensaver(const Manifest& m) {
  const std::string name = Utf8FromPath(*m.screensaver);
  Result<std::unique_ptr<FileReader>> file = FileReader::Open(*m.screensaver);
  if (!file) return ReadFailure(m, keys::kScreensaver, file.status());
  ScreensaverFile scr;
  scr.size = (*file)->Size();
  if (scr.size == 0) {
    return ReadFailure(m, keys::kScreensaver, Status::Failure(name + ": the file is empty"));
  }
  if (scr.size > kMaxScreensaverBytes) {
    return ReadFailure(m, keys::kScreensaver,
                       Status::Failure(name + ": " + std::to_string(scr.size) +
                                       " bytes, more than the " +
                                       std::to_string(kMaxScreensaverBytes) + " bytes allowed"));
  }
  const lumiset::StatusOr<lumiset::PeFacts> pe = lumiset::ReadPeFacts(**file);
  if (!pe) {
    return Status::Failure(name + ": not a PE image (" + std::string(pe.status().what()) +
                               "); a screensaver is a Windows program (.scr)",
                           m.PlaceOf(keys::kScreensaver));
  }
  if (IsLibrary(**file)) {
    return Status::Failure(name + ": a DLL, not a program; a screensaver is a Windows program "
                                  "(.scr) that Windows runs",
                           m.PlaceOf(keys::kScreensaver));
  }
  scr.pe = *pe;
  scr.file = std::move(*file);
  return scr;
}

struct Inputs {
  RecordDraft draft;
  ScreensaverFile screensaver;
  Stub stub;
  std::optional<Picture> picture;
  std::vector<uint8_t> uninstaller;
  UninstallerChoice uninstaller_choice;
  std::vector<uint8_t> companion;
  std::optional<lumiset::PeFacts> companion_pe;
  // The stub's resources carry the author's identity; its checksum is then
  // made right for the whole installer.
  bool identity_applied = false;
};

Result<Inputs> ReadInputs(const BuildRequest& request, Console& console) {
  const Manifest& m = request.settings;
  Result<RecordDraft> draft = DraftRecord(m, console);
  if (!draft) return draft.status();

  const std::string scr_name = Utf8FromPath(*m.screensaver);
  console.Note("reading the screensaver " + scr_name);
  Result<ScreensaverFile> screensaver = OpenScreensaver(m);
  if (!screensaver) return screensaver.status();
  Result<Stub> stub = ReadStub(request, screensaver->pe, scr_name);
  if (!stub) return stub.status();
  console.Note("the stub is " + Utf8FromPath(stub->path) + ", a " + PeKindName(stub->pe));
  WarnAboutScreensaver(*screensaver->file, scr_name, m.PlaceOf(keys::kScreensaver), stub->arch, console);

  Inputs in{std::move(*draft), std::move(*screensaver), std::move(*stub), {}, {}, {}, {}, {}, {}};
  Result<bool> applied = ApplyIdentity(m, in.draft.record.language, in.stub.bytes,
                                       Utf8FromPath(in.stub.path), console);
  if (!applied) return applied.status();
  in.identity_applied = *applied;
  if (m.picture) {
    Result<Picture> picture = ReadPicture(m, console);
    if (!picture) return picture.status();
    in.picture = std::move(*picture);
    in.draft.record.picture_format = in.picture->info.format;
  }
  Result<UninstallerChoice> choice = ChooseUninstaller(m, in.stub, console);
  if (!choice) return choice.status();
  in.uninstaller_choice = std::move(*choice);
  if (const std::optional<std::filesystem::path>& path = in.uninstaller_choice.path) {
    Result<std::vector<uint8_t>> bytes =
        ReadRunnable(m, keys::kUninstaller, *path, kMaxUninstallerDecoded, "uninstaller");
    if (!bytes) return bytes.status();
    // The default one must run wherever the stub does, and be the default one.
    const std::optional<lumiset::PeFacts> pe = ReadPeOf(*bytes);
    if (in.uninstaller_choice.is_default &&
        (!pe || ArchOf(*pe) != in.stub.arch || !lumiset::IsDefaultUninstaller(*bytes))) {
      return Status::Failure(Utf8FromPath(*path) + ": not Lumiset's default uninstaller for " +
                             std::string(ArchDescription(in.stub.arch)) + " programs");
    }
    in.uninstaller = std::move(*bytes);
  }
  if (m.companion) {
    Result<std::vector<uint8_t>> bytes =
        ReadRunnable(m, keys::kCompanion, *m.companion, kMaxCompanionItem, "companion program");
    if (!bytes) return bytes.status();
    in.companion = std::move(*bytes);
    in.companion_pe = ReadPeOf(in.companion);
  }
  return in;
}

// Refuses an output that is one of the build's own inputs, however it is
// named: writing the installer there would destroy that input (and, for the
// stub, every later build).
Status CheckOutputIsNoInput(const BuildRequest& request, const Inputs& in,
                            const std::filesystem::path& output, const OutputTarget& target) {
  const std::optional<FileIdentity> written = IdentityOfFile(target.path);
  if (!written) return {};
  const Manifest& m = request.settings;
  const auto refuse = [&](const std::string& what) {
    return Status::Failure(Utf8FromPath(output) + ": the output is " + what +
                           "; writing the installer there would destroy it. Name another "
                           "output with -o");
  };
  if (request.manifest_from_standard_input && IdentityOfStandardInput() == written) {
    return refuse("the manifest read from standard input");
  }
  std::vector<std::pair<std::string, std::optional<std::filesystem::path>>> inputs = {
      {"the manifest", request.manifest_path},
      {"the screensaver", m.screensaver},
      {"the stub", in.stub.path},
      {"the licence text", m.licence},
      {"the information text", m.info},
      {"the picture", m.picture},
      {"the icon", m.icon},
      {"the uninstaller", in.uninstaller_choice.path},
      {"the companion program", m.companion}};
  if (request.signing) {
    inputs.emplace_back("the signing certificate", request.signing->certificate);
    inputs.emplace_back("the signing key", request.signing->key);
  }
  for (const auto& [what, path] : inputs) {
    if (path && IdentityOfFile(*path) == written) {
      return refuse(what + " " + Utf8FromPath(*path));
    }
  }
  return {};
}

// The PE checksum of a file written in pieces: the sum ReadResources'
// PeChecksum makes of the whole, word by word, skipping the checksum field.
class PeChecksumSum {
 public:
  explicit PeChecksumSum(uint64_t checksum_at) : checksum_at_(checksum_at) {}

  void Add(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
      const uint64_t at = length_++;
      const bool skipped = at >= checksum_at_ && at < checksum_at_ + 4;
      if ((at & 1) == 0) {
        low_ = skipped ? std::nullopt : std::optional<uint32_t>(b);
        continue;
      }
      if (!low_) continue;
      AddWord(*low_ | uint32_t{b} << 8);
      low_.reset();
    }
  }

  uint32_t Finish() {
    if (low_) AddWord(*low_);
    low_.reset();
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    return static_cast<uint32_t>(sum_ + length_);
  }

 private:
  void AddWord(uint32_t word) {
    sum_ += word;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }

  uint64_t checksum_at_;
  uint64_t length_ = 0;
  uint64_t sum_ = 0;
  std::optional<uint32_t> low_;
};

// Where a PE image keeps its checksum; nullopt for headers too short.
std::optional<uint64_t> ChecksumOffset(std::span<const uint8_t> image) {
  constexpr size_t kLfanewAt = 0x3C;
  constexpr uint64_t kChecksumInHeaders = 4 + 20 + 64;  // signature, COFF header, optional header
  if (image.size() < kLfanewAt + 4) return std::nullopt;
  const uint64_t at = uint64_t{lumiset::LoadU32(image, kLfanewAt)} + kChecksumInHeaders;
  if (at + 4 > image.size()) return std::nullopt;
  return at;
}

// A file written in pieces, with the bytes written counted for the
// progress bar and the failure's cause kept.
class OutputFile {
 public:
  static Result<OutputFile> Create(const std::filesystem::path& path,
                                   std::optional<std::filesystem::perms> mode) {
    Result<std::unique_ptr<NewFile>> file = NewFile::Create(path, mode);
    if (!file) return file.status();
    return OutputFile(path, std::move(*file));
  }

  bool Write(std::span<const uint8_t> bytes) {
    if (InterruptRequested() || !file_->Write(bytes)) return false;
    written_ += bytes.size();
    return true;
  }
  NewFile& file() { return *file_; }
  uint64_t written() const { return written_; }

  Status Close() {
    if (file_->Close()) return {};
    return Failure();
  }
  Status Failure() const {
    if (InterruptRequested()) return Status::Failure(Utf8FromPath(path_) + ": interrupted");
    const std::string reason = file_->Failure();
    return Status::Failure(Utf8FromPath(path_) + ": cannot be written" +
                           (reason.empty() ? std::string() : " (" + reason + ")"));
  }

 private:
  OutputFile(std::filesystem::path path, std::unique_ptr<NewFile> file)
      : path_(std::move(path)), file_(std::move(file)) {}
  std::filesystem::path path_;
  std::unique_ptr<NewFile> file_;
  uint64_t written_ = 0;
};

// The screensaver's block ("TVZB", its size, its zlib stream), compressed
// from the file into `path` through bounded buffers; returns its length.
Result<uint64_t> CompressScreensaver(const ScreensaverFile& scr, const std::string& name,
                                     const Compressor& compress, const std::filesystem::path& path,
                                     ProgressBar& bar) {
  Result<OutputFile> out = OutputFile::Create(path, std::nullopt);
  if (!out) return out.status();
  if (!out->Write(lumiset::WrapBlock(static_cast<uint32_t>(scr.size), {}))) return out->Failure();
  uint64_t read_at = 0;
  bool read_failed = false;
  bool write_failed = false;
  const bool ok = StreamParallelDeflate(
      scr.size,
      [&](std::span<uint8_t> dst) {
        read_failed = !scr.file->ReadAt(read_at, dst.data(), dst.size()).ok();
        read_at += dst.size();
        return !read_failed;
      },
      [&](std::span<const uint8_t> piece) {
        write_failed = !out->Write(piece);
        return !write_failed;
      },
      compress.Options(&bar));
  if (read_failed) return Status::Failure(name + ": cannot be read");
  if (write_failed) return out->Failure();
  if (!ok) return Status::Failure(name + ": compression failed (out of memory?)");
  if (Status s = out->Close(); !s) return s;
  return out->written();
}

// Writes the installer: the stub, the package's head items, the
// screensaver's block copied from `block_path`, the padding and the
// trailer, then the PE checksum of all of it into the stub's headers when
// the stub's resources were rewritten.
Status WriteInstaller(const std::filesystem::path& path, std::optional<std::filesystem::perms> mode,
                      const Inputs& in, const lumiset::PackageContents& head,
                      const std::filesystem::path& block_path, uint64_t block_length,
                      ProgressBar& bar) {
  const std::vector<uint8_t>& stub = in.stub.bytes;
  const uint64_t package_at = stub.size();
  uint64_t data_at = package_at;
  for (const std::vector<uint8_t>* item : {&head.record_item, &head.picture_block,
                                           &head.uninstaller_block, &head.companion_program}) {
    data_at += 4 + item->size();
  }
  const uint64_t data_end = data_at + block_length;
  const uint64_t padding =
      (lumiset::kSignatureAlignment - (data_end + lumiset::kTrailerSize) % lumiset::kSignatureAlignment) %
      lumiset::kSignatureAlignment;
  if (data_end + padding + lumiset::kTrailerSize > UINT32_MAX) {
    return Status::Failure(Utf8FromPath(path) +
                           ": the installer would pass the 4 GiB its offsets can address");
  }
  std::vector<uint8_t> items;
  for (const std::vector<uint8_t>* item : {&head.record_item, &head.picture_block,
                                           &head.uninstaller_block, &head.companion_program}) {
    const size_t at = items.size();
    items.resize(at + 4);
    lumiset::StoreU32(items, at, static_cast<uint32_t>(item->size()));
    items.insert(items.end(), item->begin(), item->end());
  }
  std::vector<uint8_t> tail(padding + lumiset::kTrailerSize, 0);
  lumiset::StoreU32(tail, padding, static_cast<uint32_t>(package_at));

  const std::optional<uint64_t> checksum_at = in.identity_applied ? ChecksumOffset(stub) : std::nullopt;
  PeChecksumSum checksum(checksum_at.value_or(UINT64_MAX));
  Result<OutputFile> out = OutputFile::Create(path, mode);
  if (!out) return out.status();
  const auto put = [&](std::span<const uint8_t> bytes) {
    if (checksum_at) checksum.Add(bytes);
    if (!out->Write(bytes)) return false;
    bar.Update(out->written());
    return true;
  };
  if (!put(stub) || !put(items)) return out->Failure();
  Result<std::unique_ptr<FileReader>> block = FileReader::Open(block_path);
  if (!block) return block.status();
  constexpr size_t kPiece = 1u << 20;
  std::vector<uint8_t> piece;
  for (uint64_t done = 0; done < block_length;) {
    piece.resize(static_cast<size_t>(std::min<uint64_t>(kPiece, block_length - done)));
    if (!(*block)->ReadAt(done, piece.data(), piece.size()).ok()) {
      return Status::Failure(Utf8FromPath(block_path) + ": cannot be read back");
    }
    if (!put(piece)) return out->Failure();
    done += piece.size();
  }
  if (!put(tail)) return out->Failure();
  if (checksum_at) {
    uint8_t sum[4];
    lumiset::StoreU32(sum, checksum.Finish());
    if (!out->file().WriteAt(*checksum_at, sum)) return out->Failure();
  }
  return out->Close();
}

// Signs the installer at `unsigned_path` into a scratch file beside the
// target and gives it the permissions of the file it replaces; the signed
// file's scratch path is kept in `signed_file`.
Status SignOutput(const BuildRequest& request, const OutputTarget& target,
                  const std::filesystem::path& unsigned_path, ScratchPath& signed_file,
                  Console& console) {
  const Signing& signing = *request.signing;
  console.Note("signing with " + std::string(kSigningProgram) +
               (!signing.timestamp_url.empty() ? ", timestamp from " + signing.timestamp_url
                : signing.signing_time
                    ? ", signing time " + std::to_string(*signing.signing_time) +
                          " from SOURCE_DATE_EPOCH"
                    : ", signing time now"));
  if (Status s = SignInstaller(unsigned_path, signed_file.path(), signing); !s) return s;
  if (target.keep_permissions) {
    std::error_code ec;
    std::filesystem::permissions(signed_file.path(), *target.keep_permissions, ec);
    if (ec) {
      return Status::Failure(Utf8FromPath(target.path) +
                             ": the signed installer's permissions cannot be set");
    }
  }
  return {};
}

// Whether a program carries a signature already; one that does is packed
// as it is.
bool IsSigned(std::span<const uint8_t> program) {
  const std::optional<lumiset::PeFacts> pe = ReadPeOf(program);
  return pe && pe->cert_offset != 0;
}

// Signs a program held in memory through scratch files beside the output,
// and replaces it with the signed bytes.
Status SignBytes(const Signing& signing, const OutputTarget& target, const std::string& name,
                 std::vector<uint8_t>& program, uint64_t limit) {
  ScratchPath unsigned_copy(target.path);
  if (Status s = WriteFileBytes(unsigned_copy.path(), program); !s) return s;
  ScratchPath signed_copy(target.path);
  if (Status s = SignProgram(unsigned_copy.path(), signed_copy.path(), signing); !s) {
    return Status::Failure(name + ": " + s.message());
  }
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(signed_copy.path(), limit);
  if (!bytes) return bytes.status();
  program = std::move(*bytes);
  return {};
}

// Signs, before they are packed, the programs the installer writes: the
// default uninstaller always, and the screensaver, the companion and the
// author's own uninstaller when [signing] asks. A program already signed
// is left as it is. The signed screensaver is a scratch file that
// `signed_screensaver` keeps until it is compressed. When there is nothing
// to sign, a copy of the stub is signed and dropped, to try the signing
// inputs all the same.
Status SignEmbeddedPrograms(const BuildRequest& request, const OutputTarget& target, Inputs& in,
                            std::optional<ScratchPath>& signed_screensaver, Console& console) {
  const Manifest& m = request.settings;
  const Signing& signing = *request.signing;
  bool signed_any = false;
  const auto sign = [&](const std::string& what, std::vector<uint8_t>& program,
                        uint64_t limit) -> Status {
    if (IsSigned(program)) {
      console.Note(what + " is signed already; it is packed as it is");
      return {};
    }
    console.Note("signing " + what);
    signed_any = true;
    return SignBytes(signing, target, what, program, limit);
  };
  if (in.uninstaller_choice.path &&
      (in.uninstaller_choice.is_default || m.sign_uninstaller.value_or(0) != 0)) {
    if (Status s = sign(Utf8FromPath(*in.uninstaller_choice.path), in.uninstaller,
                        kMaxUninstallerDecoded);
        !s) {
      return s;
    }
  }
  if (m.companion && m.sign_companion.value_or(0) != 0) {
    if (Status s = sign(Utf8FromPath(*m.companion), in.companion, kMaxCompanionItem); !s) return s;
  }
  if (m.sign_screensaver.value_or(0) != 0) {
    if (in.screensaver.pe.cert_offset != 0) {
      console.Note("the screensaver is signed already; it is packed as it is");
    } else {
      const std::string name = Utf8FromPath(*m.screensaver);
      console.Note("signing " + name);
      signed_screensaver.emplace(target.path);
      if (Status s = SignProgram(*m.screensaver, signed_screensaver->path(), signing); !s) {
        return Status::Failure(name + ": " + s.message());
      }
      Manifest signed_manifest = m;
      signed_manifest.screensaver = signed_screensaver->path();
      Result<ScreensaverFile> reopened = OpenScreensaver(signed_manifest);
      if (!reopened) return reopened.status();
      in.screensaver = std::move(*reopened);
      signed_any = true;
    }
  }
  if (!signed_any) {
    console.Note("trying the signature on a copy of the stub");
    std::vector<uint8_t> probe = in.stub.bytes;
    if (Status s = SignBytes(signing, target, Utf8FromPath(in.stub.path), probe, kMaxStubBytes);
        !s) {
      return s;
    }
  }
  return {};
}

void PrintSummary(const BuildRequest& request, const Inputs& in, uint64_t companion_size,
                  uint64_t installer_size, uint64_t scr_stored, const std::filesystem::path& output,
                  Console& console) {
  const Manifest& m = request.settings;
  std::ostream& out = console.out;
  const lumiset::SetupRecord& record = in.draft.record;
  const std::string_view language_name = LanguageName(record.language);
  if (request.check_only) {
    out << "checked: everything needed for " << Utf8FromPath(output)
        << " is sound; nothing written\n";
  } else {
    out << "wrote " << Utf8FromPath(output) << " (" << installer_size << " bytes"
        << (request.signing ? ", then signed" : "") << ")\n";
  }
  out << "  stub         " << Utf8FromPath(in.stub.path) << ": " << in.stub.bytes.size()
      << " bytes, " << PeKindName(in.stub.pe) << "\n";
  out << "  screensaver  " << Utf8FromPath(*m.screensaver) << ": "
      << PeKindName(in.screensaver.pe) << ", " << in.screensaver.size << " bytes";
  if (!request.check_only) out << ", " << scr_stored << " in the package";
  out << "\n";
  out << "  file name    " << in.draft.file_name << ".scr\n";
  out << "  language     "
      << (language_name.empty() ? std::to_string(record.language) : std::string(language_name))
      << ", texts in " << CodePageName(in.draft.code_page) << "\n";
  if (in.picture) out << "  picture      " << in.picture->summary << "\n";
  const UninstallerChoice& uninstaller = in.uninstaller_choice;
  out << "  uninstaller  "
      << (!uninstaller.path        ? std::string("none")
          : uninstaller.is_default ? "default, " + Utf8FromPath(*uninstaller.path)
                                   : Utf8FromPath(*uninstaller.path))
      << "\n";
  if (m.version) {
    const std::string file_version = m.vi_file_version.value_or(*m.version);
    const Result<VersionNumbers> numbers = ParseVersionNumbers(file_version);
    out << "  version      " << *m.version;
    if (numbers) {
      out << " (file version " << numbers->Text();
      if (numbers->taken != file_version) {
        out << ", from \"" << (numbers->taken.empty() ? "" : numbers->taken) << "\"";
      }
      out << ")";
    }
    out << "\n";
  }
  if (m.url) out << "  web page     " << *m.url << "\n";
  if (m.companion) {
    out << "  companion    " << Utf8FromPath(*m.companion) << ": "
        << (in.companion_pe ? PeKindName(*in.companion_pe) : std::string("a program")) << ", "
        << companion_size << " bytes, stored as is: the package keeps no check value for it\n";
  }
  if (console.warnings != 0) {
    out << "  warnings     " << console.warnings << "\n";
  }
}

}  // namespace

Result<BuildOutcome> BuildInstallerFile(const BuildRequest& request, Console& console) {
  const Manifest& m = request.settings;
  if (!m.screensaver) {
    return Status::Failure(
        "no screensaver: set 'screensaver' in the manifest or pass --screensaver",
        Place{{}, 0, 0, keys::kScreensaver});
  }
  if (!m.title) {
    return Status::Failure("no title: set 'title' in the manifest or pass --title",
                           Place{{}, 0, 0, keys::kTitle});
  }
  if (!m.company) {
    return Status::Failure("no company: set 'company' in the manifest or pass --company",
                           Place{{}, 0, 0, keys::kCompany});
  }
  if (Status s = CheckName(m, keys::kTitle, "title", *m.title); !s) return s;
  const std::filesystem::path output =
      request.output ? *request.output
                     : request.output_folder / PathFromUtf8(*m.title + kDefaultOutputSuffix);
  Result<OutputTarget> target = ResolveOutput(output);
  if (!target) return target.status();

  Result<Inputs> inputs = ReadInputs(request, console);
  if (!inputs) return inputs.status();
  Inputs& in = *inputs;
  if (Status s = CheckOutputIsNoInput(request, in, output, *target); !s) return s;
  if (request.warnings_are_errors && console.warnings != 0) {
    return Status::Failure(std::to_string(console.warnings) + " warning" +
                           (console.warnings == 1 ? "" : "s") +
                           ", which --werror makes errors; nothing written");
  }
  // Signing the programs first also tries the signing inputs (certificate,
  // key, password, timestamp server, command) before anything is
  // compressed, so a mistake there shows in a check and fails a build
  // within seconds.
  std::optional<ScratchPath> signed_screensaver;
  if (request.signing) {
    if (Status s = SignEmbeddedPrograms(request, *target, in, signed_screensaver, console); !s) {
      return s;
    }
  }
  if (request.check_only) {
    if (console.ShowsSummary()) {
      PrintSummary(request, in, in.companion.size(), 0, 0, output, console);
    }
    return BuildOutcome{output, 0, false};
  }

  RemoveStaleScratchFiles(target->path);
  const bool fast = m.fast.value_or(false);
  const Compressor compress(fast ? kFastLevel : kBestLevel, request.threads);
  console.Note("compressing at zlib level " + std::to_string(compress.level()) + " on " +
               std::to_string(request.threads) + " thread" + (request.threads == 1 ? "" : "s"));
  lumiset::PackageContents contents;
  if (in.picture) {
    const std::string name = Utf8FromPath(*m.picture);
    Result<std::vector<uint8_t>> block = compress.Block(in.picture->bytes, name);
    if (!block) return block.status();
    if (block->size() > kMaxPictureItem) {
      return TooLarge(name, block->size(), kMaxPictureItem, m.PlaceOf(keys::kPicture));
    }
    contents.picture_block = std::move(*block);
  }
  if (in.uninstaller_choice.path) {
    const std::string name = Utf8FromPath(*in.uninstaller_choice.path);
    Result<std::vector<uint8_t>> block = compress.Block(in.uninstaller, name);
    if (!block) return block.status();
    if (block->size() > kMaxUninstallerItem) {
      return TooLarge(name, block->size(), kMaxUninstallerItem, m.PlaceOf(keys::kUninstaller));
    }
    contents.uninstaller_block = std::move(*block);
  }
  const uint64_t companion_size = in.companion.size();
  contents.companion_program = std::move(in.companion);

  const std::string scr_name = Utf8FromPath(*m.screensaver);
  ProgressBar bar(console.err,
                  console.ShowsProgress() && in.screensaver.size >= kProgressMinimumBytes,
                  TerminalColumns());
  bar.Step("compressing " + Utf8FromPath(m.screensaver->filename()), in.screensaver.size, 0,
           kCompressedPercent);
  ScratchPath block_file(target->path);
  Result<uint64_t> block_length =
      CompressScreensaver(in.screensaver, scr_name, compress, block_file.path(), bar);
  if (!block_length) return block_length.status();
  lumiset::SetupRecord& record = in.draft.record;
  if (*block_length > UINT32_MAX) {
    return Status::Failure(Utf8FromPath(output) +
                           ": the installer would pass the 4 GiB its offsets can address");
  }
  record.screensaver_block_length = static_cast<uint32_t>(*block_length);
  if (Status s = AddRecord(record, compress.level(), contents); !s) return s;

  // The screensaver's bytes in the package as `inspect` counts them: from
  // the end of the items before it to the trailer, alignment padding
  // included.
  uint64_t before_screensaver = in.stub.bytes.size();
  for (const std::vector<uint8_t>* item :
       {&contents.record_item, &contents.picture_block, &contents.uninstaller_block,
        &contents.companion_program}) {
    before_screensaver += 4 + item->size();
  }
  const uint64_t unpadded = before_screensaver + *block_length + lumiset::kTrailerSize;
  const uint64_t installer_size =
      unpadded + (lumiset::kSignatureAlignment - unpadded % lumiset::kSignatureAlignment) %
                     lumiset::kSignatureAlignment;
  const uint64_t scr_stored = installer_size - lumiset::kTrailerSize - before_screensaver;
  ScratchPath unsigned_file(target->path);
  console.Note("writing " + Utf8FromPath(unsigned_file.path()));
  bar.Step("writing " + Utf8FromPath(target->path.filename()), installer_size, kCompressedPercent,
           kWrittenPercent);
  if (Status s = WriteInstaller(unsigned_file.path(), target->keep_permissions, in, contents,
                                block_file.path(), *block_length, bar);
      !s) {
    return s;
  }
  std::filesystem::remove(block_file.path());
  ScratchPath signed_file(target->path);
  ScratchPath* result = &unsigned_file;
  if (request.signing) {
    bar.Step("signing " + Utf8FromPath(target->path.filename()), 1, kWrittenPercent,
             kWrittenPercent);
    if (Status s = SignOutput(request, *target, unsigned_file.path(), signed_file, console); !s) {
      return s;
    }
    result = &signed_file;
  }
  console.Note("moving it to " + Utf8FromPath(target->path));
  if (Status s = result->MoveFileTo(target->path); !s) return s;
  bar.Finish();

  uint64_t size = installer_size;
  if (request.signing) {
    std::error_code ec;
    const uintmax_t signed_size = std::filesystem::file_size(target->path, ec);
    if (!ec) size = signed_size;
  }
  if (console.ShowsSummary()) {
    PrintSummary(request, in, companion_size, size, scr_stored, output, console);
  }
  return BuildOutcome{output, size, request.signing.has_value()};
}

}  // namespace lumipack
