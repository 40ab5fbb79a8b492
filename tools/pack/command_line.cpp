#include "command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>

#include "defines.h"
#include "extractor.h"
#include "file_io.h"
#include "host.h"
#include "installer_builder.h"
#include "installer_reader.h"
#include "installer_report.h"
#include "language.h"
#include "manifest.h"
#include "manifest_schema.h"
#include "signer.h"
#include "starter.h"
#include "winget_command.h"

namespace lumipack {
namespace {

constexpr unsigned kMaxThreads = 256;
// The manifest argument that reads the manifest from standard input.
constexpr const char* kStandardInputArgument = "-";
// The manifest `build` and `check` read when none is named, as `init`
// writes it.
constexpr const char* kDefaultManifestName = "lumipack.toml";

constexpr const char* kExitCodesHelp =
    "Exit codes:\n"
    "  0    success\n"
    "  1    bad input or output: a missing or unreadable file, a value or\n"
    "       manifest that cannot be used, a damaged installer, an output that\n"
    "       cannot be written, or warnings under --werror\n"
    "  2    a command line that does not parse\n"
    "  130  interrupted (143 after SIGTERM); scratch files are removed first";

// Help lines without CLI11's "{false}" after each --name,!--no-name pair,
// and with an option's value named as the option says, without the
// "Excludes: ..." and "x 2" notes (the descriptions say what matters).
class HelpFormatter : public CLI::Formatter {
 public:
  std::string make_option_opts(const CLI::Option* opt) const override {
    if (opt->get_type_size() == 0) return {};
    return " " + opt->get_type_name() + (opt->get_required() ? " (required)" : "");
  }

