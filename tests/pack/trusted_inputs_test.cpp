#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "base/byte_io.h"
#include "command_fixture.h"
#include "package/default_uninstaller.h"
#include "support/test_package.h"
#include "test_images.h"
#include "test_pictures.h"

// What lumipack refuses to take or to do to what it is given: an output
// that would replace one of its inputs, a program that is not the stub or
// not a screensaver, names whose paths the installer cannot create, version
// texts that do not fit, and what earlier runs left behind.

namespace lumipack::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(LumipackCommand, NeverWritesTheInstallerOverOneOfItsInputs) {
  Write("licence.txt", "Licence.\n");
  Write("header.png", PngFile(40, 20));
  Write("own-uninstall.exe", lumiset::testing::MinimalPeImage(700));
  Write("full.toml", std::string(kBaseManifest) +
                         "licence = \"licence.txt\"\npicture = \"header.png\"\n"
                         "uninstaller = \"own-uninstall.exe\"\n");
  fs::create_directory(Path("sub"));
  fs::create_symlink("starfield.scr", Path("saver-link.exe"));
  struct Case {
    const char* args;
    const char* input;  // the file that must stay as it was
    const char* what;
  };
  const Case cases[] = {
      {"build m.toml -o m.toml", "m.toml", "the manifest"},
      {"build m.toml -o starfield.scr", "starfield.scr", "the screensaver"},
      {"build m.toml -o stub.exe", "stub.exe", "the stub"},
      {"build full.toml -o licence.txt", "licence.txt", "the licence text"},
      {"build full.toml -o header.png", "header.png", "the picture"},
      {"build full.toml -o own-uninstall.exe", "own-uninstall.exe", "the uninstaller"},
      {"build m.toml -o sub/../starfield.scr", "starfield.scr", "the screensaver"},
      {"build m.toml -o saver-link.exe", "starfield.scr", "the screensaver"},
      {"build - -o m.toml <m.toml", "m.toml", "the manifest read from standard input"},
      {"check m.toml -o starfield.scr", "starfield.scr", "the screensaver"},
      {"build m.toml --output-dir . --title starfield.scr --file-name s", "starfield.scr",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::vector<uint8_t> before = Read(c.input);
    const Outcome run = Lumipack(c.args);
    EXPECT_EQ(Read(c.input), before) << "the input is left as it was";
    if (c.what == nullptr) continue;  // named after the title: no clash
    EXPECT_EQ(run.code, 1);
    EXPECT_CONTAINS(run.err, std::string("the output is ") + c.what);
    EXPECT_CONTAINS(run.err, "Name another output with -o");
  }
  EXPECT_EQ(Listing().count("starfield.scrSetup.exe"), 1u);
}

TEST_F(LumipackCommand, TakesOnlyTheInstallerStubAsTheStubAndOnlyAProgramAsTheScreensaver) {
  std::vector<uint8_t> uninstaller = StubImage();
  for (char c : std::string_view(LUMISET_DEFAULT_UNINSTALLER_MARKER)) {
    uninstaller.insert(uninstaller.end(), {static_cast<uint8_t>(c), 0});
  }
  Write("lumiset-uninstall.exe", uninstaller);
  std::vector<uint8_t> library = lumiset::testing::MinimalPeImage(4096);
  constexpr size_t kCharacteristics = 0x80 + 4 + 18;
  lumiset::StoreU16(&library[kCharacteristics], 0x2102);  // executable, 32-bit, DLL
  Write("saver.dll", library);
  const struct {
    const char* args;
    const char* message;
  } cases[] = {
      {"--stub starfield.scr", "starfield.scr: not a Lumiset installer stub"},
      {"--stub lumiset-uninstall.exe",
       "lumiset-uninstall.exe: is Lumiset's default uninstaller, not the installer stub"},
      {"--screensaver saver.dll", "saver.dll: a DLL, not a program"},
  };
  for (const auto& c : cases) {
    for (const char* command : {"build", "check"}) {
      SCOPED_TRACE(std::string(command) + " " + c.args);
      const Outcome run = Lumipack(std::string(command) + " m.toml -o out.exe " + c.args);
      EXPECT_EQ(run.code, 1);
      EXPECT_CONTAINS(run.err, c.message);
      EXPECT_FALSE(fs::exists(Path("out.exe")));
    }
  }
  // A stub from before the help was translated carries one RTF "HELP".
  Write("earlier.exe", MakeImage(false, {ResourceEntry{{10, {}}, {0, u"DIALOGS"}, 0, 0, {1}},
                                         ResourceEntry{{0, u"RTF"}, {0, u"HELP"}, 0x0409, 0, {2}}})
                           .bytes);
  const Outcome earlier = Lumipack("build m.toml -o out.exe --stub earlier.exe");
  EXPECT_EQ(earlier.code, 0) << earlier.err;
}

TEST_F(LumipackCommand, RefusesNamesWhosePathsTheInstallerCannotCreate) {
  const std::string company = "--company 'Northlight Pixel Works' ";
  const struct {
    std::string args;
    const char* message;  // empty: built
  } cases[] = {
      {company + "--title " + std::string(30, 'T'), ""},
      // Some language's uninstaller link is longer than Windows takes.
      {company + "--title " + std::string(40, 'T'), "link would have a path of"},
      // In English alone the same title fits.
      {company + "--language english --title " + std::string(40, 'T'), ""},
      {company + "--title " + std::string(70, 'T'), "the longest Windows takes is 259"},
      {"--company " + std::string(200, 'C') + " --title " + std::string(200, 'T'),
       "would have a path of"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.substr(0, 80));
    const Outcome run = Lumipack("build m.toml -o out.exe " + c.args);
    if (*c.message == 0) {
      EXPECT_EQ(run.code, 0) << run.err;
    } else {
      EXPECT_EQ(run.code, 1);
      EXPECT_CONTAINS(run.err, "--title: the installer cannot create what it installs");
      EXPECT_CONTAINS(run.err, c.message);
      EXPECT_CONTAINS(run.err, "shorten the title or the company");
    }
    fs::remove(Path("out.exe"));
  }
}

TEST_F(LumipackCommand, SaysWhichNumericVersionItTookAndRefusesOneThatCannotFit) {
  const struct {
    const char* version;
    int code;
    const char* message;
  } cases[] = {
      {"2.3.42-beta", 0, "version      2.3.42-beta (file version 2.3.42.0, from \"2.3.42\")"},
      {"v2.1", 0, "version      v2.1 (file version 2.1.0.0)\n"},
      {"2.1", 0, "version      2.1 (file version 2.1.0.0)\n"},
      {"70000.1", 1, "--version: \"70000.1\": 70000 is above 65535"},
      {"1.2.3.4.5", 1, "has more than four numbers"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const Outcome run = Lumipack(std::string("build m.toml -o out.exe --version ") + c.version);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_CONTAINS(run.code == 0 ? run.out : run.err, c.message);
  }
  Write("v.toml", std::string(kBaseManifest) + "[version_info]\nfile_version = \"99999\"\n");
  const Outcome manifest = Lumipack("build v.toml -o out.exe");
  EXPECT_EQ(manifest.code, 1);
  EXPECT_CONTAINS(manifest.err, "v.toml:7: version_info.file_version: \"99999\"");
  const Outcome words = Lumipack("build m.toml -o out.exe --version beta");
  EXPECT_EQ(words.code, 0) << words.err;
  EXPECT_CONTAINS(words.err, "warning: --version: \"beta\" does not start with a number");
}

TEST_F(LumipackCommand, ReadsAManifestSavedWithAByteOrderMark) {
  Write("bom.toml", "\xEF\xBB\xBF" + std::string(kBaseManifest) + "version = \"\xC2\xB2\"\n");
  const Outcome run = Lumipack("build bom.toml -o out.exe");
  EXPECT_EQ(run.code, 0) << run.err;
}

TEST_F(LumipackCommand, RemovesScratchFilesThatKilledRunsLeftBehind) {
  // A process id no process has: a child that has ended and been reaped.
  const pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  const std::string stale = ".out.exe." + std::to_string(gone) + "-0.partial";
  const std::string running = ".out.exe." + std::to_string(getpid()) + "-0.partial";
  const std::string other = ".other.exe." + std::to_string(gone) + "-0.partial";
  for (const std::string& name : {stale, running, other}) Write(name, "left behind");
  const Outcome run = Lumipack("build m.toml -o out.exe");
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_FALSE(fs::exists(Path(stale))) << "its process has ended";
  EXPECT_TRUE(fs::exists(Path(running))) << "its process still runs";
  EXPECT_TRUE(fs::exists(Path(other))) << "another output's";
}

TEST_F(LumipackCommand, MistakesGetAMessageThatSaysWhatToDo) {
  Write("file.txt", "not a folder");
  Write("bad.toml", std::string(kBaseManifest) + "licence = \"gone.txt\"\n");
  const struct {
    const char* args;
    int code;
    const char* message;
  } cases[] = {
      {"bulid m.toml", 2, "error: 'bulid' is not a lumipack command; did you mean 'build'?"},
      {"build m.toml --titel X", 2, "error: unknown option --titel; did you mean --title?"},
      {"check m.toml --no-progres", 2, "did you mean --no-progress?"},
      {"build m.toml --title A --title B", 2, "error: --title is given more than once"},
      {"build m.toml -o -", 1, "-o -: an installer cannot go to standard output; name a file"},
      {"build m.toml --output-dir file.txt", 1,
       "--output-dir file.txt: is a file, not a folder"},
      // The place JSON readers get stands in the text for people too.
      {"build bad.toml -o out.exe", 1, "bad.toml:6: licence: gone.txt: no such file"},
      {"build m.toml -o out.exe --stub starfield.scr", 1, "starfield.scr: not a Lumiset installer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome run = Lumipack(c.args);
    EXPECT_EQ(run.code, c.code);
    EXPECT_CONTAINS(run.err, c.message);
  }
  EXPECT_FALSE(fs::exists(Path("-")));

  // Extracting into a folder that cannot be written says so, and names the
  // folder asked for rather than a scratch name. Root writes anywhere, so
  // it runs as nobody.
  if (geteuid() == 0 && HaveProgram("setpriv")) {
    ASSERT_EQ(Lumipack("build m.toml -o out.exe").code, 0);
    fs::create_directory(Path("locked"));
    fs::permissions(Path("locked"), fs::perms(0555));
    fs::permissions(dir_, fs::perms(0755));
    fs::permissions(Path("out.exe"), fs::perms(0644));
    const Outcome extracted = Lumipack("extract out.exe locked/parts",
                                       "setpriv --reuid=65534 --regid=65534 --clear-groups");
    EXPECT_EQ(extracted.code, 1);
    EXPECT_CONTAINS(extracted.err, "locked/parts: cannot be created in locked (Permission denied)");
    EXPECT_LACKS(extracted.err, ".partial");
  }
}

TEST_F(LumipackCommand, ReadsTheFoldersLumipackTomlWhenNoManifestIsNamed) {
  fs::rename(Path("m.toml"), Path("lumipack.toml"));
  const Outcome built = Lumipack("build -o out.exe");
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_EQ(Inspect("out.exe")["record"]["fields"]["title"], "Starfield");
  EXPECT_EQ(Lumipack("check").code, 0);
}

}  // namespace
}  // namespace lumipack::testing
