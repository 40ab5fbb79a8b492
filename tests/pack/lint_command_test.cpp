#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "test_pe.h"

// The screensaver's lint as authors meet it: warnings from check and build,
// errors under --werror, JSON objects under --message-format json, and the
// same findings from inspect for the screensaver inside an installer.

namespace lumipack::testing {
namespace {

using nlohmann::json;

struct Problem {
  const char* name;
  TestPe spec;
  const char* rule;
  const char* says;  // the start of the finding, after the file's name
};

const Problem kProblems[] = {
    {"console subsystem", {.subsystem = 3}, "subsystem", "is a console program (subsystem 3)"},
    {"a DLL Windows does not ship",
     {.imports = {"KERNEL32.dll", "msvcp140.dll"}},
     "dll",
     "imports msvcp140.dll, which Windows does not ship"},
    {".NET header",
     {.imports = {"mscoree.dll"}, .clr_version = "v4.0.30319"},
     "dotnet",
     "is a .NET program (metadata version v4.0.30319): it needs .NET Framework 4"},
};

std::vector<json> JsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(json::parse(line));
  return lines;
}

// Without an uninstaller, whose absence would be a warning of its own.
constexpr const char* kWithoutUninstaller = "uninstaller = false\n";

TEST_F(LumipackCommand, LintsTheScreensaverInCheckBuildAndInspect) {
  Write("m.toml", std::string(kBaseManifest) + kWithoutUninstaller);
  for (const Problem& p : kProblems) {
    SCOPED_TRACE(p.name);
    Write("starfield.scr", MakeTestPe(p.spec));
    const std::string warning = std::string("starfield.scr: ") + p.says;

    const Outcome checked = Lumipack("check m.toml");
    ASSERT_EQ(checked.code, 0) << checked.err;
    EXPECT_CONTAINS(checked.err, "lumipack: warning: m.toml:4: " + warning);
    EXPECT_CONTAINS(checked.out, "warnings     1");

    const Outcome strict = Lumipack("build m.toml -o strict.exe --werror");
    EXPECT_EQ(strict.code, 1);
    EXPECT_CONTAINS(strict.err, "lumipack: error: 1 warning, which --werror makes errors");
    EXPECT_FALSE(std::filesystem::exists(Path("strict.exe")));

    const Outcome built = Lumipack("build m.toml -o out.exe --message-format json");
    ASSERT_EQ(built.code, 0) << built.err;
    const std::vector<json> lines = JsonLines(built.out);
    ASSERT_EQ(lines.size(), 2u) << built.out;
    EXPECT_EQ(lines[0]["type"], "warning");
    EXPECT_EQ(lines[0]["message"].get<std::string>().rfind(warning, 0), 0u) << lines[0];
    EXPECT_EQ(lines[0]["key"], "screensaver");
    EXPECT_EQ(lines[0]["file"], "m.toml");
    EXPECT_EQ(lines[0]["line"], 4);
    EXPECT_EQ(lines[1]["type"], "summary");
    EXPECT_EQ(lines[1]["warnings"], 1);

    const Outcome shown = Lumipack("inspect out.exe");
    EXPECT_EQ(shown.code, 0) << shown.err;
    EXPECT_CONTAINS(shown.out, std::string("  lint         warning: ") + p.says);
    const json lint = Inspect("out.exe")["items"]["screensaver"]["lint"];
    ASSERT_EQ(lint.size(), 1u) << lint;
    EXPECT_EQ(lint[0]["rule"], p.rule);
    EXPECT_EQ(lint[0]["message"].get<std::string>().rfind(p.says, 0), 0u) << lint;
  }
}

TEST_F(LumipackCommand, AGuiScreensaverOfSystemDllsLintsClean) {
  Write("m.toml", std::string(kBaseManifest) + kWithoutUninstaller);
  Write("starfield.scr", MakeTestPe({.imports = {"KERNEL32.dll", "USER32.dll", "msvcrt.dll"}}));
  const Outcome built = Lumipack("build m.toml -o out.exe --werror");
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.err, "");
  EXPECT_CONTAINS(Lumipack("inspect out.exe").out,
                  "  lint         nothing found: a Windows GUI program that needs only what "
                  "Windows ships");
  EXPECT_EQ(Inspect("out.exe")["items"]["screensaver"]["lint"], json::array());
}

}  // namespace
}  // namespace lumipack::testing
