#include "winget_command.h"

#include <filesystem>
#include <optional>

#include "app_manifest.h"
#include "base/text.h"
#include "command_line.h"
#include "file_io.h"
#include "host.h"
#include "installer_reader.h"
#include "manifest.h"
#include "package/default_uninstaller.h"
#include "package/install_names.h"
#include "package/setup_record.h"
#include "scratch_path.h"
#include "sha.h"
#include "winget_manifest.h"

namespace lumipack {
namespace {

// winget's ElevationRequirement for the level the stub's manifest asks for:
// Windows raises a requireAdministrator or highestAvailable program itself
// (the UAC prompt); without either the installer, which writes the system
// folder and HKEY_LOCAL_MACHINE, must be started elevated.
std::string ElevationFor(const std::optional<std::string>& level) {
  if (level == "requireAdministrator" || level == "highestAvailable") return "elevatesSelf";
  return "elevationRequired";
}

// The command line's values laid over the manifest's, each noted as given
// by its option.
void Overlay(const WingetArguments& a, Manifest& m) {
  const std::tuple<const std::string*, std::optional<std::string> Manifest::*, const char*,
                   const char*>
      texts[] = {
          {&a.id, &Manifest::winget_id, keys::kWingetId, "--id"},
          {&a.url, &Manifest::winget_url, keys::kWingetUrl, "--url"},
          {&a.licence, &Manifest::winget_licence, keys::kWingetLicence, "--licence"},
          {&a.licence_url, &Manifest::winget_licence_url, keys::kWingetLicenceUrl,
           "--licence-url"},
          {&a.short_description, &Manifest::winget_short_description,
           keys::kWingetShortDescription, "--short-description"},
          {&a.moniker, &Manifest::winget_moniker, keys::kWingetMoniker, "--moniker"},
          {&a.locale, &Manifest::winget_locale, keys::kWingetLocale, "--locale"},
      };
  for (const auto& [value, field, key, option] : texts) {
    if (a.command->count(option) == 0) continue;
    m.*field = *value;
    m.origins[key] = Origin{{}, 0, 0, option};
  }
  if (a.command->count("--tag") != 0) {
    m.winget_tags = a.tags;
    m.origins[keys::kWingetTags] = Origin{{}, 0, 0, "--tag"};
  }
}

Result<Manifest> LoadSettings(const WingetArguments& a) {
  Manifest m;
  if (!a.manifest.empty()) {
    Result<Defines> defines = DefinesFrom(a.defines, EnvironmentVariable);
    if (!defines) return defines.status();
    Result<Manifest> loaded = LoadManifest(PathFromUtf8(a.manifest), *defines);
    if (!loaded) return loaded.status();
    m = std::move(*loaded);
  }
  Overlay(a, m);
  return m;
}

// What an installation of the installer writes, and what the file is.
Result<WingetPackage> ReadPackage(const std::filesystem::path& path, Console& console) {
  Result<InstallerContents> read = ReadInstaller(path);
  if (!read) return read.status();
  const InstallerContents& c = *read;
  if (!c.ok()) return Status::Failure(c.name + ": damaged: " + c.FirstProblem());
  const lumiset::SetupRecord& r = *c.record;
  if (r.version.empty()) {
    return Status::Failure(c.name +
                               ": the package has no version, which winget requires "
                               "(PackageVersion): set 'version' in the manifest and build the "
                               "installer again",
                           Place{{}, 0, 0, keys::kVersion});
  }
  if (!c.uninstaller.present) {
    return Status::Failure(c.name +
                               ": the package has no uninstaller, so an installation makes no "
                               "entry in the list of installed programs for winget to find: "
                               "build it with one (the default uninstaller unless "
                               "'uninstaller = false')",
                           Place{{}, 0, 0, keys::kUninstaller});
  }
  const std::optional<Arch> arch = ArchOf(*c.stub_pe);
  if (!arch) return Status::Failure(c.name + ": the stub is not an x86 or x64 program");
  if (!lumiset::IsDefaultUninstaller(c.uninstaller_bytes)) {
    console.Warn(c.name +
                 ": the package carries its author's own uninstaller, so its entry in the list "
                 "of installed programs has no QuietUninstallString: winget can only remove it "
                 "the way that uninstaller asks");
  }
  for (const LintFinding& finding : c.screensaver_findings) {
    console.Warn(c.name + ": the screensaver " + finding.message);
  }

  Result<std::unique_ptr<FileReader>> opened = FileReader::Open(path);
  if (!opened) return opened.status();
  FileRangeReader program(**opened);
  Result<std::optional<std::string>> manifest = ReadApplicationManifest(program);
  if (!manifest) return Status::Failure(c.name + ": the stub " + manifest.message());
  Result<std::string> sha256 = FileSha256(**opened, c.name);
  if (!sha256) return sha256.status();

  WingetPackage p;
  p.version = c.Utf8(r.version);
  p.title = c.Utf8(r.title);
  p.company = c.Utf8(r.company);
  p.copyright = c.Utf8(lumiset::CopyrightLineOf(r.copyright));
  p.url = c.Utf8(r.about_url);
  // As the installer names its entry: the key always in English, the
  // DisplayName in the installation's language.
  p.display_name = lumiset::LocalizedScreensaverName(p.title, r.language);
  p.product_code = lumiset::UninstallEntryKeyName(p.title);
  p.language = r.language;
  p.arch = *arch;
  p.sha256 = std::move(*sha256);
  p.elevation = ElevationFor(*manifest ? RequestedExecutionLevel(**manifest) : std::nullopt);
  return p;
}

// winget's own repository keeps a package's manifests in
// manifests/<first letter>/<identifier's parts>/<version>.
Result<std::filesystem::path> DefaultFolder(const std::string& id, const std::string& version) {
  if (std::optional<std::string> problem = lumiset::NameProblem(version)) {
    return Status::Failure("the version \"" + version + "\" cannot name a folder: " + *problem +
                           "; name the folder with -o");
  }
  std::filesystem::path folder = std::filesystem::path("manifests") /
                                 PathFromUtf8(lumiset::AsciiLower(id.substr(0, 1)));
  size_t at = 0;
  for (size_t dot = id.find('.');; dot = id.find('.', at)) {
    folder /= PathFromUtf8(id.substr(at, dot == std::string::npos ? dot : dot - at));
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  return folder / PathFromUtf8(version);
}

// Writes each file whole under a scratch name and moves it into place.
Status WriteFiles(const std::filesystem::path& folder, const std::vector<WingetFile>& files) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) {
    return Status::Failure(Utf8FromPath(folder) + ": cannot be created as a folder");
  }
  for (const WingetFile& file : files) {
    if (std::optional<std::string> problem = lumiset::NameProblem(file.name)) {
      return Status::Failure(file.name + ": cannot be a file name: " + *problem);
    }
    Result<OutputTarget> target = ResolveOutput(folder / PathFromUtf8(file.name));
    if (!target) return target.status();
    ScratchPath scratch(target->path);
    const std::span bytes(reinterpret_cast<const uint8_t*>(file.text.data()), file.text.size());
    if (Status s = WriteFileBytes(scratch.path(), bytes, target->keep_permissions); !s) return s;
    if (Status s = scratch.MoveFileTo(target->path); !s) return s;
  }
  return {};
}

}  // namespace

