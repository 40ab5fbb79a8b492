#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app_manifest.h"
#include "base/memory_file.h"
#include "command_fixture.h"
#include "package/default_uninstaller.h"
#include "sha.h"
#include "support/test_package.h"
#include "test_images.h"
#include "test_pe.h"
#include "winget_manifest.h"

// The winget manifest of a built installer: the rules of its fields, the
// installer's switches and entry as read from the installer, and the
// command's refusals.

namespace lumipack::testing {
namespace {

namespace fs = std::filesystem;

TEST(WingetFields, FollowTheSchemasRules) {
  const std::string part32(32, 'p');
  struct Case {
    std::function<std::optional<std::string>(std::string_view)> rule;
    std::string text;
    bool ok;
  };
  const auto id = PackageIdentifierProblem;
  const auto version = PackageVersionProblem;
  const auto url = WingetUrlProblem;
  const auto locale = LocaleProblem;
  const auto tag = [](std::string_view t) { return TextProblem(t, 1, 40); };
  const Case cases[] = {
      {id, "Lumiset.Starfield", true},
      {id, "A.B.C.D.E.F.G.H", true},
      {id, "Caf\u00e9.Sterne", true},
      {id, part32 + "." + part32, true},
      {id, "Starfield", false},
      {id, "A.B.C.D.E.F.G.H.I", false},
      {id, "Lumiset..Starfield", false},
      {id, ".Starfield", false},
      {id, "Lumiset.", false},
      {id, "Lumiset Samples.Starfield", false},
      {id, "Lumiset.Star\u3000field", false},
      {id, "Lumiset/x.Starfield", false},
      {id, "Lumiset.Star\x01", false},
      {id, part32 + "p.Starfield", false},
      {id, "\xff.x", false},
      {version, "1.0", true},
      {version, "2.1 beta (build 7)", true},
      {version, "", false},
      {version, "1:0", false},
      {version, "1.0\t", false},
      {version, std::string(129, '1'), false},
      {url, "https://example.com/a.exe", true},
      {url, "HTTP://example.com/${x}", true},
      {url, "ftp://example.com/a.exe", false},
      {url, "https://", false},
      {url, "https://example.com/a b.exe", false},
      {url, "https://example.com/" + std::string(2030, 'a'), false},
      {locale, "en-US", true},
      {locale, "de", true},
      {locale, "zh-Hant-TW", true},
      {locale, "x-klingon", true},
      {locale, "e", false},
      {locale, "english", false},
      {locale, "en_US", false},
      {locale, "en-", false},
      {locale, "en-abcdefghi", false},
      {tag, "stars", true},
      {tag, "\u00e9t\u00e9", true},
      {tag, "", false},
      {tag, std::string(41, 't'), false},
      {tag, "two\nlines", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(!c.rule(c.text).has_value(), c.ok) << c.text << ": " << c.rule(c.text).value_or("");
  }
}

TEST(WingetFields, QuotesAnyTextAsOneYamlScalar) {
  EXPECT_EQ(YamlQuoted("Starfield"), "\"Starfield\"");
  EXPECT_EQ(YamlQuoted("/log=\"<LOGPATH>\""), "\"/log=\\\"<LOGPATH>\\\"\"");
  EXPECT_EQ(YamlQuoted("C:\\x: #1 - 'a'"), "\"C:\\\\x: #1 - 'a'\"");
  EXPECT_EQ(YamlQuoted("a\tb\x7f"), "\"a\\x09b\\x7F\"");
  EXPECT_EQ(YamlQuoted("\u00c9cran \u0085\u2028"), "\"\u00c9cran \\u0085\\u2028\"");
}

TEST(ApplicationManifest, ReadsTheLevelItAsksFor) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"<trustInfo><security><requestedPrivileges><requestedExecutionLevel "
       "level=\"requireAdministrator\" uiAccess=\"false\"/></requestedPrivileges>",
       "requireAdministrator"},
      {"<ms_asmv3:requestedExecutionLevel uiAccess='false'\n  level = 'asInvoker' />", "asInvoker"},
      {"<!-- <requestedExecutionLevel level=\"requireAdministrator\"/> -->"
       "<requestedExecutionLevel level=\"highestAvailable\"/>",
       "highestAvailable"},
      {"<!-- <requestedExecutionLevel level=\"requireAdministrator\"/> -->", std::nullopt},
      {"<requestedExecutionLevels level=\"requireAdministrator\"/>", std::nullopt},
      {"<requestedExecutionLevel uiAccess=\"false\"/>", std::nullopt},
      {"<requestedExecutionLevel level=\"requireAdministrator", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, level] : cases) {
    EXPECT_EQ(RequestedExecutionLevel(text), level) << text;
  }
}

