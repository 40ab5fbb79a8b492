#include "command_line.h"

#include <CLI/CLI.hpp>
#include <deque>
#include <filesystem>
#include <optional>

#include "extractor.h"
#include "file_io.h"
#include "host.h"
#include "installer_report.h"
#include "installer_builder.h"
#include "installer_reader.h"
#include "language.h"
#include "manifest.h"

namespace lumipack {
namespace {

constexpr unsigned kMaxThreads = 256;

// A --name/--no-name pair; unset unless one of them is given.
struct Switch {
  std::optional<uint16_t> Manifest::*field = nullptr;
  bool value = false;
  CLI::Option* option = nullptr;
};

// A value option laid over the manifest's value.
struct TextOverride {
  const char* key = "";
  std::optional<std::string> Manifest::*field = nullptr;
  std::string value;
  CLI::Option* option = nullptr;
};

struct PathOverride {
  std::optional<std::filesystem::path> Manifest::*field = nullptr;
  std::string value;
  CLI::Option* option = nullptr;
};

// A value option checked by the parser and converted afterwards.
struct ValueOption {
  std::string value;
  CLI::Option* option = nullptr;
};

std::string CheckLanguage(const std::string& name) {
  return LanguageFromName(name) ? std::string()
                                : "must be auto, english, french, german, spanish, italian, "
                                  "dutch, portuguese or russian";
}

std::string CheckColour(const std::string& text) {
  return ParseColour(text) ? std::string() : "must be a colour written #RRGGBB";
}

int Fail(const Console& console, const std::string& message) {
  console.err << "lumipack: error: " << message << '\n';
  return kExitBadInput;
}

struct BuildArguments {
  std::string manifest;
  std::string output;
  std::deque<TextOverride> texts;
  std::deque<PathOverride> paths;
  std::deque<Switch> switches;
  ValueOption language;
  ValueOption header_text_color;
  ValueOption accent_color;
  ValueOption arch;
  bool no_uninstaller = false;
  std::vector<std::string> sign_with;
  bool fast = false;
  unsigned threads = 0;
};

void AddBuildOptions(CLI::App& build, BuildArguments& a) {
  build.add_option("manifest", a.manifest, "The installer's manifest (TOML)");
  build.add_option("-o,--output", a.output, "The installer to write")->required();
  const std::tuple<const char*, const char*, std::optional<std::string> Manifest::*, const char*>
      texts[] = {
          {"title", keys::kTitle, &Manifest::title, "The screensaver's title"},
          {"company", keys::kCompany, &Manifest::company, "The company name"},
          {"copyright", keys::kCopyright, &Manifest::copyright, "The copyright line"},
          {"file-name", keys::kFileName, &Manifest::file_name,
           "The installed screensaver's file name, without .scr"},
          {"version", keys::kVersion, &Manifest::version,
           "The screensaver's version, for the installed-programs list"},
          {"url", keys::kUrl, &Manifest::url, "The screensaver's web page (http:// or https://)"},
      };
  for (const auto& [name, key, field, help] : texts) {
    TextOverride& t = a.texts.emplace_back();
    t.key = key;
    t.field = field;
    t.option = build.add_option(std::string("--") + name, t.value, help);
  }
  const std::tuple<const char*, std::optional<std::filesystem::path> Manifest::*, const char*>
      paths[] = {
          {"screensaver", &Manifest::screensaver, "The screensaver file (.scr)"},
          {"licence", &Manifest::licence, "The licence text (UTF-8)"},
          {"info", &Manifest::info, "The information text (UTF-8)"},
          {"picture", &Manifest::picture, "The header picture (BMP, JPEG or PNG)"},
          {"uninstaller", &Manifest::uninstaller, "The uninstaller program"},
          {"companion", &Manifest::companion, "The companion program"},
          {"stub", &Manifest::stub, "The installer program the package is appended to"},
      };
  for (const auto& [name, field, help] : paths) {
    PathOverride& p = a.paths.emplace_back();
    p.field = field;
    p.option = build.add_option(std::string("--") + name, p.value, help);
  }
  build
      .add_flag("--no-uninstaller", a.no_uninstaller,
                "No uninstaller, not even the default one beside the stub")
      ->excludes("--uninstaller");
  a.language.option = build
                          .add_option("--language", a.language.value,
                                      "auto, english, french, german, spanish, italian, dutch, "
                                      "portuguese or russian")
                          ->check(CheckLanguage);
  a.header_text_color.option =
      build.add_option("--header-text-color", a.header_text_color.value, "#RRGGBB")
          ->check(CheckColour);
  a.accent_color.option =
      build.add_option("--accent-color", a.accent_color.value, "#RRGGBB")->check(CheckColour);
  const std::tuple<const char*, std::optional<uint16_t> Manifest::*, const char*> switches[] = {
      {"setup-options", &Manifest::show_setup_options, "Show the setup options"},
      {"open-display-properties", &Manifest::open_display_properties,
       "Open the display properties after installing"},
      {"start-menu-entry", &Manifest::create_start_menu_entry, "Create a Start menu entry"},
      {"desktop-icon", &Manifest::create_desktop_icon, "Create a desktop icon"},
      {"detect-existing", &Manifest::detect_existing, "Detect an installed copy"},
      {"info-page", &Manifest::show_info_page, "Show the information page"},
      {"header-text", &Manifest::show_header_text, "Show the header text"},
  };
  for (const auto& [name, field, help] : switches) {
    Switch& s = a.switches.emplace_back();
    s.field = field;
    s.option = build.add_flag(std::string("--") + name + ",!--no-" + name, s.value,
                              std::string(help) + " (--no-" + name + " to not)");
  }
  build.add_option("--sign-with", a.sign_with, "Sign with a PEM certificate and key (CERT KEY)")
      ->expected(2);
  a.arch.option = build
                      .add_option("--arch", a.arch.value,
                                  "The installer's architecture: x86, x64, or auto (the "
                                  "screensaver's own)")
                      ->check(CLI::IsMember({"x86", "x64", "auto"}));
  build.add_flag("--fast", a.fast, "Compress quickly rather than small");
  build.add_option("--threads", a.threads, "Compression threads (default: one per processor)")
      ->check(CLI::Range(1u, kMaxThreads));
}

std::optional<std::filesystem::path> StubFolder() {
  std::optional<std::filesystem::path> self = ExecutablePath();
  if (!self) return std::nullopt;
  return self->parent_path();
}

int RunBuild(BuildArguments& a, const Console& console) {
  BuildRequest request;
  if (!a.manifest.empty()) {
    Result<Manifest> manifest = LoadManifest(PathFromUtf8(a.manifest));
    if (!manifest) return Fail(console, manifest.message());
    request.settings = std::move(*manifest);
  }
  Manifest& m = request.settings;
  for (const TextOverride& t : a.texts) {
    if (t.option->count() == 0) continue;
    m.*(t.field) = t.value;
    m.origins[t.key] = "--" + t.option->get_lnames().front();
  }
  for (const PathOverride& p : a.paths) {
    if (p.option->count() != 0) m.*(p.field) = PathFromUtf8(p.value);
  }
  if (m.uninstaller) m.use_uninstaller.reset();
  if (a.no_uninstaller) {
    m.uninstaller.reset();
    m.use_uninstaller = false;
  }
  for (const Switch& s : a.switches) {
    if (s.option->count() != 0) m.*(s.field) = s.value ? 1 : 0;
  }
  if (a.language.option->count() != 0) m.language = LanguageFromName(a.language.value);
  if (a.header_text_color.option->count() != 0) {
    m.header_text_color = ParseColour(a.header_text_color.value);
  }
  if (a.accent_color.option->count() != 0) m.accent_color = ParseColour(a.accent_color.value);
  if (a.arch.option->count() != 0) {
    m.arch = ArchFromName(a.arch.value);
    m.origins[keys::kArch] = "--arch";
  }
  if (a.fast) m.fast = true;

  request.output = PathFromUtf8(a.output);
  request.threads = a.threads != 0 ? a.threads : std::min(ProcessorCount(), kMaxThreads);
  request.stub_folder = StubFolder();
  if (!a.sign_with.empty()) {
    request.sign_certificate = PathFromUtf8(a.sign_with[0]);
    request.sign_key = PathFromUtf8(a.sign_with[1]);
  }
  if (Status s = BuildInstallerFile(request, console); !s) return Fail(console, s.message());
  return kExitOk;
}

int RunInspect(const std::string& installer, bool as_json, const Console& console) {
  Result<InstallerContents> contents = ReadInstaller(PathFromUtf8(installer));
  if (!contents) return Fail(console, contents.message());
  if (as_json) {
    console.out << InspectionJson(*contents);
  } else {
    PrintInspection(*contents, console.out);
  }
  if (!contents->ok()) {
    return Fail(console, contents->name + ": damaged: " + contents->FirstProblem());
  }
  return kExitOk;
}

}  // namespace

int RunLumipack(const std::vector<std::string>& args, const Console& console) {
  CLI::App app{"Builds, inspects and unpacks Lumiset screensaver installers.", "lumipack"};
  app.set_version_flag("--version", LUMIPACK_VERSION);
  app.require_subcommand(1);

  CLI::App* build = app.add_subcommand("build", "Build an installer from a manifest");
  BuildArguments build_args;
  AddBuildOptions(*build, build_args);

  CLI::App* inspect = app.add_subcommand("inspect", "Show and check what an installer holds");
  std::string inspect_path;
  bool as_json = false;
  inspect->add_option("installer", inspect_path, "The installer")->required();
  inspect->add_flag("--json", as_json, "Print JSON");

  CLI::App* extract = app.add_subcommand("extract", "Write an installer's parts into a folder");
  std::string extract_path;
  std::string extract_folder;
  extract->add_option("installer", extract_path, "The installer")->required();
  extract->add_option("folder", extract_folder, "The folder to create")->required();

  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::Success& e) {
    return app.exit(e, console.out, console.err);
  } catch (const CLI::ParseError& e) {
    if (app.exit(e, console.out, console.err) == 0) return kExitOk;
    return kExitUsage;
  }

  try {
    if (*build) return RunBuild(build_args, console);
    if (*inspect) return RunInspect(inspect_path, as_json, console);
    if (Status s =
            ExtractInstaller(PathFromUtf8(extract_path), PathFromUtf8(extract_folder), console);
        !s) {
      return Fail(console, s.message());
    }
  } catch (const std::bad_alloc&) {
    return Fail(console, "out of memory");
  } catch (const std::exception& e) {
    return Fail(console, e.what());
  }
  return kExitOk;
}

}  // namespace lumipack
