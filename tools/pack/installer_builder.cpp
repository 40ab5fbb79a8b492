#include "installer_builder.h"

#include <system_error>
#include <tuple>
#include <vector>

#include "ansi_text.h"
#include "file_io.h"
#include "language.h"
#include "names.h"
#include "base/memory_file.h"
#include "package/default_uninstaller.h"
#include "package/package_format.h"
#include "package/setup_record.h"
#include "parallel_deflate.h"
#include "pe_image.h"
#include "picture.h"
#include "progress_bar.h"
#include "scratch_path.h"
#include "signer.h"
#include "text_checks.h"

namespace lumipack {
namespace {

using lumiset::kMaxCompanionItem;
using lumiset::kMaxPictureDecoded;
using lumiset::kMaxPictureItem;
using lumiset::kMaxRecordDecoded;
using lumiset::kMaxRecordItem;
using lumiset::kMaxUninstallerDecoded;
using lumiset::kMaxUninstallerItem;

// Compresses blocks at one level on a number of threads, with a progress
// bar for large ones.
class Compressor {
 public:
  Compressor(int level, unsigned threads, const Console& console)
      : level_(level), threads_(threads), console_(console) {}

  int level() const { return level_; }

  // "TVZB", the content's size and the content's zlib stream, the stream
  // written straight behind the core's block header.
  Result<std::vector<uint8_t>> Block(std::span<const uint8_t> content,
                                     const std::string& label) const {
    ProgressBar bar(console_.err, console_.terminal && content.size() >= kProgressMinimumBytes,
                    "compressing " + label, content.size());
    DeflateOptions options;
    options.level = level_;
    options.threads = threads_;
    options.progress = [&bar](uint64_t done) { bar.Update(done); };
    std::vector<uint8_t> block = lumiset::WrapBlock(static_cast<uint32_t>(content.size()), {});
    if (!AppendParallelDeflate(content, options, block)) {
      return Status::Failure(label + ": compression failed (out of memory?)");
    }
    return block;
  }

 private:
  int level_;
  unsigned threads_;
  const Console& console_;
};

Status TooLarge(const std::string& what, uint64_t size, uint64_t limit) {
  return Status::Failure(what + ": " + std::to_string(size) + " bytes compressed, more than the " +
                         std::to_string(limit) + " bytes the installer accepts");
}

Result<std::vector<uint8_t>> ReadProgram(const std::filesystem::path& path, uint64_t limit) {
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(path, limit);
  if (bytes && bytes->empty()) return Status::Failure(Utf8FromPath(path) + ": the file is empty");
  return bytes;
}

Status CheckName(const Manifest& m, const char* key, std::string_view label,
                 const std::string& value) {
  if (std::optional<std::string> problem = NameProblem(value)) {
    return Status::Failure(m.OriginOf(key) + ": the " + std::string(label) + " \"" + value +
                           "\" cannot be used: " + *problem);
  }
  return {};
}

Status CheckOutputFolder(const std::filesystem::path& output) {
  const std::string name = Utf8FromPath(output);
  std::error_code ec;
  if (std::filesystem::is_directory(output, ec)) return Status::Failure(name + ": is a folder");
  const std::filesystem::path parent = output.parent_path();
  if (!parent.empty() && !std::filesystem::is_directory(parent, ec)) {
    return Status::Failure(name + ": the folder " + Utf8FromPath(parent) + " does not exist");
  }
  return {};
}

std::string StemOf(const std::filesystem::path& path) { return Utf8FromPath(path.stem()); }

struct Stub {
  std::filesystem::path path;
  std::vector<uint8_t> bytes;
  lumiset::PeFacts pe;
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
                             " has no matching stub; choose one with --arch x86|x64 or --stub");
    }
    const char* stub_name = *wanted == Arch::kX64 ? kStubNameX64 : kStubNameX86;
    std::error_code ec;
    if (request.stub_folder &&
        std::filesystem::is_regular_file(*request.stub_folder / stub_name, ec)) {
      path = *request.stub_folder / stub_name;
    } else {
      return Status::Failure("no stub: put " + std::string(stub_name) +
                             " beside lumipack, or name it with --stub or 'stub'");
    }
  }
  const std::string name = Utf8FromPath(*path);
  Result<std::vector<uint8_t>> bytes = ReadProgram(*path, kMaxStubBytes);
  if (!bytes) return bytes.status();
  std::optional<lumiset::PeFacts> pe = ReadPeOf(*bytes);
  if (!pe) return Status::Failure(name + ": the stub is not a PE image (a Windows program)");
  const std::optional<Arch> stub_arch = ArchOf(*pe);
  if (!stub_arch) {
    return Status::Failure(name + ": the stub is a " + PeKindName(*pe) +
                           ", not an x86 or x64 program");
  }
  if (m.arch && *m.arch != *stub_arch) {
    return Status::Failure(name + ": the stub is a " + std::string(ArchDescription(*stub_arch)) +
                           " program, but " + m.OriginOf(keys::kArch) + " asks for " +
                           std::string(ArchDescription(*m.arch)));
  }
  if (pe->cert_offset != 0) {
    return Status::Failure(name +
                           ": the stub is signed; use an unsigned stub and sign the finished "
                           "installer with --sign-with");
  }
  lumiset::MemoryFile file(*bytes);
  if (std::optional<lumiset::PackageLocation> where = lumiset::LocatePackage(file)) {
    std::optional<lumiset::PackageItems> items = lumiset::ReadPackageItems(file, *where);
    if (items && lumiset::DecodeRecord(items->record_item)) {
      return Status::Failure(name + ": the stub already carries a package; is it an installer?");
    }
  }
  return Stub{*path, std::move(*bytes), *pe, *stub_arch};
}