TEST(ApplicationManifest, IsFoundInTheProgramsResources) {
  const std::string text = "<assembly><requestedExecutionLevel level=\"requireAdministrator\"/>";
  for (const std::optional<std::string>& manifest :
       {std::optional<std::string>(text), std::optional<std::string>("\xEF\xBB\xBF" + text),
        std::optional<std::string>()}) {
    const std::vector<uint8_t> image = MakeTestPe({.app_manifest = manifest});
    lumiset::MemoryFile file(image);
    FileRangeReader reader(file);
    Result<std::optional<std::string>> read = ReadApplicationManifest(reader);
    ASSERT_TRUE(read) << read.message();
    EXPECT_EQ(*read, manifest ? std::optional<std::string>(text) : std::nullopt);
  }
}

// A program carrying the default uninstaller's marker, as the real one does.
std::vector<uint8_t> DefaultUninstaller(std::vector<uint8_t> image) {
  for (char c : std::string_view(LUMISET_DEFAULT_UNINSTALLER_MARKER)) {
    image.insert(image.end(), {static_cast<uint8_t>(c), 0});
  }
  return image;
}

constexpr const char* kAdministrator =
    "<assembly><trustInfo><security><requestedPrivileges><requestedExecutionLevel "
    "level=\"requireAdministrator\" uiAccess=\"false\"/></requestedPrivileges></security>"
    "</trustInfo></assembly>";

constexpr const char* kWingetTable =
    "[winget]\n"
    "id = \"Lumiset.Starfield\"\n"
    "url = \"https://example.com/${version}/StarfieldSetup.exe\"\n"
    "licence = \"Freeware\"\n"
    "short_description = \"Stars fly past\"\n"
    "tags = [\"stars\", \"space\"]\n";

class WingetCommand : public LumipackCommand {
 public:
  void SetUp() override {
    LumipackCommand::SetUp();
    Write("stub.exe", StubImage(false, kAdministrator));
    Write("lumiset-uninstall.exe", DefaultUninstaller(lumiset::testing::MinimalPeImage(700)));
    Write("m.toml", std::string(kBaseManifest) + "version = \"2.1\"\n" +
                        "url = \"https://example.com/starfield\"\n" + kWingetTable);
  }

  // Builds Setup.exe from m.toml plus `more` (keys before any table).
  void BuildSetup(const std::string& more = "") {
    Write("m.toml", std::string(kBaseManifest) + more + kWingetTable);
    const Outcome built = Lumipack("build m.toml -o Setup.exe");
    ASSERT_EQ(built.code, 0) << built.err;
  }
};