  std::string make_option_name(const CLI::Option* opt, bool is_positional) const override {
    if (is_positional) return opt->get_name(true, false);
    std::string names;
    for (const std::string& s : opt->get_snames()) names += (names.empty() ? "-" : ",-") + s;
    for (const std::string& l : opt->get_lnames()) names += (names.empty() ? "--" : ",--") + l;
    return names;
  }
};

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
  const char* key = "";
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

// A check of a whole number from `low` to `high`; `what` names its unit in
// the message ("a whole number of seconds from 1 to 3600").
std::function<std::string(const std::string&)> WholeNumber(unsigned low, unsigned high,
                                                          std::string what) {
  return [low, high, what](const std::string& text) -> std::string {
    unsigned n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error == std::errc() && end == text.data() + text.size() && n >= low && n <= high) {
      return {};
    }
    return "must be " + what + " from " + std::to_string(low) + " to " + std::to_string(high);
  };
}

std::function<std::string(const std::string&)> OneOf(std::vector<std::string> choices) {
  return [choices](const std::string& value) -> std::string {
    for (const std::string& c : choices) {
      if (value == c) return {};
    }
    std::string list;
    for (size_t i = 0; i < choices.size(); ++i) {
      list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
    }
    return "must be " + list;
  };
}

// Reporting options that every command that writes takes.
struct ReportArguments {
  bool quiet = false;
  bool verbose = false;
  bool no_progress = false;
};

void AddReportOptions(CLI::App& command, ReportArguments& r, bool has_progress) {
  CLI::Option* quiet = command.add_flag("-q,--quiet", r.quiet, "Print only warnings and errors");
  command.add_flag("-v,--verbose", r.verbose, "Also tell each step")->excludes(quiet);
  if (has_progress) {
    command.add_flag("--no-progress", r.no_progress,
                     "No progress bar (there is one only when standard error is a terminal)");
  }
}

void Apply(const ReportArguments& r, Console& console) {
  console.quiet = r.quiet;
  console.verbose = r.verbose;
  console.progress = !r.no_progress;
}

struct BuildArguments {
  std::string manifest;
  std::string output;
  std::string output_dir;
  std::vector<std::string> defines;
  std::deque<TextOverride> texts;
  std::deque<PathOverride> paths;
  std::deque<Switch> switches;
  ValueOption language;
  ValueOption header_text_color;
  ValueOption accent_color;
  ValueOption arch;
  bool no_uninstaller = false;
  std::vector<std::string> sign_with;
  std::string password_env;
  unsigned sign_timeout = kDefaultSignTimeoutSeconds;
  std::string sign_command;
  TextOverride timestamp;
  TextOverride sign_description;
  TextOverride sign_url;
  bool fast = false;
  bool best = false;
  std::string threads;
  bool werror = false;
  std::string message_format = "human";
  ReportArguments report;
};

void AddBuildOptions(CLI::App& build, BuildArguments& a) {
  build
      .add_option("manifest", a.manifest,
                  "The installer's manifest (TOML); - reads it from standard input")
      ->type_name("MANIFEST");
  CLI::Option* output =
      build
          .add_option("-o,--output", a.output,
                      "The installer to write (default: the title and Setup.exe, beside the "
                      "manifest)")
          ->type_name("FILE");
  build
      .add_option("--output-dir", a.output_dir,
                  "The existing folder to write TITLESetup.exe into, instead of the manifest's")
      ->type_name("FOLDER")
      ->excludes(output);
  build
      .add_option("-D,--define", a.defines,
                  "Define NAME for ${NAME} in the manifest's strings (repeatable; the last wins)")
      ->type_name("NAME=VALUE")
      ->check([](const std::string& text) {
        Result<std::pair<std::string, std::string>> define = ParseDefine(text);
        return define ? std::string() : define.message();
      });
  const std::tuple<const char*, const char*, std::optional<std::string> Manifest::*, const char*>
      texts[] = {
          {"title", keys::kTitle, &Manifest::title, "The screensaver's title"},
          {"company", keys::kCompany, &Manifest::company, "The company name"},
          {"copyright", keys::kCopyright, &Manifest::copyright, "The copyright line"},
          {"file-name", keys::kFileName, &Manifest::file_name,
           "The installed screensaver's file name (.scr is added when missing)"},
          {"version", keys::kVersion, &Manifest::version,
           "The screensaver's version, for the installed-programs list"},
          {"url", keys::kUrl, &Manifest::url, "The screensaver's web page (http:// or https://)"},
      };
  for (const auto& [name, key, field, help] : texts) {
    TextOverride& t = a.texts.emplace_back();
    t.key = key;
    t.field = field;
    t.option = build.add_option(std::string("--") + name, t.value, help)->type_name("TEXT");
  }
  const std::tuple<const char*, const char*, std::optional<std::filesystem::path> Manifest::*,
                   const char*>
      paths[] = {
          {"screensaver", keys::kScreensaver, &Manifest::screensaver,
           "The screensaver file (.scr)"},
          {"licence", keys::kLicence, &Manifest::licence, "The licence text (UTF-8)"},
          {"info", keys::kInfo, &Manifest::info, "The information text (UTF-8)"},
          {"picture", keys::kPicture, &Manifest::picture, "The header picture (BMP, JPEG or PNG)"},
          {"uninstaller", keys::kUninstaller, &Manifest::uninstaller, "The uninstaller program"},
          {"companion", keys::kCompanion, &Manifest::companion, "The companion program"},
          {"stub", keys::kStub, &Manifest::stub,
           "The installer program the package is appended to"},
          {"icon", keys::kIcon, &Manifest::icon, "The installer's icon (.ico)"},
      };
  for (const auto& [name, key, field, help] : paths) {
    PathOverride& p = a.paths.emplace_back();
    p.key = key;
    p.field = field;
    p.option = build.add_option(std::string("--") + name, p.value, help)->type_name("FILE");
  }
  build
      .add_flag("--no-uninstaller", a.no_uninstaller,
                "No uninstaller, not even the default one beside the stub")
      ->excludes("--uninstaller");
  a.language.option = build
                          .add_option("--language", a.language.value,
                                      "auto, english, french, german, spanish, italian, dutch, "
                                      "portuguese or russian")
                          ->type_name("LANGUAGE")
                          ->check(CheckLanguage);
  a.header_text_color.option =
      build.add_option("--header-text-color", a.header_text_color.value, "The header text colour")
          ->type_name("#RRGGBB")
          ->check(CheckColour);
  a.accent_color.option =
      build.add_option("--accent-color", a.accent_color.value, "The accent colour")
          ->type_name("#RRGGBB")
          ->check(CheckColour);
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
  CLI::Option* sign_with =
      build
          .add_option("--sign-with", a.sign_with,
                      "Sign with a PEM certificate and key, or with one PKCS#12 file (.p12, .pfx)")
          ->type_name("CERT KEY|P12")
          ->expected(1, 2);
  build
      .add_option("--sign-command", a.sign_command,
                  "Sign with this command instead, run by the shell on each file in turn with "
                  "{file} standing for it (for cloud and hardware keys)")
      ->type_name("CMD")
      ->excludes(sign_with);
  build
      .add_option("--password-env", a.password_env,
                  "The environment variable holding the key's password (never on the command "
                  "line)")
      ->type_name("VAR")
      ->needs(sign_with);
  const std::tuple<TextOverride*, const char*, const char*, std::optional<std::string> Manifest::*,
                   const char*, const char*>
      signing[] = {
          {&a.timestamp, "timestamp", keys::kSignTimestamp, &Manifest::sign_timestamp, "URL",
           "Timestamp the signature at this RFC 3161 server, so it outlives the certificate"},
          {&a.sign_description, "sign-description", keys::kSignDescription,
           &Manifest::sign_description, "TEXT",
           "The program's name in the signature (default: the title)"},
          {&a.sign_url, "sign-url", keys::kSignUrl, &Manifest::sign_url, "URL",
           "The web page in the signature"},
      };
  for (const auto& [t, name, key, field, type, help] : signing) {
    t->key = key;
    t->field = field;
    t->option = build.add_option(std::string("--") + name, t->value, help)
                    ->type_name(type)
                    ->needs(sign_with);
  }
  build
      .add_option("--sign-timeout", a.sign_timeout,
                  "Stop the signer after this many seconds (default " +
                      std::to_string(kDefaultSignTimeoutSeconds) + ")")
      ->type_name("SECONDS")
      ->check(WholeNumber(1, kMaxSignTimeoutSeconds, "a whole number of seconds"))
      ->needs(sign_with);
  a.arch.option = build
                      .add_option("--arch", a.arch.value,
                                  "The installer's architecture: x86, x64, or auto (the "
                                  "screensaver's own)")
                      ->type_name("ARCH")
                      ->check(OneOf({"x86", "x64", "auto"}));
  CLI::Option* fast =
      build.add_flag("--fast", a.fast, "Compress quickly (zlib level 1) rather than small");
  build.add_flag("--best", a.best, "Compress small (zlib level 9), the default")->excludes(fast);
  build
      .add_option("--threads", a.threads,
                  "Compression threads, 1 to " + std::to_string(kMaxThreads) +
                      " (default: one per processor); the output does not depend on it")
      ->type_name("N")
      ->check(WholeNumber(1, kMaxThreads, "a whole number"));
  build.add_flag("--werror", a.werror, "Treat warnings as errors: write nothing after one");
  build
      .add_option("--message-format", a.message_format,
                  "human, or json: each warning and error and a closing summary as one JSON "
                  "object a line on standard output")
      ->type_name("FORMAT")
      ->check(OneOf({"human", "json"}));
  AddReportOptions(build, a.report, true);
}

// The number of single-character edits between two words.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The known word closest to a mistyped one, when one is close enough to be
// what was meant.
std::optional<std::string> Closest(std::string_view typed, const std::vector<std::string>& known) {
  std::optional<std::string> best;
  size_t best_distance = std::max<size_t>(2, typed.size() / 3) + 1;
  for (const std::string& word : known) {
    const size_t distance = EditDistance(typed, word);
    if (distance < best_distance) {
      best = word;
      best_distance = distance;
    }
  }
  return best;
}

// What a parse error means to the author, with a suggestion for a mistyped
// command or option: CLI11's own phrases name the library's view, not the
// author's.
std::string UsageMessage(const CLI::ParseError& e, const CLI::App& app, const CLI::App* command,
                         const std::vector<std::string>& args) {
  const std::string what = e.what();
  if (command == nullptr && args.size() > 1 && !args[1].starts_with("-")) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
    std::string message = "'" + args[1] + "' is not a lumipack command";
    if (std::optional<std::string> meant = Closest(args[1], names)) {
      message += "; did you mean '" + *meant + "'?";
    }
    return message;
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr && command != nullptr) {
    std::vector<std::string> options;
    for (const CLI::Option* option : command->get_options()) {
      for (const std::string& name : option->get_lnames()) options.push_back("--" + name);
    }
    for (size_t i = 1; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (!arg.starts_with("--")) continue;
      const std::string name = arg.substr(0, arg.find('='));
      if (std::find(options.begin(), options.end(), name) != options.end()) continue;
      std::string message = "unknown option " + name;
      if (std::optional<std::string> meant = Closest(name, options)) {
        message += "; did you mean " + *meant + "?";
      }
      return message;
    }
  }
  if (e.get_name() == "ArgumentMismatch" && what.find("At Most 1 required") != std::string::npos) {
    return what.substr(0, what.find(':')) + " is given more than once; give it once";
  }
  return what;
}