void WarnAboutTexts(const std::string& utf8, const std::filesystem::path& path,
                    const Console& console) {
  for (const std::string& warning : TextWarnings(utf8, Utf8FromPath(path))) console.Warn(warning);
}

Result<std::string> ReadText(const std::optional<std::filesystem::path>& path,
                             const Console& console) {
  if (!path) return std::string();
  Result<std::vector<uint8_t>> bytes = ReadFileBytes(*path, kMaxTextFileBytes);
  if (!bytes) return bytes.status();
  std::string text(bytes->begin(), bytes->end());
  WarnAboutTexts(text, *path, console);
  return text;
}

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
    if (text.empty()) return Status::Failure(where + "is empty; leave it out instead");
    if (text.size() > limit) {
      return Status::Failure(where + "is longer than " + std::to_string(limit) + " bytes");
    }
    for (unsigned char c : text) {
      if (c < 0x20 || c == 0x7F) {
        return Status::Failure(where + "must be one line without control characters");
      }
    }
  }
  if (m.url) {
    std::string lower = *m.url;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const bool web = (lower.starts_with("http://") && lower.size() > 7) ||
                     (lower.starts_with("https://") && lower.size() > 8);
    if (!web || m.url->find(' ') != std::string::npos) {
      return Status::Failure(m.OriginOf(keys::kUrl) +
                             ": must be a web address starting with http:// or https://, "
                             "without spaces");
    }
  }
  return {};
}

// The record with its texts converted and every other field from the
// settings or its default; the picture format and the screensaver block's
// length are filled in later.
struct RecordDraft {
  lumiset::SetupRecord record;
  CodePage code_page = CodePage::kWindows1252;
  std::string file_name;  // UTF-8, for the summary
};