TEST_F(WingetCommand, WritesWhatAnInstallationWrites) {
  BuildSetup("version = \"2.1\"\nurl = \"https://example.com/starfield\"\n");
  const Outcome made = Lumipack("winget Setup.exe --manifest m.toml --licence MIT --tag stars");
  ASSERT_EQ(made.code, 0) << made.err;
  EXPECT_EQ(made.err, "");
  const std::string folder = "manifests/l/Lumiset/Starfield/2.1/";
  EXPECT_CONTAINS(made.out, "into manifests/l/Lumiset/Starfield/2.1:");
  const std::string version = ReadText(folder + "Lumiset.Starfield.yaml");
  const std::string installer = ReadText(folder + "Lumiset.Starfield.installer.yaml");
  const std::string listing = ReadText(folder + "Lumiset.Starfield.locale.en-US.yaml");
  for (const std::string* text : {&version, &installer, &listing}) {
    EXPECT_CONTAINS(*text, "PackageIdentifier: \"Lumiset.Starfield\"\nPackageVersion: \"2.1\"\n");
    EXPECT_CONTAINS(*text, "ManifestVersion: 1.10.0\n");
  }
  EXPECT_CONTAINS(version, "DefaultLocale: \"en-US\"\nManifestType: version\n");
  Sha hash(Sha::Kind::kSha256);
  hash.Add(Read("Setup.exe"));
  for (const std::string& line : std::vector<std::string>{
       "InstallerType: exe\nScope: machine\n",
        "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n",
        "  Silent: \"/q /n\"\n  SilentWithProgress: \"/q /f /n\"\n"
        "  Log: \"/log=\\\"<LOGPATH>\\\"\"\n",
        "UnsupportedArguments:\n- location\n",
        "- InstallerReturnCode: 2\n  ReturnResponse: contactSupport\n"
        "  ReturnResponseUrl: \"https://example.com/starfield\"\n",
        "UpgradeBehavior: install\n",
        "- Architecture: x86\n"
        "  InstallerUrl: \"https://example.com/2.1/StarfieldSetup.exe\"\n"
        "  InstallerSha256: " + HexUpper(hash.Finish()) + "\n"
        "  ElevationRequirement: elevatesSelf\n"
        "  ProductCode: \"Starfield Screensaver\"\n"
        "  AppsAndFeaturesEntries:\n"
        "  - DisplayName: \"Starfield Screensaver\"\n"
        "    Publisher: \"Lumiset Samples\"\n"
        "    DisplayVersion: \"2.1\"\n"
        "    ProductCode: \"Starfield Screensaver\"\n"}) {
    EXPECT_CONTAINS(installer, line);
  }
  for (const char* line :
       {"PackageLocale: \"en-US\"\nPublisher: \"Lumiset Samples\"\nPackageName: \"Starfield\"\n"
        "PackageUrl: \"https://example.com/starfield\"\nLicense: \"MIT\"\n"
        "Copyright: \"(c) 2026 Lumiset Samples\"\nShortDescription: \"Stars fly past\"\n"
        "Tags:\n- \"stars\"\nManifestType: defaultLocale\n"}) {
    EXPECT_CONTAINS(listing, line);
  }

  // The manifest's variables, as build takes them.
  Write("vars.toml", "[winget]\nid = \"A.B\"\nurl = \"https://${host}/${version}/S.exe\"\n"
                     "licence = \"MIT\"\nshort_description = \"Stars\"\n");
  ASSERT_EQ(Lumipack("winget Setup.exe --manifest vars.toml -D host=h.example -o vars").code, 0);
  EXPECT_CONTAINS(ReadText("vars/A.B.installer.yaml"),
                  "InstallerUrl: \"https://h.example/2.1/S.exe\"");
  EXPECT_CONTAINS(Lumipack("winget Setup.exe --manifest vars.toml -o vars").err,
                  "'winget.url' uses ${host}, which is not defined");

  // Written again over the same files.
  ASSERT_EQ(Lumipack("winget Setup.exe --manifest m.toml -q -o out").code, 0);
  EXPECT_CONTAINS(ReadText("out/Lumiset.Starfield.locale.en-US.yaml"), "License: \"Freeware\"");
}