std::optional<std::filesystem::path> StubFolder() {
  std::optional<std::filesystem::path> self = ExecutablePath();
  if (!self) return std::nullopt;
  return self->parent_path();
}

// The request the arguments describe: the manifest with the command line
// laid over it.
Result<BuildRequest> MakeRequest(BuildArguments& a) {
  BuildRequest request;
  Result<Defines> read_defines = DefinesFrom(a.defines, EnvironmentVariable);
  if (!read_defines) return read_defines.status();
  const Defines& defines = *read_defines;
  if (a.manifest == kStandardInputArgument) {
    Result<Manifest> manifest = LoadManifestFromStandardInput(defines);
    if (!manifest) return manifest.status();
    request.settings = std::move(*manifest);
    request.manifest_from_standard_input = true;
  } else if (!a.manifest.empty() || std::filesystem::is_regular_file(kDefaultManifestName)) {
    // Without one named, the folder's own lumipack.toml is the manifest, as
    // `lumipack init` writes it.
    const std::filesystem::path path =
        PathFromUtf8(a.manifest.empty() ? std::string(kDefaultManifestName) : a.manifest);
    Result<Manifest> manifest = LoadManifest(path, defines);
    if (!manifest) return manifest.status();
    request.settings = std::move(*manifest);
    request.output_folder = path.parent_path();
    request.manifest_path = path;
  }
  Manifest& m = request.settings;
  for (const TextOverride& t : a.texts) {
    if (t.option->count() == 0) continue;
    m.*(t.field) = t.value;
    m.origins[t.key] = Origin{{}, 0, 0, "--" + t.option->get_lnames().front()};
  }
  for (const PathOverride& p : a.paths) {
    if (p.option->count() == 0) continue;
    m.*(p.field) = PathFromUtf8(p.value);
    m.origins[p.key] = Origin{{}, 0, 0, "--" + p.option->get_lnames().front()};
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
    m.origins[keys::kArch] = Origin{{}, 0, 0, "--arch"};
  }
  if (a.fast) m.fast = true;
  if (a.best) m.fast = false;

  if (a.output == kStandardInputArgument) {
    return Status::Failure("-o -: an installer cannot go to standard output; name a file");
  }
  if (!a.output.empty()) request.output = PathFromUtf8(a.output);
  if (!a.output_dir.empty()) {
    request.output_folder = PathFromUtf8(a.output_dir);
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(request.output_folder, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(status)) {
      return Status::Failure("--output-dir " + a.output_dir +
                             ": is a file, not a folder; give the folder to write into, or "
                             "name the installer with -o");
    }
  }
  unsigned threads = 0;
  std::from_chars(a.threads.data(), a.threads.data() + a.threads.size(), threads);
  request.threads = threads != 0 ? threads : std::min(ProcessorCount(), kMaxThreads);
  request.stub_folder = StubFolder();
  request.warnings_are_errors = a.werror;
  for (const TextOverride* t : {&a.timestamp, &a.sign_description, &a.sign_url}) {
    if (t->option->count() == 0) continue;
    m.*(t->field) = t->value;
    m.origins[t->key] = Origin{{}, 0, 0, "--" + t->option->get_lnames().front()};
  }
  if (!a.sign_command.empty() || (a.sign_with.empty() && m.sign_command)) {
    Signing& signing = request.signing.emplace();
    signing.command = !a.sign_command.empty() ? a.sign_command : *m.sign_command;
    signing.timeout_seconds = a.sign_timeout;
    if (Result<std::string> line = SignCommandFor(signing.command, "x.exe"); !line) {
      const char* key = a.sign_command.empty() ? keys::kSignCommand : "";
      return Status::Failure((a.sign_command.empty() ? m.OriginOf(key) : std::string("--sign-command")) +
                                 ": " + line.message(),
                             a.sign_command.empty() ? m.PlaceOf(key) : Place{});
    }
  } else if (!a.sign_with.empty()) {
    Signing& signing = request.signing.emplace();
    if (a.sign_with.size() == 2) signing.certificate = PathFromUtf8(a.sign_with[0]);
    signing.key = PathFromUtf8(a.sign_with.back());
    if (!a.password_env.empty()) {
      signing.password = EnvironmentVariable(a.password_env);
      if (!signing.password) {
        return Status::Failure("--password-env " + a.password_env +
                               ": the environment variable is not set");
      }
      signing.password_source = a.password_env;
    }
    Result<std::optional<int64_t>> time = SigningTimeFrom(std::getenv("SOURCE_DATE_EPOCH"));
    if (!time) return time.status();
    signing.signing_time = *time;
    if (m.sign_timestamp) {
      if (Status s = CheckTimestampUrl(*m.sign_timestamp); !s) {
        return Status::Failure(m.OriginOf(keys::kSignTimestamp) + ": " + s.message(),
                               m.PlaceOf(keys::kSignTimestamp));
      }
      signing.timestamp_url = *m.sign_timestamp;
    }
    signing.description = m.sign_description ? *m.sign_description : m.title.value_or("");
    signing.url = m.sign_url.value_or("");
    signing.timeout_seconds = a.sign_timeout;
  }
  return request;
}