Result<RecordDraft> DraftRecord(const Manifest& m, const Console& console) {
  // Names first: they are quick to check and the most likely to be wrong.
  RecordDraft draft;
  draft.file_name = m.file_name ? *m.file_name : StemOf(*m.screensaver);
  const std::string scr_name = Utf8FromPath(*m.screensaver);
  if (Status s = CheckName(m, keys::kTitle, "title", *m.title); !s) return s;
  if (Status s = CheckName(m, keys::kCompany, "company", *m.company); !s) return s;
  if (m.file_name) {
    if (Status s = CheckName(m, keys::kFileName, "file name", draft.file_name); !s) return s;
  } else if (std::optional<std::string> problem = NameProblem(draft.file_name)) {
    return Status::Failure(scr_name + ": the file name \"" + draft.file_name +
                           "\" cannot be used: " + *problem + "; set 'file_name' to another");
  }
  if (Status s = CheckVersionAndUrl(m); !s) return s;
  const std::string copyright_line = m.copyright.value_or("");
  if (std::optional<std::string> problem = CopyrightLineProblem(copyright_line)) {
    return Status::Failure(m.OriginOf(keys::kCopyright) +
                           ": the copyright line cannot be used: " + *problem);
  }

  Result<std::string> licence = ReadText(m.licence, console);
  if (!licence) return licence.status();
  Result<std::string> info = ReadText(m.info, console);
  if (!info) return info.status();

  // Every text of the record goes through one conversion, so they share one
  // code page.
  std::string copyright = copyright_line;
  if (m.copyright_rest) copyright += "|" + *m.copyright_rest;
  std::vector<TextInput> texts = {
      {*m.title, m.OriginOf(keys::kTitle), false},
      {copyright, m.OriginOf(keys::kCopyright), false},
      {*m.company, m.OriginOf(keys::kCompany), false},
      {*licence, m.licence ? Utf8FromPath(*m.licence) : "", true},
      {draft.file_name, m.file_name ? m.OriginOf(keys::kFileName) : scr_name, false},
      {*info, m.info ? Utf8FromPath(*m.info) : "", true},
  };
  if (m.extension_texts) {
    for (const std::string& text : *m.extension_texts) {
      texts.push_back({text, m.OriginOf(keys::kExtensionTexts), false});
    }
  }
  // The extras come last, so the reserved texts keep their places above.
  const size_t extras = texts.size();
  texts.push_back({m.version.value_or(""), m.OriginOf(keys::kVersion), false});
  texts.push_back({m.url.value_or(""), m.OriginOf(keys::kUrl), false});
  const uint16_t language = m.language.value_or(kAutoLanguage);
  Result<AnsiTexts> ansi = ConvertToAnsi(texts, language);
  if (!ansi) return ansi.status();
  draft.code_page = ansi->code_page;

  lumiset::SetupRecord& r = draft.record;
  r.title = ansi->texts[0];
  r.copyright = ansi->texts[1];
  r.company = ansi->texts[2];
  r.licence_text = ansi->texts[3];
  r.scr_file_name = ansi->texts[4];
  r.info_text = ansi->texts[5];
  if (m.reserved_pair) {
    r.reserved_low = (*m.reserved_pair)[0];
    r.reserved_high = (*m.reserved_pair)[1];
  }
  if (r.HasExtension()) {
    if (m.extension_numbers) {
      r.extension.a = (*m.extension_numbers)[0];
      r.extension.b = (*m.extension_numbers)[1];
      r.extension.c = (*m.extension_numbers)[2];
      r.extension.d = (*m.extension_numbers)[3];
    }
    for (size_t i = 0; i < 4 && m.extension_texts; ++i) r.extension.texts[i] = ansi->texts[6 + i];
  } else if (m.extension_numbers || m.extension_texts) {
    console.Warn(
        "reserved.numbers and reserved.texts are not stored: reserved.pair says the "
        "record has no extension");
  }
  r.version = ansi->texts[extras];
  r.about_url = ansi->texts[extras + 1];
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

// Reads, checks and compresses the header picture; sets the record's
// picture format. Returns a line for the summary.
Result<std::string> AddPicture(const Manifest& m, const Compressor& compress,
                               lumiset::SetupRecord& record, lumiset::PackageContents& contents,
                               const Console& console) {
  const std::string name = Utf8FromPath(*m.picture);
  Result<std::vector<uint8_t>> picture = ReadProgram(*m.picture, kMaxPictureDecoded);
  if (!picture) return picture.status();
  std::optional<PictureInfo> identified = IdentifyPicture(*picture);
  if (!identified) {
    return Status::Failure(name + ": not a BMP, JPEG or PNG file (judged by its first bytes)");
  }
  if (m.picture_format && *m.picture_format != identified->format) {
    console.Warn(m.OriginOf("reserved.picture_format") +
                 " is not stored: the picture's own format is");
  }
  record.picture_format = identified->format;
  std::string summary(PictureFormatName(identified->format));
  if (identified->width && identified->height) {
    const std::string size =
        std::to_string(*identified->width) + "x" + std::to_string(*identified->height);
    summary += ", " + size + " pixels";
    if (*identified->width > kHeaderBandWidth || *identified->height > kHeaderBandHeight) {
      console.Warn(name + ": " + size + " pixels is larger than the header band (" +
                   std::to_string(kHeaderBandWidth) + "x" + std::to_string(kHeaderBandHeight) +
                   "); the installer shows only part of it");
    }
  } else {
    console.Warn(name + ": the picture's size cannot be read from its header");
  }
  Result<std::vector<uint8_t>> block = compress.Block(*picture, name);
  if (!block) return block.status();
  if (block->size() > kMaxPictureItem) return TooLarge(name, block->size(), kMaxPictureItem);
  contents.picture_block = std::move(*block);
  return summary;
}

// The uninstaller a package carries: the author's, none, or the default
// one of the stub's architecture found beside the stub.
struct UninstallerChoice {
  std::optional<std::filesystem::path> path;
  bool is_default = false;
};

Result<UninstallerChoice> ChooseUninstaller(const Manifest& m, const Stub& stub,
                                            const Console& console) {
  if (m.uninstaller) return UninstallerChoice{m.uninstaller, false};
  if (m.use_uninstaller == false) return UninstallerChoice{};
  const std::filesystem::path path =
      stub.path.parent_path() / (stub.arch == Arch::kX64 ? LUMISET_DEFAULT_UNINSTALLER_X64
                                                         : LUMISET_DEFAULT_UNINSTALLER_X86);
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) return UninstallerChoice{path, true};
  const std::string missing = "the default uninstaller " + Utf8FromPath(path) + " is missing";
  if (m.use_uninstaller == true) {
    return Status::Failure(m.OriginOf(keys::kUninstaller) + " asks for it, but " + missing);
  }
  console.Warn(missing + ": the installer is built without an uninstaller, so the screensaver "
               "gets no entry in the list of installed programs (put it beside the stub, or "
               "set 'uninstaller = false' to build without one on purpose)");
  return UninstallerChoice{};
}