CLI::App* AddWingetCommand(CLI::App& app, WingetArguments& a) {
  CLI::App* c = app.add_subcommand(
      "winget", "Write the winget manifest (version, installer, default locale) of an installer");
  a.command = c;
  c->add_option("installer", a.installer, "The built installer, signed or not")
      ->required()
      ->type_name("FILE");
  c->add_option("--manifest", a.manifest,
                "A lumipack manifest whose [winget] table gives the values not given here")
      ->type_name("MANIFEST");
  c->add_option("-D,--define", a.defines, "Define NAME for ${NAME} in the manifest's strings")
      ->type_name("NAME=VALUE");
  c->add_option("-o,--output", a.output,
                "The folder to write into (default: manifests/<letter>/<id parts>/<version>)")
      ->type_name("FOLDER");
  c->add_option("--id", a.id, "The package identifier, Publisher.Name")->type_name("ID");
  c->add_option("--url", a.url,
                "Where winget downloads the installer; ${version} stands for its version")
      ->type_name("URL");
  c->add_option("--licence,--license", a.licence, "The licence's name (MIT, Freeware, ...)")
      ->type_name("TEXT");
  c->add_option("--licence-url,--license-url", a.licence_url, "The licence's web page")
      ->type_name("URL");
  c->add_option("--short-description", a.short_description, "What the screensaver is, in a line")
      ->type_name("TEXT");
  c->add_option("--moniker", a.moniker, "The short name winget users type")->type_name("TEXT");
  c->add_option("--tag", a.tags, "A search term (repeatable)")->type_name("TEXT");
  c->add_option("--locale", a.locale,
                "The locale of these texts (default: the package's language's, en-US for auto)")
      ->type_name("LOCALE");
  c->add_flag("-q,--quiet", a.quiet, "Print only warnings and errors");
  return c;
}

int RunWinget(const WingetArguments& a, Console& console) {
  console.quiet = a.quiet;
  Result<Manifest> settings = LoadSettings(a);
  if (!settings) {
    console.Error(settings.status());
    return kExitBadInput;
  }
  Result<WingetPackage> package = ReadPackage(PathFromUtf8(a.installer), console);
  if (!package) {
    console.Error(package.status());
    return kExitBadInput;
  }
  Result<std::vector<WingetFile>> files = MakeWingetManifests(*package, *settings);
  if (!files) {
    console.Error(files.status());
    return kExitBadInput;
  }
  Result<std::filesystem::path> folder = a.output.empty()
                                             ? DefaultFolder(*settings->winget_id, package->version)
                                             : Result<std::filesystem::path>(PathFromUtf8(a.output));
  if (!folder) {
    console.Error(folder.status());
    return kExitBadInput;
  }
  if (Status s = WriteFiles(*folder, *files); !s) {
    console.Error(s);
    return kExitBadInput;
  }
  if (console.ShowsSummary()) {
    console.out << "wrote the winget manifest of " << a.installer << " (" << package->version
                << ", " << ArchName(package->arch) << ", " << package->elevation << ") into "
                << Utf8FromPath(*folder) << ":\n";
    for (const WingetFile& file : *files) console.out << "  " << file.name << "\n";
  }
  return kExitOk;
}

}  // namespace lumipack