int RunBuild(BuildArguments& a, bool check_only, Console& console) {
  Apply(a.report, console);
  if (a.message_format == "json") console.format = MessageFormat::kJson;
  Result<BuildOutcome> outcome = Status::Failure("not built");
  {
    Result<BuildRequest> request = MakeRequest(a);
    if (request) {
      request->check_only = check_only;
      outcome = BuildInstallerFile(*request, console);
    } else {
      outcome = request.status();
    }
  }
  if (!outcome) console.Error(outcome.status());
  if (console.format == MessageFormat::kJson) {
    nlohmann::json summary = {{"type", "summary"},
                              {"command", check_only ? "check" : "build"},
                              {"ok", outcome.ok()},
                              {"warnings", console.warnings},
                              {"errors", outcome.ok() ? 0 : 1}};
    summary["output"] = outcome ? nlohmann::json(Utf8FromPath(outcome->output)) : nullptr;
    summary["size"] = outcome && !check_only ? nlohmann::json(outcome->size) : nullptr;
    summary["signed"] = outcome && outcome->is_signed;
    console.out << summary.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  }
  return outcome ? kExitOk : kExitBadInput;
}

int RunInspect(const std::string& installer, bool as_json, Console& console) {
  Result<InstallerContents> contents = ReadInstaller(PathFromUtf8(installer));
  if (!contents) {
    if (as_json) console.out << InspectionFailureJson(installer, contents.message());
    console.Error(contents.status());
    return kExitBadInput;
  }
  if (as_json) {
    console.out << InspectionJson(*contents);
  } else {
    PrintInspection(*contents, console.out);
  }
  if (!contents->ok()) {
    console.Error(contents->name + ": damaged: " + contents->FirstProblem());
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace

int RunLumipack(const std::vector<std::string>& args, Console& console) {
  CLI::App app{"Builds, checks, inspects and unpacks Lumiset screensaver installers.", "lumipack"};
  app.formatter(std::make_shared<HelpFormatter>());
  app.footer(kExitCodesHelp);
  app.set_version_flag("--version", LUMIPACK_VERSION);
  app.require_subcommand(1);

  CLI::App* build = app.add_subcommand("build", "Build an installer from a manifest");
  BuildArguments build_args;
  AddBuildOptions(*build, build_args);

  CLI::App* check = app.add_subcommand(
      "check", "Check a manifest and every input as build would, and write nothing");
  BuildArguments check_args;
  AddBuildOptions(*check, check_args);

  CLI::App* inspect = app.add_subcommand("inspect", "Show and check what an installer holds");
  std::string inspect_path;
  bool as_json = false;
  inspect->add_option("installer", inspect_path, "The installer")->required()->type_name("FILE");
  inspect->add_flag("--json", as_json, "Print JSON; on failure {\"ok\": false, \"problem\": ...}");

  CLI::App* extract = app.add_subcommand("extract", "Write an installer's parts into a folder");
  std::string extract_path;
  std::string extract_folder;
  ReportArguments extract_report;
  extract->add_option("installer", extract_path, "The installer")->required()->type_name("FILE");
  extract->add_option("folder", extract_folder, "The folder to create (or an empty one)")
      ->required()
      ->type_name("FOLDER");
  AddReportOptions(*extract, extract_report, false);

  CLI::App* init = app.add_subcommand(
      "init", "Write a starter manifest and licence text into a folder, overwriting nothing");
  std::string init_folder = ".";
  init->add_option("folder", init_folder, "The folder (created when missing; default: this one)")
      ->type_name("FOLDER");

  CLI::App* schema = app.add_subcommand("schema", "Print a JSON Schema of the manifest");

  WingetArguments winget_args;
  CLI::App* winget = AddWingetCommand(app, winget_args);

  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    app.parse(static_cast<int>(argv.size()), argv.data());
  } catch (const CLI::ParseError& e) {
    // --help and --version end parsing with exit code 0.
    if (e.get_exit_code() == 0) return app.exit(e, console.out, console.err);
    std::string command = "lumipack";
    const CLI::App* parsed = nullptr;
    for (const CLI::App* sub : {build, check, inspect, extract, init, schema, winget}) {
      if (sub->parsed()) {
        command += " " + sub->get_name();
        parsed = sub;
      }
    }
    console.err << "lumipack: error: " << UsageMessage(e, app, parsed, args) << "\n"
                << "Run '" << command << " --help' for the options.\n";
    return kExitUsage;
  }

  try {
    if (*build) return RunBuild(build_args, false, console);
    if (*check) return RunBuild(check_args, true, console);
    if (*inspect) return RunInspect(inspect_path, as_json, console);
    if (*winget) return RunWinget(winget_args, console);
    if (*schema) {
      console.out << ManifestSchema().dump(2) << "\n";
      return kExitOk;
    }
    if (*init) {
      if (Status s = WriteStarter(PathFromUtf8(init_folder), console); !s) {
        console.Error(s);
        return kExitBadInput;
      }
      return kExitOk;
    }
    Apply(extract_report, console);
    if (Status s =
            ExtractInstaller(PathFromUtf8(extract_path), PathFromUtf8(extract_folder), console);
        !s) {
      console.Error(s);
      return kExitBadInput;
    }
  } catch (const std::bad_alloc&) {
    console.Error("out of memory");
    return kExitBadInput;
  } catch (const std::exception& e) {
    console.Error(e.what());
    return kExitBadInput;
  }
  return kExitOk;
}

}  // namespace lumipack