Status AddPrograms(const Manifest& m, const UninstallerChoice& uninstaller_choice, Arch stub_arch,
                   const Compressor& compress, lumiset::PackageContents& contents,
                   const Console& console) {
  if (uninstaller_choice.path) {
    const std::filesystem::path& path = *uninstaller_choice.path;
    const std::string name = Utf8FromPath(path);
    Result<std::vector<uint8_t>> uninstaller = ReadProgram(path, kMaxUninstallerDecoded);
    if (!uninstaller) return uninstaller.status();
    const std::optional<lumiset::PeFacts> pe = ReadPeOf(*uninstaller);
    if (!pe) console.Warn(name + ": the uninstaller is not a PE image");
    // The default one must run wherever the stub does, and be the default one.
    if (uninstaller_choice.is_default &&
        (!pe || ArchOf(*pe) != stub_arch || !lumiset::IsDefaultUninstaller(*uninstaller))) {
      return Status::Failure(name + ": not Lumiset's default uninstaller for " +
                             std::string(ArchDescription(stub_arch)) + " programs");
    }
    Result<std::vector<uint8_t>> block = compress.Block(*uninstaller, name);
    if (!block) return block.status();
    if (block->size() > kMaxUninstallerItem) {
      return TooLarge(name, block->size(), kMaxUninstallerItem);
    }
    contents.uninstaller_block = std::move(*block);
  }
  if (m.companion) {
    const std::string name = Utf8FromPath(*m.companion);
    Result<std::vector<uint8_t>> companion = ReadProgram(*m.companion, kMaxCompanionItem);
    if (!companion) return companion.status();
    if (!ReadPeOf(*companion)) console.Warn(name + ": the companion program is not a PE image");
    contents.companion_program = std::move(*companion);
  }
  return {};
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

// Writes the installer under a scratch name, signs it into a second one
// when asked, and moves the result over the output.
Status WriteOutput(const BuildRequest& request, std::span<const uint8_t> installer) {
  const std::string output = Utf8FromPath(request.output);
  ScratchPath unsigned_file(request.output);
  if (!WriteFileBytes(unsigned_file.path(), installer)) {
    return Status::Failure(output + ": cannot be written (is its folder writable, the disk full?)");
  }
  if (!request.sign_certificate) return unsigned_file.MoveFileTo(request.output);
  ScratchPath signed_file(request.output);
  if (Status s = SignInstaller(unsigned_file.path(), signed_file.path(), *request.sign_certificate,
                               *request.sign_key);
      !s) {
    return s;
  }
  return signed_file.MoveFileTo(request.output);
}

}  // namespace

