#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "command_fixture.h"
#include "support/test_package.h"

// What a build pipeline uses: check, --werror, the reporting options, JSON
// messages, the manifest from standard input, and the progress bar on a
// terminal.

namespace lumipack::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::vector<json> JsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(json::parse(line, nullptr, false));
    EXPECT_TRUE(lines.back().is_object()) << line;
  }
  return lines;
}

TEST_F(LumipackCommand, CheckReadsEverythingAndWritesNothing) {
  Write("l.txt", "Hello {UserName}\n");
  const std::set<std::string> before = Listing();
  const Outcome good = Lumipack("check m.toml --licence l.txt");
  EXPECT_EQ(good.code, 0) << good.err;
  EXPECT_CONTAINS(good.out, "checked: everything needed for StarfieldSetup.exe is sound");
  EXPECT_CONTAINS(good.out, "screensaver  starfield.scr: 32-bit PE image (x86), 8704 bytes\n");
  EXPECT_CONTAINS(good.err, "l.txt:1:7: {UserName} is not a placeholder");
  EXPECT_EQ(Listing(), before);

  // What a build refuses, check refuses, before anything would be written.
  Write("u.exe", "not a program");
  const Outcome bad = Lumipack("check m.toml -o out.exe --uninstaller u.exe");
  EXPECT_EQ(bad.code, 1);
  EXPECT_CONTAINS(bad.err, "u.exe: the uninstaller is not a PE image");
  const Outcome no_folder = Lumipack("check m.toml -o nowhere/out.exe");
  EXPECT_EQ(no_folder.code, 1);
  EXPECT_CONTAINS(no_folder.err, "the folder nowhere does not exist");
}

TEST_F(LumipackCommand, WerrorTurnsWarningsIntoAFailure) {
  Write("l.txt", "#ifgerman\nHallo\n");  // a block never closed
  // Without the default uninstaller's warning, so the text's is the only one.
  Write("m.toml", std::string(kBaseManifest) + "uninstaller = false\n");
  for (const char* command : {"build", "check"}) {
    SCOPED_TRACE(command);
    const std::set<std::string> before = Listing();
    const Outcome strict =
        Lumipack(std::string(command) + " m.toml -o out.exe --licence l.txt --werror");
    EXPECT_EQ(strict.code, 1);
    EXPECT_CONTAINS(strict.err, "lumipack: warning: l.txt:1:1: '#ifgerman' opens a block");
    EXPECT_CONTAINS(strict.err,
                    "lumipack: error: 1 warning, which --werror makes errors; nothing written");
    EXPECT_EQ(Listing(), before);
    const Outcome lenient = Lumipack(std::string(command) + " m.toml -o out.exe --licence l.txt");
    EXPECT_EQ(lenient.code, 0) << lenient.err;
  }
  const Outcome clean = Lumipack("build m.toml -o clean.exe --werror");
  EXPECT_EQ(clean.code, 0) << clean.err;
}

TEST_F(LumipackCommand, QuietAndVerboseSayLessAndMore) {
  Write("l.txt", "{Nope}\n");
  const Outcome quiet = Lumipack("build m.toml -o q.exe -q --licence l.txt");
  ASSERT_EQ(quiet.code, 0) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  EXPECT_CONTAINS(quiet.err, "warning: l.txt:1:1: {Nope}") << "quiet keeps warnings";
  const Outcome quiet_failure = Lumipack("build m.toml -o q.exe --quiet --stub none.exe");
  EXPECT_EQ(quiet_failure.code, 1);
  EXPECT_CONTAINS(quiet_failure.err, "lumipack: error: --stub: none.exe: no such file");

  const Outcome verbose = Lumipack("build m.toml -o v.exe --verbose --licence l.txt");
  ASSERT_EQ(verbose.code, 0) << verbose.err;
  for (const char* note :
       {"lumipack: reading the screensaver starfield.scr", "lumipack: the stub is stub.exe",
        "lumipack: compressing at zlib level 9", "lumipack: writing ",
        "lumipack: moving it to v.exe"}) {
    EXPECT_CONTAINS(verbose.err, note);
  }
  EXPECT_CONTAINS(verbose.out, "wrote v.exe (");
  EXPECT_EQ(Read("q.exe"), Read("v.exe"));

  ASSERT_EQ(Lumipack("build m.toml -o x.exe").code, 0);
  const Outcome extract = Lumipack("extract -q x.exe parts");
  EXPECT_EQ(extract.code, 0);
  EXPECT_EQ(extract.out, "");
}