TEST_F(WingetCommand, FollowsTheInstallersLanguageStubAndSignature) {
  Write("stub64.exe", StubImage(true));
  Write("scr64.scr", SixtyFourBitPe());
  Write("lumiset64-uninstall.exe", DefaultUninstaller(SixtyFourBitPe()));
  BuildSetup("version = \"3\"\nlanguage = \"german\"\n");
  std::vector<uint8_t> image = Read("Setup.exe");
  lumiset::testing::AttachFakeSignature(image, 1024, kStubImageCertEntry);
  Write("Signed.exe", image);
  ASSERT_EQ(Lumipack("winget Signed.exe --manifest m.toml -o de").code, 0);
  const std::string installer = ReadText("de/Lumiset.Starfield.installer.yaml");
  EXPECT_CONTAINS(installer, "DisplayName: \"Starfield Bildschirmschoner\"");
  EXPECT_CONTAINS(installer, "ProductCode: \"Starfield Screensaver\"");
  Sha hash(Sha::Kind::kSha256);
  hash.Add(image);
  EXPECT_CONTAINS(installer, "InstallerSha256: " + HexUpper(hash.Finish()));
  EXPECT_CONTAINS(ReadText("de/Lumiset.Starfield.locale.de-DE.yaml"), "PackageLocale: \"de-DE\"");

  // A 64-bit stub whose manifest asks for no elevation.
  const Outcome built =
      Lumipack("build m.toml -o Setup64.exe --stub stub64.exe --screensaver scr64.scr");
  ASSERT_EQ(built.code, 0) << built.err;
  ASSERT_EQ(Lumipack("winget Setup64.exe --manifest m.toml -o x64").code, 0);
  const std::string x64 = ReadText("x64/Lumiset.Starfield.installer.yaml");
  EXPECT_CONTAINS(x64, "- Architecture: x64\n");
  EXPECT_CONTAINS(x64, "ElevationRequirement: elevationRequired\n");
}

TEST_F(WingetCommand, RefusesWhatWingetCannotTakeNamingTheSetting) {
  BuildSetup("version = \"2.1\"\n");
  Write("NoVersion.toml", std::string(kBaseManifest) + kWingetTable);
  ASSERT_EQ(Lumipack("build NoVersion.toml -o NoVersion.exe").code, 0);
  Write("Bare.toml", std::string(kBaseManifest) + "version = \"1\"\nuninstaller = false\n");
  ASSERT_EQ(Lumipack("build Bare.toml -o NoUninstaller.exe").code, 0);
  std::vector<uint8_t> damaged = Read("Setup.exe");
  damaged[damaged.size() - 100] ^= 0x55;
  Write("Damaged.exe", damaged);
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"NoVersion.exe --manifest m.toml",
       "NoVersion.exe: the package has no version, which winget requires (PackageVersion): set "
       "'version' in the manifest"},
      {"NoUninstaller.exe --manifest m.toml", "NoUninstaller.exe: the package has no uninstaller"},
      {"Damaged.exe --manifest m.toml", "Damaged.exe: damaged: the screensaver"},
      {"Missing.exe --manifest m.toml", "Missing.exe"},
      {"Setup.exe", "no winget.id, which winget requires: set 'id' in the [winget] table"},
      {"Setup.exe --id A.B --licence MIT --short-description Stars",
       "no winget.url, which winget requires"},
      {"Setup.exe --id A.B --url https://e.com/a.exe --short-description Stars",
       "no winget.licence, which winget requires: set 'licence' in the [winget] table of the "
       "manifest (--manifest) or pass --licence"},
      {"Setup.exe --manifest m.toml --id Starfield", "--id: \"Starfield\" has 1 part"},
      {"Setup.exe --manifest m.toml --url ftp://e.com/a.exe",
       "--url: \"ftp://e.com/a.exe\" is not a web address"},
      {"Setup.exe --manifest m.toml --licence '  '", "--licence: \"  \""},
      {"Setup.exe --manifest m.toml --tag a --tag a", "--tag: \"a\" is given twice"},
      {"Setup.exe --manifest m.toml --locale english", "--locale: \"english\" is not a locale"},
      {"Setup.exe --manifest Missing.toml", "Missing.toml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome made = Lumipack(std::string("winget -o out ") + c.args);
    EXPECT_EQ(made.code, 1);
    EXPECT_CONTAINS(made.err, c.message);
    EXPECT_FALSE(fs::exists(Path("out")));
  }
  Write("Colon.toml", std::string(kBaseManifest) + "version = \"1:0\"\n");
  ASSERT_EQ(Lumipack("build Colon.toml -o Colon.exe").code, 0);
  const Outcome colon = Lumipack("winget Colon.exe --manifest m.toml");
  EXPECT_EQ(colon.code, 1);
  EXPECT_CONTAINS(colon.err, "the installer's version: \"1:0\" holds U+003A ':'");
  EXPECT_CONTAINS(colon.err, "change 'version' and build the installer again");
  EXPECT_EQ(Lumipack("winget").code, 2);
}

}  // namespace
}  // namespace lumipack::testing