Status BuildInstallerFile(const BuildRequest& request, const Console& console) {
  const Manifest& m = request.settings;
  if (!m.screensaver) {
    return Status::Failure(
        "no screensaver: set 'screensaver' in the manifest or pass --screensaver");
  }
  if (!m.title) return Status::Failure("no title: set 'title' in the manifest or pass --title");
  if (!m.company) {
    return Status::Failure("no company: set 'company' in the manifest or pass --company");
  }
  if (request.sign_certificate.has_value() != request.sign_key.has_value()) {
    return Status::Failure("--sign-with needs a certificate and a key");
  }
  if (Status s = CheckOutputFolder(request.output); !s) return s;

  Result<RecordDraft> draft = DraftRecord(m, console);
  if (!draft) return draft.status();
  lumiset::SetupRecord& record = draft->record;

  const std::string scr_name = Utf8FromPath(*m.screensaver);
  Result<std::vector<uint8_t>> screensaver = ReadProgram(*m.screensaver, kMaxScreensaverBytes);
  if (!screensaver) return screensaver.status();
  const std::optional<lumiset::PeFacts> scr_pe = ReadPeOf(*screensaver);
  if (!scr_pe) {
    return Status::Failure(scr_name +
                           ": not a PE image; a screensaver is a Windows program (.scr)");
  }

  Result<Stub> stub = ReadStub(request, *scr_pe, scr_name);
  if (!stub) return stub.status();

  const Compressor compress(m.fast.value_or(false) ? kFastLevel : kBestLevel, request.threads,
                            console);
  lumiset::PackageContents contents;
  std::string picture_summary;
  if (m.picture) {
    Result<std::string> summary = AddPicture(m, compress, record, contents, console);
    if (!summary) return summary.status();
    picture_summary = std::move(*summary);
  }
  Result<UninstallerChoice> uninstaller = ChooseUninstaller(m, *stub, console);
  if (!uninstaller) return uninstaller.status();
  if (Status s = AddPrograms(m, *uninstaller, stub->arch, compress, contents, console); !s) {
    return s;
  }

  const uint64_t scr_size = screensaver->size();
  {
    Result<std::vector<uint8_t>> block = compress.Block(*screensaver, scr_name);
    if (!block) return block.status();
    std::vector<uint8_t>().swap(*screensaver);
    contents.screensaver_block = std::move(*block);
  }
  const uint64_t scr_block_size = contents.screensaver_block.size();
  record.screensaver_block_length = static_cast<uint32_t>(scr_block_size);
  if (Status s = AddRecord(record, compress.level(), contents); !s) return s;

  std::vector<uint8_t> installer = std::move(stub->bytes);
  const uint64_t stub_size = installer.size();
  if (!lumiset::AppendPackage(installer, contents)) {
    return Status::Failure(Utf8FromPath(request.output) +
                           ": the installer would pass the 4 GiB its offsets can address");
  }
  contents = {};
  if (Status s = WriteOutput(request, installer); !s) return s;

  std::ostream& out = console.out;
  const std::string_view language_name = LanguageName(record.language);
  out << "wrote " << Utf8FromPath(request.output) << " (" << installer.size() << " bytes"
      << (request.sign_certificate ? ", then signed" : "") << ")\n";
  out << "  stub         " << stub_size << " bytes, " << PeKindName(stub->pe) << "\n";
  out << "  screensaver  " << scr_name << ": " << PeKindName(*scr_pe) << ", " << scr_size
      << " bytes, " << scr_block_size << " in the package\n";
  out << "  file name    " << draft->file_name << ".scr\n";
  out << "  language     "
      << (language_name.empty() ? std::to_string(record.language) : std::string(language_name))
      << ", texts in " << CodePageName(draft->code_page) << "\n";
  if (m.picture) out << "  picture      " << picture_summary << "\n";
  out << "  uninstaller  "
      << (!uninstaller->path        ? std::string("none")
          : uninstaller->is_default ? "default, " + Utf8FromPath(*uninstaller->path)
                                    : Utf8FromPath(*uninstaller->path))
      << "\n";
  if (m.version) out << "  version      " << *m.version << "\n";
  if (m.url) out << "  web page     " << *m.url << "\n";
  if (m.companion) out << "  companion    " << Utf8FromPath(*m.companion) << "\n";
  return {};
}

}  // namespace lumipack