TEST_F(LumipackCommand, JsonMessagesPointAtFileLineColumnAndKey) {
  Write("l.txt", "Line one\n#if german\nZeile\n#endif\n");
  Write("m.toml", std::string(kBaseManifest) + "licence = \"l.txt\"\nuninstaller = false\n");
  const Outcome built = Lumipack("build m.toml -o out.exe --message-format json");
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(built.err, "") << "everything goes to standard output as JSON";
  std::vector<json> lines = JsonLines(built.out);
  ASSERT_EQ(lines.size(), 2u) << built.out;
  EXPECT_EQ(lines[0]["type"], "warning");
  EXPECT_EQ(lines[0]["file"], "l.txt");
  EXPECT_EQ(lines[0]["line"], 2);
  EXPECT_EQ(lines[0]["column"], 1);
  EXPECT_EQ(lines[0]["key"], "licence");
  EXPECT_CONTAINS(lines[0].value("message", ""), "'#if german' is read as #ifgerman");
  json& summary = lines[1];
  EXPECT_EQ(summary["type"], "summary");
  EXPECT_EQ(summary["command"], "build");
  EXPECT_EQ(summary["ok"], true);
  EXPECT_EQ(summary["warnings"], 1);
  EXPECT_EQ(summary["errors"], 0);
  EXPECT_EQ(summary["output"], "out.exe");
  EXPECT_EQ(summary["size"], fs::file_size(Path("out.exe")));
  EXPECT_EQ(summary["signed"], false);

  // An error in the manifest points at its line and key; one in a value
  // from the command line at its key.
  Write("bad.toml", std::string(kBaseManifest) + "[options]\ndesktop_icon = \"yes\"\n");
  struct Case {
    const char* args;
    json file;
    json line;
    json key;
    const char* message;
  };
  for (const Case& c :
       {Case{"check bad.toml", "bad.toml", 7, "options.desktop_icon", "must be true or false"},
        Case{"check m.toml --screensaver gone.scr", nullptr, nullptr, "screensaver",
             "--screensaver: gone.scr: no such file"},
        Case{"build m.toml -o out2.exe --stub gone.exe", nullptr, nullptr, "stub",
             "--stub: gone.exe: no such file"},
        Case{"check m.toml --licence l.txt --title 'Я'  --language french", nullptr, nullptr,
             "title", "U+042F"}}) {
    SCOPED_TRACE(c.args);
    const Outcome run = Lumipack(std::string(c.args) + " --message-format json");
    EXPECT_EQ(run.code, 1);
    lines = JsonLines(run.out);
    ASSERT_GE(lines.size(), 2u) << run.out;
    json& error = lines[lines.size() - 2];
    EXPECT_EQ(error["type"], "error");
    EXPECT_EQ(error["file"], c.file);
    EXPECT_EQ(error["line"], c.line);
    EXPECT_EQ(error["key"], c.key);
    EXPECT_CONTAINS(error.value("message", ""), c.message);
    EXPECT_EQ(lines.back()["type"], "summary");
    EXPECT_EQ(lines.back()["ok"], false);
    EXPECT_EQ(lines.back()["errors"], 1);
  }
  EXPECT_FALSE(fs::exists(Path("out2.exe")));
}

TEST_F(LumipackCommand, ReadsTheManifestFromStandardInput) {
  const std::string manifest =
      "title = \"Piped\"\ncompany = \"C\"\nscreensaver = \"starfield.scr\"\nstub = \"stub.exe\"\n";
  const Outcome built = LumipackFed("build -", manifest);
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_TRUE(fs::is_regular_file(Path("PipedSetup.exe")));
  EXPECT_EQ(Inspect("PipedSetup.exe")["record"]["fields"]["title"], "Piped");

  const Outcome broken = LumipackFed("check -", "title = \"Piped\"\ntitel = \"x\"\n");
  EXPECT_EQ(broken.code, 1);
  EXPECT_CONTAINS(broken.err, "<stdin>:2: unknown key 'titel'");
}

TEST_F(LumipackCommand, TheProgressBarFitsTheTerminalAndRedrawsInPlace) {
  Write("big.scr", IncompressiblePe(6u << 20));
  const Outcome run =
      OnTerminal({"build", "m.toml", "--screensaver", "big.scr", "-o", "out.exe", "--fast"}, 40);
  ASSERT_EQ(run.code, 0) << run.out;
  // The terminal turns each line end into CR LF; split at both and at the
  // bare carriage returns that redraw the bar.
  std::vector<std::string> frames;
  std::string current;
  size_t redraws = 0;
  for (size_t i = 0; i < run.out.size(); ++i) {
    const char c = run.out[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && (i + 1 >= run.out.size() || run.out[i + 1] != '\n')) ++redraws;
      frames.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  size_t bars = 0;
  for (const std::string& frame : frames) {
    if (frame.find('%') == std::string::npos) continue;
    ++bars;
    EXPECT_LT(frame.size(), 40u) << "a bar line as wide as the terminal wraps: " << frame;
  }
  EXPECT_GE(bars, 3u) << run.out;
  EXPECT_GE(redraws, 3u) << "the bar is redrawn in place" << run.out;
  EXPECT_CONTAINS(run.out, "100%");
  EXPECT_LT(run.out.find("writing out.exe"), run.out.find("100%"))
      << "100 % only once the installer is written";

  for (const char* flag : {"--no-progress", "-q"}) {
    const Outcome plain = OnTerminal(
        {"build", "m.toml", "--screensaver", "big.scr", "-o", "out.exe", "--fast", flag}, 40);
    ASSERT_EQ(plain.code, 0) << plain.out;
    EXPECT_LACKS(plain.out, "%");
  }
}

}  // namespace
}  // namespace lumipack::testing
