#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "base/byte_io.h"
#include "base/memory_file.h"
#include "command_fixture.h"
#include "package/default_uninstaller.h"
#include "package/package_format.h"
#include "support/test_package.h"
#include "test_images.h"
#include "test_pictures.h"

// Runs the lumipack program itself, as users do: exit codes, files on disk
// and messages are what these tests look at.

namespace lumipack::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr uint32_t kPeChecksumOffset = 0x80 + 4 + 20 + 64;

// A 40 x 10 24-bit BMP the installer reads.
const std::vector<uint8_t> kWholeBmp =
    lumiset::testing::MakeBmp(40, 10, 24, 0, {}, std::vector<uint8_t>(40 * 3 * 10, 0x40));

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t size) {
  bytes.resize(size);
  return bytes;
}

// A program carrying the default uninstaller's marker, as the real one does
// in its resources.
std::vector<uint8_t> DefaultUninstaller(std::vector<uint8_t> image) {
  for (char c : std::string_view(LUMISET_DEFAULT_UNINSTALLER_MARKER)) {
    image.insert(image.end(), {static_cast<uint8_t>(c), 0});
  }
  return image;
}

TEST_F(LumipackCommand, EverythingSurvivesExtractAndRebuild) {
  Write("licence.txt", "Licence for {ScrName}.\n#ifgerman\nLizenz für {ScrName}.\n#endif\n");
  Write("info.txt", "Installed into {DestFolder}.");
  Write("header.png", PngFile(400, 50));
  Write("uninstall.exe", lumiset::testing::MinimalPeImage(1000));
  Write("tool.exe", lumiset::testing::MinimalPeImage(700));
  Write("m.toml", std::string(kBaseManifest) +
                      "language = \"german\"\n"
                      "file_name = \"Sternenfeld\"\n"
                      "version = \"3.0.1\"\n"
                      "url = \"https://example.com/sterne\"\n"
                      "licence = \"licence.txt\"\n"
                      "info = \"info.txt\"\n"
                      "picture = \"header.png\"\n"
                      "uninstaller = \"uninstall.exe\"\n"
                      "companion = \"tool.exe\"\n"
                      "[options]\nsetup_options = false\ndesktop_icon = true\n"
                      "[header]\nshow_text = false\ntext_color = \"#102030\"\n"
                      "accent_color = \"#FF8000\"\n");

  for (const char* mode : {"", "--fast"}) {
    SCOPED_TRACE(*mode ? mode : "best");
    Outcome built = Lumipack(std::string("build m.toml -o out.exe ") + mode);
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_CONTAINS(built.out, "32-bit PE image");

    const json report = Inspect("out.exe");
    ASSERT_TRUE(report.is_object());
    EXPECT_TRUE(report["ok"]);
    const json& f = report["record"]["fields"];
    EXPECT_EQ(f["title"], "Starfield");
    EXPECT_EQ(f["company"], "Lumiset Samples");
    EXPECT_EQ(f["copyright"], "(c) 2026 Lumiset Samples");
    EXPECT_EQ(f["language"], 3);
    EXPECT_EQ(f["scr_file_name"], "Sternenfeld");
    EXPECT_EQ(f["version"], "3.0.1");
    EXPECT_EQ(f["url"], "https://example.com/sterne");
    EXPECT_EQ(f["licence_text"],
              "Licence for {ScrName}.\r\n#ifgerman\r\nLizenz für {ScrName}.\r\n#endif\r\n");
    EXPECT_EQ(f["info_text"], "Installed into {DestFolder}.");
    EXPECT_EQ(f["picture_format"], lumiset::kPicturePng);
    EXPECT_EQ(f["show_header_text"], 0);
    EXPECT_EQ(f["header_text_color_value"], 0x00302010);
    EXPECT_EQ(f["accent_color_value"], 0x000080FF);
    EXPECT_EQ(f["show_setup_options"], 0);
    EXPECT_EQ(f["create_desktop_icon"], 1);
    EXPECT_EQ(f["detect_existing"], 1);
    EXPECT_EQ(f["reserved_pair"], json::array({0xFFFFFFFFu, 0xFFFFFFFFu}));
    EXPECT_EQ(report["items"]["screensaver"]["record_length_matches"], true);
    EXPECT_EQ(report["items"]["picture"]["width"], 400);
    EXPECT_EQ(report["items"]["companion"]["compressed"], false);
    EXPECT_EQ(report["items"]["uninstaller"]["pe"], "32-bit");
    EXPECT_EQ(report["items"]["uninstaller"]["kind"], "author");
    EXPECT_EQ(report["signature"]["present"], false);

    fs::remove_all(Path("x"));
    Outcome extracted = Lumipack("extract out.exe x");
    ASSERT_EQ(extracted.code, 0) << extracted.err;
    // The stub as the installer carries it: its version information is the
    // manifest's.
    const std::vector<uint8_t> installer = Read("out.exe");
    const std::vector<uint8_t> stub = Read("x/stub.exe");
    ASSERT_LT(stub.size(), installer.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), installer.begin()));
    EXPECT_EQ(Read("x/screensaver.scr"), Read("starfield.scr"));
    EXPECT_EQ(Read("x/header.png"), Read("header.png"));
    EXPECT_EQ(Read("x/uninstaller.exe"), Read("uninstall.exe"));
    EXPECT_EQ(Read("x/companion.exe"), Read("tool.exe"));
    EXPECT_EQ(ReadText("x/licence.txt"),
              "Licence for {ScrName}.\r\n#ifgerman\r\nLizenz für {ScrName}.\r\n#endif\r\n");

    Outcome rebuilt = Lumipack("build x/lumipack.toml -o again.exe");
    ASSERT_EQ(rebuilt.code, 0) << rebuilt.err;
    EXPECT_EQ(Read("again.exe"), Read("out.exe"));
  }
}

TEST_F(LumipackCommand, TextsKeepTheirCodePagesThroughExtraction) {
  // Language blocks in their own code pages around English; then a Russian
  // title, which moves the automatic installer's other texts to Windows-1251.
  const std::string info =
      "Stars\r\n#ifrussian\r\nЗвёзды № 1\r\n#endif\r\n#iffrench\r\nÉtoiles\r\n#endif\r\n";
  Write("info.txt", info);
  Write("m.toml", std::string(kBaseManifest) + "info = \"info.txt\"\n");
  struct Case {
    const char* title;
    const char* code_page;
  };
  for (const Case& c : {Case{"Starfield", "Windows-1252"}, Case{"Звёзды", "Windows-1251"}}) {
    SCOPED_TRACE(c.title);
    fs::remove_all(Path("x"));
    const Outcome built = Lumipack(std::string("build m.toml -o out.exe --title ") + c.title);
    ASSERT_EQ(built.code, 0) << built.err;
    const json report = Inspect("out.exe");
    EXPECT_EQ(report["code_page"], c.code_page);
    EXPECT_EQ(report["record"]["fields"]["title"], c.title);
    EXPECT_EQ(report["record"]["fields"]["info_text"], info);

    ASSERT_EQ(Lumipack("extract out.exe x").code, 0);
    EXPECT_EQ(ReadText("x/info.txt"), info);
    ASSERT_EQ(Lumipack("build x/lumipack.toml -o again.exe").code, 0);
    EXPECT_EQ(Read("again.exe"), Read("out.exe"));
  }
}

TEST_F(LumipackCommand, AnotherWritersInstallerKeepsEveryFieldThroughExtraction) {
  lumiset::testing::TestPackage package;
  lumiset::SetupRecord& r = package.record;
  r.reserved_low = 3;
  r.reserved_high = 4;
  r.extension = {7, 8, {"first", "second", "", "fourth"}, 9, 10};
  r.reserved13 = 5;
  r.picture_format = lumiset::kPicturePng;
  r.create_desktop_icon = 2;
  r.accent_color = 0x7F123456;
  r.copyright = "(c) 2026|";
  r.language = 11;
  package.screensaver = lumiset::testing::MinimalPeImage(3000);
  package.stub = StubImage();
  Write("other.exe", lumiset::testing::BuildInstaller(package));

  const json original = Inspect("other.exe");
  ASSERT_TRUE(original["ok"]);
  ASSERT_EQ(Lumipack("extract other.exe x").code, 0);
  EXPECT_CONTAINS(ReadText("x/lumipack.toml"), "[reserved]");
  Outcome rebuilt = Lumipack("build x/lumipack.toml -o again.exe");
  ASSERT_EQ(rebuilt.code, 0) << rebuilt.err;
  json fields = Inspect("again.exe")["record"]["fields"];
  json expected = original["record"]["fields"];
  // The other writer compressed at another level.
  fields.erase("screensaver_block_length");
  expected.erase("screensaver_block_length");
  EXPECT_EQ(fields, expected);
}

TEST_F(LumipackCommand, OutputDependsOnlyOnTheInputs) {
  Write("big.scr", lumiset::testing::MinimalPeImage(3u << 20));
  ASSERT_EQ(Lumipack("build m.toml --screensaver big.scr -o one.exe --threads 1").code, 0);
  ASSERT_EQ(Lumipack("build m.toml --screensaver big.scr -o four.exe --threads 4").code, 0);
  ASSERT_EQ(Lumipack("build m.toml --screensaver big.scr -o again.exe").code, 0);
  EXPECT_EQ(Read("one.exe"), Read("four.exe"));
  EXPECT_EQ(Read("one.exe"), Read("again.exe"));
}

TEST_F(LumipackCommand, CommandLineOverridesTheManifest) {
  Write("x64.scr", SixtyFourBitPe());
  Write("m.toml", std::string(kBaseManifest) +
                      "language = \"german\"\n"
                      "[options]\ndesktop_icon = true\ninfo_page = false\n");
  Outcome built = Lumipack(
      "build m.toml -o out.exe --title 'Other Title' --company Acme --copyright '(c) Acme' "
      "--language RUSSIAN --file-name other --screensaver x64.scr --no-desktop-icon "
      "--info-page --accent-color '#102030' --header-text-color '#ABCDEF' --no-header-text");
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_CONTAINS(built.out, "x64.scr: 64-bit PE image");
  const json f = Inspect("out.exe")["record"]["fields"];
  EXPECT_EQ(f["title"], "Other Title");
  EXPECT_EQ(f["company"], "Acme");
  EXPECT_EQ(f["copyright"], "(c) Acme");
  EXPECT_EQ(f["language"], 8);
  EXPECT_EQ(f["scr_file_name"], "other");
  EXPECT_EQ(f["create_desktop_icon"], 0);
  EXPECT_EQ(f["show_info_page"], 1);
  EXPECT_EQ(f["accent_color_value"], 0x00302010);
  EXPECT_EQ(f["header_text_color_value"], 0x00EFCDAB);
  EXPECT_EQ(f["show_header_text"], 0);
}

TEST_F(LumipackCommand, BuildsFromTheCommandLineAlone) {
  Outcome built = Lumipack(
      "build -o out.exe --title T --company C --screensaver starfield.scr --stub stub.exe");
  ASSERT_EQ(built.code, 0) << built.err;
  const json f = Inspect("out.exe")["record"]["fields"];
  EXPECT_EQ(f["scr_file_name"], "starfield");
  EXPECT_EQ(f["copyright"], "");
  EXPECT_EQ(f["language"], 0);
}

TEST_F(LumipackCommand, TakesTheStubOfTheRightArchitectureFromBesideItself) {
  fs::create_directories(Path("bin"));
  fs::copy_file(Program(), Path("bin/lumipack"));
  Write("bin/lumiset.exe", StubImage());
  Write("bin/lumiset64.exe", StubImage(true));
  Write("x64.scr", SixtyFourBitPe());
  Write("m.toml", "title = \"T\"\ncompany = \"C\"\nscreensaver = \"starfield.scr\"\n");
  const std::string program = Path("bin/lumipack").string();

  struct Case {
    const char* args;
    const char* stub;  // the one the installer must carry
  };
  for (const Case& c : {
           Case{"", "bin/lumiset.exe"},  // the screensaver's own architecture
           Case{"--screensaver x64.scr", "bin/lumiset64.exe"},
           Case{"--arch x64", "bin/lumiset64.exe"},
           Case{"--screensaver x64.scr --arch x86", "bin/lumiset.exe"},
           Case{"--screensaver x64.scr --arch auto", "bin/lumiset64.exe"},
       }) {
    Outcome built = Lumipack(std::string("build m.toml -o out.exe ") + c.args, "", program);
    ASSERT_EQ(built.code, 0) << c.args << "\n" << built.err;
    EXPECT_EQ(Inspect("out.exe")["stub"]["arch"],
              std::string_view(c.stub).ends_with("64.exe") ? "x64" : "x86")
        << c.args;
  }

  fs::remove(Path("bin/lumiset64.exe"));
  Outcome without = Lumipack("build m.toml -o other.exe --arch x64", "", program);
  EXPECT_EQ(without.code, 1);
  EXPECT_CONTAINS(without.err, "lumiset64.exe");
  EXPECT_CONTAINS(without.err, "--stub");
  EXPECT_FALSE(fs::exists(Path("other.exe")));
}

TEST_F(LumipackCommand, RefusesAStubThatContradictsTheArchitecture) {
  Write("stub64.exe", StubImage(true));
  struct Case {
    const char* args;
    const char* message;  // empty: the build succeeds
  };
  for (const Case& c : {
           Case{"--arch x64",
                "stub.exe: the stub is a 32-bit (x86) program, but --arch asks "
                "for 64-bit (x64)"},
           Case{"--arch x86 --stub stub64.exe", "the stub is a 64-bit (x64) program"},
           Case{"--arch x86", ""},
           // Without an explicit architecture any stub goes: the 32-bit one
           // installs a 64-bit screensaver too.
           Case{"--stub stub64.exe", ""},
       }) {
    Outcome built = Lumipack(std::string("build m.toml -o out.exe ") + c.args);
    if (*c.message == 0) {
      EXPECT_EQ(built.code, 0) << c.args << "\n" << built.err;
    } else {
      EXPECT_EQ(built.code, 1) << c.args;
      EXPECT_CONTAINS(built.err, c.message);
      EXPECT_FALSE(fs::exists(Path("out.exe"))) << c.args;
    }
    fs::remove(Path("out.exe"));
  }
  Write("arch.toml", std::string(kBaseManifest) + "arch = \"x64\"\n");
  Outcome built = Lumipack("build arch.toml -o out.exe");
  EXPECT_EQ(built.code, 1);
  EXPECT_CONTAINS(built.err, "arch.toml:6: arch asks for 64-bit (x64)");
  Write("bad.toml", std::string(kBaseManifest) + "arch = \"arm64\"\n");
  EXPECT_CONTAINS(Lumipack("build bad.toml -o out.exe").err, "arch");
}

TEST_F(LumipackCommand, RefusesBadInputAndWritesNothing) {
  struct Case {
    const char* name;
    std::function<void(const LumipackCommand&)> prepare;
    std::string args;
    std::string message;
  };
  auto manifest = [](std::string extra) {
    return [extra](const LumipackCommand& t) { t.Write("m.toml", kBaseManifest + extra); };
  };
  auto file = [](std::string name, std::vector<uint8_t> bytes) {
    return [name, bytes](const LumipackCommand& t) { t.Write(name, bytes); };
  };
  auto none = [](const LumipackCommand&) {};
  const Case cases[] = {
      {"missing manifest", none, "build nothing.toml -o out.exe", "nothing.toml: no such file"},
      {"unknown key", manifest("titel = \"x\"\n"), "build m.toml -o out.exe",
       "m.toml:6: unknown key 'titel'"},
      {"wrong type", manifest("[options]\ndesktop_icon = \"yes\"\n"), "build m.toml -o out.exe",
       "m.toml:7: 'options.desktop_icon' must be true or false, not a string"},
      {"no screensaver", [](const LumipackCommand& t) { t.Write("m.toml", "title = \"T\"\n"); },
       "build m.toml -o out.exe", "no screensaver"},
      {"screensaver missing", none, "build m.toml -o out.exe --screensaver gone.scr",
       "--screensaver: gone.scr: no such file"},
      {"licence missing", manifest("licence = \"nope.txt\"\n"), "build m.toml -o out.exe",
       "m.toml:6: licence: nope.txt: no such file"},
      {"stub missing", [](const LumipackCommand& t) { fs::remove(t.Path("stub.exe")); },
       "build m.toml -o out.exe", "m.toml:5: stub: stub.exe: no such file"},
      {"screensaver not a program", file("text.scr", Bytes("MZ but not really")),
       "build m.toml -o out.exe --screensaver text.scr", "text.scr: not a PE image"},
      {"screensaver empty", file("empty.scr", {}),
       "build m.toml -o out.exe --screensaver empty.scr", "empty.scr: the file is empty"},
      {"stub not a program", file("stub.exe", Bytes("not a program")), "build m.toml -o out.exe",
       "stub.exe: the stub is not a PE image"},
      {"signed stub",
       [](const LumipackCommand& t) {
         std::vector<uint8_t> stub = lumiset::testing::MinimalPeImage();
         lumiset::testing::AttachFakeSignature(stub);
         t.Write("stub.exe", stub);
       },
       "build m.toml -o out.exe", "the stub is signed"},
      {"installer as stub",
       [](const LumipackCommand& t) {
         t.Write("stub.exe", lumiset::testing::BuildInstaller(lumiset::testing::TestPackage{}));
       },
       "build m.toml -o out.exe", "already carries a package"},
      {"title with a slash", none, "build m.toml -o out.exe --title 'AC/DC'",
       "--title: the title \"AC/DC\" cannot be used: it holds '/'"},
      {"company ending in a dot", manifest(""), "build m.toml -o out.exe --company 'Acme Inc.'",
       "ends with a dot"},
      {"reserved file name", manifest("file_name = \"con\"\n"), "build m.toml -o out.exe",
       "m.toml:6: file_name: the file name \"con\" cannot be used"},
      {"file name from the screensaver", file("bad?.scr", lumiset::testing::MinimalPeImage()),
       "build m.toml -o out.exe --screensaver 'bad?.scr'", "set 'file_name' to another"},
      {"copyright with a bar", none, "build m.toml -o out.exe --copyright 'a|b'", "'|'"},
      {"licence outside the code page",
       [](const LumipackCommand& t) {
         t.Write("m.toml",
                 std::string(kBaseManifest) + "language = \"french\"\nlicence = \"l.txt\"\n");
         t.Write("l.txt", "Licence\nпривет\n");
       },
       "build m.toml -o out.exe", "l.txt:2:1: U+043F 'п' is not in Windows-1252"},
      {"licence not UTF-8", [](const LumipackCommand& t) { t.Write("l.txt", "caf\xE9\n"); },
       "build m.toml -o out.exe --licence l.txt", "l.txt:1:4: not valid UTF-8"},
      {"picture of another kind", file("p.gif", Bytes("GIF89a....")),
       "build m.toml -o out.exe --picture p.gif", "p.gif: not a BMP, JPEG or PNG file"},
      {"PNG cut to 40 bytes", file("p.png", Cut(PngFile(64, 16), 40)),
       "build m.toml -o out.exe --picture p.png", "p.png: the PNG cannot be used: it is cut short"},
      {"BMP cut to 60 bytes", file("p.bmp", Cut(kWholeBmp, 60)),
       "build m.toml -o out.exe --picture p.bmp", "p.bmp: the BMP cannot be used: it is cut short"},
      {"BMP claiming 100000 x 100000 pixels",
       file("p.bmp", lumiset::testing::MakeBmp(100000, 100000, 24, 0, {}, Bytes("pixels"))),
       "build m.toml -o out.exe --picture p.bmp",
       "p.bmp: the BMP cannot be used: 100000x100000 pixels is more than the installer's limit"},
      {"empty uninstaller", file("u.exe", {}), "build m.toml -o out.exe --uninstaller u.exe",
       "--uninstaller: u.exe: the file is empty"},
      {"uninstaller not a program", file("u.exe", Bytes("echo uninstall")),
       "build m.toml -o out.exe --uninstaller u.exe",
       "u.exe: the uninstaller is not a PE image (a Windows program)"},
      {"companion missing", manifest("companion = \"c.exe\"\n"), "build m.toml -o out.exe",
       "m.toml:6: companion: c.exe: no such file"},
      {"companion not a program", file("c.exe", Bytes("a shell script")),
       "build m.toml -o out.exe --companion c.exe",
       "c.exe: the companion program is not a PE image (a Windows program)"},
      {"empty version", manifest("version = \"\"\n"), "build m.toml -o out.exe",
       "m.toml:6: version: is empty"},
      {"version of two lines", none, "build m.toml -o out.exe --version \"$(printf '1.0\\n2.0')\"",
       "--version: must be one line"},
      {"version too long", none, "build m.toml -o out.exe --version " + std::string(65, '9'),
       "longer than 64 bytes"},
      {"web page not on the web", manifest("url = \"ftp://example.com/\"\n"),
       "build m.toml -o out.exe", "m.toml:6: url: must be a web address"},
      {"web page with a space", none, "build m.toml -o out.exe --url 'https://a b'",
       "must be a web address"},
      {"default uninstaller asked for but missing", manifest("uninstaller = true\n"),
       "build m.toml -o out.exe", "lumiset-uninstall.exe is missing"},
      {"output folder missing", none, "build m.toml -o no/such/out.exe", "does not exist"},
      {"output is a folder",
       [](const LumipackCommand& t) { fs::create_directory(t.Path("d.exe")); },
       "build m.toml -o d.exe", "d.exe: is a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    c.prepare(*this);
    const std::set<std::string> before = Listing();
    Outcome run = Lumipack(c.args);
    EXPECT_EQ(run.code, 1);
    EXPECT_CONTAINS(run.err, c.message);
    EXPECT_EQ(Listing(), before) << "a failed build leaves nothing behind";
  }
}

TEST_F(LumipackCommand, EmbedsTheDefaultUninstallerFoundBesideTheStub) {
  Write("lumiset-uninstall.exe", DefaultUninstaller(lumiset::testing::MinimalPeImage(900)));
  Write("stub64.exe", StubImage(true));
  Write("scr64.scr", SixtyFourBitPe());
  Write("lumiset64-uninstall.exe", DefaultUninstaller(SixtyFourBitPe()));
  Write("own.exe", lumiset::testing::MinimalPeImage(700));
  struct Case {
    const char* args;
    const char* manifest_line;
    const char* kind;      // as inspect reports it
    const char* carried;   // the file the installer carries, or empty
  };
  const Case cases[] = {
      {"", "", "default", "lumiset-uninstall.exe"},
      {"--stub stub64.exe --screensaver scr64.scr", "", "default", "lumiset64-uninstall.exe"},
      {"", "uninstaller = true\n", "default", "lumiset-uninstall.exe"},
      {"", "uninstaller = false\n", "none", ""},
      {"--no-uninstaller", "", "none", ""},
      {"", "uninstaller = \"own.exe\"\n", "author", "own.exe"},
      {"--uninstaller own.exe", "uninstaller = false\n", "author", "own.exe"},
      {"--no-uninstaller", "uninstaller = \"own.exe\"\n", "none", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.args) + " / " + c.manifest_line);
    Write("m.toml", std::string(kBaseManifest) + c.manifest_line);
    const Outcome built = Lumipack(std::string("build m.toml -o out.exe ") + c.args);
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(built.err, "");
    const json report = Inspect("out.exe");
    EXPECT_EQ(report["items"]["uninstaller"]["kind"], c.kind);
    const Outcome text = Lumipack("inspect out.exe");
    if (std::string_view(c.kind) == "default") {
      EXPECT_CONTAINS(built.out, std::string("uninstaller  default, ") + c.carried);
      EXPECT_CONTAINS(text.out, "Lumiset's default uninstaller");
    }
    if (*c.carried != 0) {
      ASSERT_EQ(Lumipack("extract out.exe x").code, 0);
      EXPECT_EQ(Read("x/uninstaller.exe"), Read(c.carried));
      fs::remove_all(Path("x"));
    }
  }
  EXPECT_CONTAINS(Lumipack("inspect out.exe").out, "uninstaller    none");

  // The default one must be the default uninstaller of the stub's architecture.
  Write("m.toml", kBaseManifest);
  Write("lumiset-uninstall.exe", DefaultUninstaller(SixtyFourBitPe()));
  Outcome wrong = Lumipack("build m.toml -o wrong.exe");
  EXPECT_EQ(wrong.code, 1);
  EXPECT_CONTAINS(wrong.err, "lumiset-uninstall.exe: not Lumiset's default uninstaller for 32-bit");
  Write("lumiset-uninstall.exe", lumiset::testing::MinimalPeImage(900));
  EXPECT_EQ(Lumipack("build m.toml -o wrong.exe").code, 1);
  EXPECT_FALSE(fs::exists(Path("wrong.exe")));

  // Missing beside the stub: built without one, and told so.
  fs::remove(Path("lumiset-uninstall.exe"));
  const Outcome without = Lumipack("build m.toml -o out.exe");
  ASSERT_EQ(without.code, 0) << without.err;
  EXPECT_CONTAINS(without.err, "warning: the default uninstaller lumiset-uninstall.exe is missing");
  EXPECT_CONTAINS(without.err, "uninstaller = false");
  EXPECT_EQ(Inspect("out.exe")["items"]["uninstaller"]["kind"], "none");
}

TEST_F(LumipackCommand, AnInstallerWithoutUninstallerIsRebuiltWithoutOne) {
  ASSERT_EQ(Lumipack("build m.toml -o out.exe --no-uninstaller").code, 0);
  ASSERT_EQ(Lumipack("extract out.exe x").code, 0);
  EXPECT_CONTAINS(ReadText("x/lumipack.toml"), "uninstaller = false");
  // Even with the default uninstaller beside the extracted stub.
  Write("x/lumiset-uninstall.exe", DefaultUninstaller(lumiset::testing::MinimalPeImage(900)));
  const Outcome rebuilt = Lumipack("build x/lumipack.toml -o again.exe");
  ASSERT_EQ(rebuilt.code, 0) << rebuilt.err;
  EXPECT_EQ(Read("again.exe"), Read("out.exe"));
}

TEST_F(LumipackCommand, UsageErrorsExitWithTwo) {
  struct Case {
    const char* args;
    const char* hint;  // the help the message points at
  };
  const Case cases[] = {
      {"", "'lumipack --help'"},
      {"frobnicate", "'lumipack --help'"},
      {"build m.toml -o out.exe --no-such-option", "'lumipack build --help'"},
      {"build m.toml -o out.exe --language klingon", "'lumipack build --help'"},
      {"build m.toml -o out.exe --accent-color red", "'lumipack build --help'"},
      {"build m.toml -o out.exe --sign-with c.pem k.pem extra", "'lumipack build --help'"},
      {"build m.toml -o out.exe --password-env P", "'lumipack build --help'"},
      {"build m.toml -o out.exe -D 9=1", "'lumipack build --help'"},
      {"init a b", "'lumipack init --help'"},
      {"build m.toml -o out.exe --threads 0", "'lumipack build --help'"},
      {"build m.toml -o out.exe --fast --best", "'lumipack build --help'"},
      {"build m.toml -o out.exe --output-dir .", "'lumipack build --help'"},
      {"build m.toml -o out.exe --quiet --verbose", "'lumipack build --help'"},
      {"build m.toml -o out.exe --uninstaller u.exe --no-uninstaller", "'lumipack build --help'"},
      {"build m.toml -o out.exe --version", "'lumipack build --help'"},
      {"check m.toml -o out.exe --message-format xml", "'lumipack check --help'"},
      {"inspect", "'lumipack inspect --help'"},
      {"extract out.exe", "'lumipack extract --help'"},
  };
  for (const Case& c : cases) {
    Outcome run = Lumipack(c.args);
    EXPECT_EQ(run.code, 2) << c.args << "\n" << run.err;
    EXPECT_TRUE(run.err.starts_with("lumipack: error: ")) << c.args << "\n" << run.err;
    EXPECT_CONTAINS(run.err, c.hint);
    EXPECT_FALSE(fs::exists(Path("out.exe"))) << c.args;
  }
  EXPECT_EQ(Lumipack("--help").code, 0);
  EXPECT_EQ(Lumipack("build --help").code, 0);
  EXPECT_CONTAINS(Lumipack("--version").out, "1.");
}

TEST_F(LumipackCommand, HelpNamesEveryValueAndTheExitCodes) {
  for (const char* command : {"", "build ", "check ", "inspect ", "extract ", "init ", "schema "}) {
    SCOPED_TRACE(command);
    const Outcome help = Lumipack(std::string(command) + "--help");
    ASSERT_EQ(help.code, 0);
    EXPECT_LACKS(help.out, "{false}");
    EXPECT_LACKS(help.out, "UINT");
    EXPECT_LACKS(help.out, "Excludes");
    for (const char* line : {"Exit codes:", "  0    success", "  1    bad input or output",
                             "  2    a command line that does not parse", "  130  interrupted"}) {
      EXPECT_CONTAINS(help.out, line);
    }
  }
  const Outcome build = Lumipack("build --help");
  for (const char* line : {"--desktop-icon,--no-desktop-icon ", "--threads N ", "--best ",
                           "--sign-with CERT KEY|P12 ", "--werror ", "-q,--quiet ", "-v,--verbose ",
                           "--no-progress ", "--message-format FORMAT ", "--output-dir FOLDER "}) {
    EXPECT_CONTAINS(build.out, line);
  }
}

TEST_F(LumipackCommand, LateFailureKeepsTheOldOutputAndNoScratchFile) {
  // Signing fails after the installer was written under its scratch name.
  Write("out.exe", "the previous installer");
  Write("cert.pem", "cert");
  Write("key.pem", "key");
  const std::set<std::string> before = Listing();
  Outcome run =
      Lumipack("build m.toml -o out.exe --sign-with cert.pem key.pem", "PATH=/nonexistent");
  EXPECT_EQ(run.code, 1);
  EXPECT_CONTAINS(run.err, "osslsigncode is not installed");
  EXPECT_EQ(ReadText("out.exe"), "the previous installer");
  EXPECT_EQ(Listing(), before);
}

TEST_F(LumipackCommand, WarnsAboutPicturesAndTextsButBuilds) {
  Write("wide.bmp",
        lumiset::testing::MakeBmp(600, 80, 24, 0, {}, std::vector<uint8_t>(600 * 3 * 80, 0)));
  Write("photo.png", JpegFile(200, 40));
  Write("l.txt", "Hello {UserName}\n#ifgermn\n");
  Outcome wide = Lumipack("build m.toml -o a.exe --picture wide.bmp --licence l.txt");
  ASSERT_EQ(wide.code, 0) << wide.err;
  EXPECT_CONTAINS(wide.err, "wide.bmp: 600x80 pixels is larger than the header band (497x58)");
  EXPECT_CONTAINS(wide.err, "l.txt:1:7: {UserName} is not a placeholder");
  EXPECT_CONTAINS(wide.err, "l.txt:2:1: '#ifgermn' is not a language directive");

  Outcome jpeg = Lumipack("build m.toml -o b.exe --picture photo.png --no-uninstaller");
  ASSERT_EQ(jpeg.code, 0) << jpeg.err;
  EXPECT_LACKS(jpeg.err, "header band");
  EXPECT_CONTAINS(jpeg.err,
                  "photo.png: the installer shows only BMP pictures; this JPEG is stored but the "
                  "pages show no picture");
  EXPECT_EQ(Inspect("b.exe")["record"]["fields"]["picture_format"], lumiset::kPictureJpeg);
}

TEST_F(LumipackCommand, InspectShowsEveryFieldInWords) {
  ASSERT_EQ(Lumipack("build m.toml -o out.exe").code, 0);
  Outcome run = Lumipack("inspect out.exe");
  ASSERT_EQ(run.code, 0) << run.err;
  for (const char* line :
       {"signature      none", "title                    Starfield",
        "company                  Lumiset Samples", "language                 0 (auto)",
        "screensaver file name    starfield", "desktop icon             0 (off)",
        "screensaver block length", "(matches the block)", "version                  (none)",
        "web page                 (none)", "uninstaller    none", "screensaver    ",
        "32-bit PE image", "result         every item decodes"}) {
    EXPECT_CONTAINS(run.out, line);
  }
}

// What a deployment tool's detection rule looks for: the keys of either
// scope, and the registry view a 32-bit installer writes the machine's in.
TEST_F(LumipackCommand, InspectNamesTheKeysOfEitherScope) {
  Write("stub64.exe", StubImage(true));
  Write("scr64.scr", SixtyFourBitPe());
  ASSERT_EQ(Lumipack("build m.toml -o x86.exe").code, 0);
  ASSERT_EQ(Lumipack("build m.toml -o x64.exe --stub stub64.exe --screensaver scr64.scr").code, 0);
  const std::string entry =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
      "Starfield Screensaver";
  for (const char* file : {"x86.exe", "x64.exe"}) {
    SCOPED_TRACE(file);
    const json keys = Inspect(file)["installation"];
    EXPECT_EQ(keys["record_key"], "HKEY_CURRENT_USER\\SOFTWARE\\Lumiset Samples\\Starfield");
    EXPECT_EQ(keys["every_user_record_key"],
              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Lumiset Samples\\Starfield");
    EXPECT_EQ(keys["uninstall_key"], entry);
    EXPECT_EQ(keys["registry_view"], std::string(file) == "x86.exe" ? "32-bit" : "64-bit");
  }
  const Outcome words = Lumipack("inspect x86.exe");
  EXPECT_CONTAINS(words.out, "installs for   the running user; every user with /allusers");
  EXPECT_CONTAINS(words.out, "installed-programs entry " + entry);
  EXPECT_CONTAINS(words.out, "keys lie under SOFTWARE\\WOW6432Node");
}

TEST_F(LumipackCommand, ReadsAnInstallerWithACertificateTable) {
  lumiset::testing::TestPackage package;
  package.screensaver = lumiset::testing::MinimalPeImage(3000);
  package.stub = StubImage();
  std::vector<uint8_t> installer = lumiset::testing::BuildInstaller(package);
  lumiset::testing::AttachFakeSignature(installer, 2048, kStubImageCertEntry);
  Write("signed.exe", installer);
  const json report = Inspect("signed.exe");
  EXPECT_EQ(report["signature"]["present"], true);
  EXPECT_EQ(report["signature"]["size"], 2048);
  EXPECT_TRUE(report["ok"]);
  ASSERT_EQ(Lumipack("extract signed.exe x").code, 0);
  const std::vector<uint8_t> stub = Read("x/stub.exe");
  ASSERT_GT(stub.size(), kStubImageCertEntry + 8);
  EXPECT_EQ(lumiset::LoadU32(&stub[kStubImageCertEntry]), 0u)
      << "the extracted stub no longer points at a certificate table";
  const Outcome rebuilt = Lumipack("build x/lumipack.toml -o rebuilt.exe");
  EXPECT_EQ(rebuilt.code, 0) << rebuilt.err;
}

TEST_F(LumipackCommand, DamagedInstallersAreReportedNotTrusted) {
  ASSERT_EQ(Lumipack("build m.toml -o good.exe").code, 0);
  const std::vector<uint8_t> good = Read("good.exe");
  lumiset::MemoryFile file(good);
  const lumiset::PackageLocation where = *lumiset::LocatePackage(file);
  const lumiset::PackageItems items = *lumiset::ReadPackageItems(file, where);

  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::string message;
  };
  const Case cases[] = {
      {"no package", [](std::vector<uint8_t>& b) { b = lumiset::testing::MinimalPeImage(); },
       "no package found"},
      {"cut short", [](std::vector<uint8_t>& b) { b.resize(b.size() - 40); }, "no package found"},
      {"not a program", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, "not a PE image"},
      {"trailer points past the end",
       [](std::vector<uint8_t>& b) { lumiset::StoreU32(&b[b.size() - 4], 0x7FFFFFF0); },
       "no package found"},
      {"item length runs past the end",
       [&](std::vector<uint8_t>& b) { lumiset::StoreU32(&b[where.package_offset], 0x00FFFFFF); },
       "the setup record item is larger than any package holds"},
      {"screensaver stream damaged",
       [&](std::vector<uint8_t>& b) {
         const uint64_t middle = (items.data_offset + 12 + items.data_end) / 2;
         for (uint64_t i = middle; i < middle + 16; ++i) b[i] ^= 0x5A;
       },
       "damaged: the screensaver"},
      {"record stream damaged",
       [&](std::vector<uint8_t>& b) { b[where.package_offset + 4 + 6] ^= 0xFF; },
       "damaged: the record"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = good;
    c.damage(bad);
    Write("bad.exe", bad);
    Outcome inspect = Lumipack("inspect bad.exe");
    EXPECT_EQ(inspect.code, 1);
    EXPECT_CONTAINS(inspect.err, c.message);
    Outcome extract = Lumipack("extract bad.exe x");
    EXPECT_EQ(extract.code, 1);
    EXPECT_FALSE(fs::exists(Path("x")));
  }
  EXPECT_EQ(Lumipack("inspect missing.exe").code, 1);
}

TEST_F(LumipackCommand, ABrokenPictureInsideAnInstallerIsReported) {
  // Another writer's installer whose picture block decodes but whose BMP is
  // cut short: the installer would show no picture.
  lumiset::testing::TestPackage package;
  package.picture = Cut(kWholeBmp, 60);
  package.record.picture_format = lumiset::kPictureBmp;
  package.screensaver = lumiset::testing::MinimalPeImage(3000);
  package.stub = StubImage();
  Write("other.exe", lumiset::testing::BuildInstaller(package));

  const Outcome inspect = Lumipack("inspect other.exe");
  EXPECT_EQ(inspect.code, 1);
  EXPECT_CONTAINS(inspect.out, "picture        ");
  EXPECT_CONTAINS(inspect.out, "the BMP cannot be used: it is cut short");
  EXPECT_CONTAINS(inspect.err, "damaged: the page picture: the BMP cannot be used");
  const Outcome as_json = Lumipack("inspect --json other.exe");
  EXPECT_EQ(as_json.code, 1);
  json report = json::parse(as_json.out, nullptr, false);
  ASSERT_TRUE(report.is_object()) << as_json.out;
  EXPECT_EQ(report["ok"], false);
  EXPECT_CONTAINS(report["items"]["picture"].value("problem", ""), "cut short");

  // Its parts still come out, so nothing is lost; the rebuild refuses the
  // picture with the reason.
  const Outcome extracted = Lumipack("extract other.exe x");
  ASSERT_EQ(extracted.code, 0) << extracted.err;
  EXPECT_CONTAINS(extracted.err, "the page picture: the BMP cannot be used");
  EXPECT_EQ(Read("x/header.bmp"), package.picture);
  const Outcome rebuilt = Lumipack("build x/lumipack.toml -o again.exe");
  EXPECT_EQ(rebuilt.code, 1);
  EXPECT_CONTAINS(rebuilt.err, "header.bmp: the BMP cannot be used: it is cut short");
}

TEST_F(LumipackCommand, TheCompanionIsReportedAsStoredNotChecked) {
  const std::vector<uint8_t> tool = lumiset::testing::MinimalPeImage(4096);
  Write("tool.exe", tool);
  const Outcome built = Lumipack("build m.toml -o out.exe --companion tool.exe");
  ASSERT_EQ(built.code, 0) << built.err;
  EXPECT_CONTAINS(built.out, "stored as is: the package keeps no check value for it");

  // Sixteen bytes flipped inside the companion: nothing can notice, and
  // inspect must not claim that it checked them.
  std::vector<uint8_t> installer = Read("out.exe");
  const auto at = std::search(installer.begin(), installer.end(), tool.begin(), tool.end());
  ASSERT_NE(at, installer.end());
  for (size_t i = 2048; i < 2048 + 16; ++i) at[static_cast<std::ptrdiff_t>(i)] ^= 0x5A;
  Write("flipped.exe", installer);
  for (const char* name : {"out.exe", "flipped.exe"}) {
    SCOPED_TRACE(name);
    const Outcome inspect = Lumipack(std::string("inspect ") + name);
    EXPECT_EQ(inspect.code, 0) << inspect.err;
    EXPECT_LACKS(inspect.out, "every item decodes");
    EXPECT_CONTAINS(inspect.out, "stored, not checked");
    EXPECT_CONTAINS(inspect.out,
                    "result         every compressed item decodes; the companion program is "
                    "stored, not checked");
    json companion = Inspect(name)["items"]["companion"];
    EXPECT_EQ(companion["checked"], false);
    EXPECT_EQ(companion["status"], "stored, not checked");
    EXPECT_EQ(Inspect(name)["items"]["screensaver"]["checked"], true);
  }
}

TEST_F(LumipackCommand, InspectJsonPrintsAnObjectEvenWhenItCannotRead) {
  Write("text.exe", "not a program");
  Write("plain.exe", lumiset::testing::MinimalPeImage());
  struct Case {
    const char* file;
    const char* problem;
  };
  for (const Case& c : {Case{"missing.exe", "missing.exe: no such file"},
                        Case{"text.exe", "text.exe: not a PE image"},
                        Case{"plain.exe", "plain.exe: no package found"}}) {
    SCOPED_TRACE(c.file);
    const Outcome run = Lumipack(std::string("inspect --json ") + c.file);
    EXPECT_EQ(run.code, 1);
    json report = json::parse(run.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << run.out;
    EXPECT_EQ(report["ok"], false);
    EXPECT_EQ(report["file"], c.file);
    EXPECT_CONTAINS(report.value("problem", ""), c.problem);
    EXPECT_CONTAINS(run.err, std::string("lumipack: error: ") + c.problem);
  }
}

TEST_F(LumipackCommand, TheSummaryCountsTheScreensaverAsInspectDoes) {
  Write("tool.exe", lumiset::testing::MinimalPeImage(333));
  Write("big.scr", IncompressiblePe(100000 + 3));
  for (const char* extra : {"", "--companion tool.exe --picture p.bmp", "--screensaver big.scr"}) {
    SCOPED_TRACE(extra);
    Write("p.bmp", kWholeBmp);
    const Outcome built = Lumipack(std::string("build m.toml -o out.exe ") + extra);
    ASSERT_EQ(built.code, 0) << built.err;
    const uint64_t stored = Inspect("out.exe")["items"]["screensaver"]["stored_size"];
    EXPECT_CONTAINS(built.out, ", " + std::to_string(stored) + " in the package\n");
  }
}

TEST_F(LumipackCommand, TheFileNameMayEndInScr) {
  struct Case {
    const char* given;
    const char* stored;
  };
  for (const Case& c :
       {Case{"stars", "stars"}, Case{"stars.scr", "stars"}, Case{"Stars.SCR", "Stars"},
        Case{"stars.scr.scr", "stars.scr"}, Case{"stars.screen", "stars.screen"}}) {
    SCOPED_TRACE(c.given);
    const Outcome built = Lumipack(std::string("build m.toml -o out.exe --file-name ") + c.given);
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_CONTAINS(built.out, std::string("file name    ") + c.stored + ".scr\n");
    EXPECT_EQ(Inspect("out.exe")["record"]["fields"]["scr_file_name"], c.stored);
  }
  // A stored name that ends in .scr (installed as NAME.scr.scr) survives
  // extraction and rebuilding.
  lumiset::testing::TestPackage package;
  package.record.scr_file_name = "odd.scr";
  package.screensaver = lumiset::testing::MinimalPeImage(3000);
  package.stub = StubImage();
  Write("other.exe", lumiset::testing::BuildInstaller(package));
  ASSERT_EQ(Lumipack("extract other.exe x").code, 0);
  ASSERT_EQ(Lumipack("build x/lumipack.toml -o again.exe").code, 0);
  EXPECT_EQ(Inspect("again.exe")["record"]["fields"]["scr_file_name"], "odd.scr");
}

TEST_F(LumipackCommand, BestAndFastOverrideTheManifest) {
  Write("big.scr", lumiset::testing::MinimalPeImage(300000));
  ASSERT_EQ(Lumipack("build m.toml --screensaver big.scr -o best.exe").code, 0);
  ASSERT_EQ(Lumipack("build m.toml --screensaver big.scr -o fast.exe --fast").code, 0);
  Write("fast.toml", std::string(kBaseManifest) + "compression = \"fast\"\n");
  ASSERT_EQ(Lumipack("build fast.toml --screensaver big.scr -o a.exe").code, 0);
  ASSERT_EQ(Lumipack("build fast.toml --screensaver big.scr -o b.exe --best").code, 0);
  EXPECT_EQ(Read("a.exe"), Read("fast.exe"));
  EXPECT_EQ(Read("b.exe"), Read("best.exe"));
  EXPECT_NE(Read("best.exe"), Read("fast.exe"));
}

TEST_F(LumipackCommand, ExtractNeedsAnEmptyOrNewFolder) {
  ASSERT_EQ(Lumipack("build m.toml -o out.exe").code, 0);
  Write("full/keep.txt", "mine");
  Outcome full = Lumipack("extract out.exe full");
  EXPECT_EQ(full.code, 1);
  EXPECT_CONTAINS(full.err, "full: the folder is not empty");
  EXPECT_EQ(ReadText("full/keep.txt"), "mine");
  EXPECT_EQ(Lumipack("extract out.exe no/parent").code, 1);
  fs::create_directory(Path("empty"));
  EXPECT_EQ(Lumipack("extract out.exe empty").code, 0);
  EXPECT_TRUE(fs::exists(Path("empty/lumipack.toml")));
}

TEST_F(LumipackCommand, SignsWithOsslsigncode) {
  if (!HaveProgram("openssl") || !HaveProgram("osslsigncode")) {
    GTEST_SKIP() << "needs the openssl and osslsigncode programs";
  }
  const std::string make_cert =
      "cd '" + dir_.string() +
      "' && openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Test -days 2 "
      "-keyout key.pem -out cert.pem >/dev/null 2>&1";
  ASSERT_EQ(std::system(make_cert.c_str()), 0);

  ASSERT_EQ(Lumipack("build m.toml -o plain.exe").code, 0);
  Outcome built = Lumipack("build m.toml -o signed.exe --sign-with cert.pem key.pem");
  ASSERT_EQ(built.code, 0) << built.err;
  const json report = Inspect("signed.exe");
  EXPECT_EQ(report["signature"]["present"], true);
  EXPECT_TRUE(report["ok"]);
  const std::string verify = "cd '" + dir_.string() +
                             "' && osslsigncode verify -CAfile cert.pem -in signed.exe "
                             ">/dev/null 2>&1";
  EXPECT_EQ(std::system(verify.c_str()), 0);

  // The signer rewrites the PE checksum; everything else comes back.
  ASSERT_EQ(Lumipack("extract signed.exe x").code, 0);
  ASSERT_EQ(Lumipack("build x/lumipack.toml -o rebuilt.exe").code, 0);
  std::vector<uint8_t> rebuilt = Read("rebuilt.exe");
  std::vector<uint8_t> plain = Read("plain.exe");
  ASSERT_EQ(rebuilt.size(), plain.size());
  std::fill_n(rebuilt.begin() + kPeChecksumOffset, 4, 0);
  std::fill_n(plain.begin() + kPeChecksumOffset, 4, 0);
  EXPECT_EQ(rebuilt, plain);
}

TEST_F(LumipackCommand, SignedBuildsAreReproducibleWithSourceDateEpoch) {
  if (!HaveProgram("openssl") || !HaveProgram("osslsigncode")) {
    GTEST_SKIP() << "needs the openssl and osslsigncode programs";
  }
  const std::string make_cert =
      "cd '" + dir_.string() +
      "' && openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Test -days 2 "
      "-keyout key.pem -out cert.pem >/dev/null 2>&1";
  ASSERT_EQ(std::system(make_cert.c_str()), 0);
  const std::string sign = "build m.toml --sign-with cert.pem key.pem -o ";
  // 2023-11-14 22:13:20 UTC.
  const std::string epoch = "SOURCE_DATE_EPOCH=1700000000";
  ASSERT_EQ(Lumipack(sign + "one.exe", epoch).code, 0);
  // A signing time is in whole seconds: the second build must fall in
  // another second to show that the time does not come from the clock.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(Lumipack(sign + "two.exe", epoch).code, 0);
  EXPECT_EQ(Read("one.exe"), Read("two.exe"));
  const std::string verify = "cd '" + dir_.string() +
                             "' && osslsigncode verify -CAfile cert.pem -in one.exe 2>&1 | "
                             "grep -i 'signing time' >.time";
  ASSERT_EQ(std::system(verify.c_str()), 0);
  EXPECT_CONTAINS(ReadText(".time"), "Nov 14 22:13:20 2023");

  for (const char* bad : {"SOURCE_DATE_EPOCH=yesterday", "SOURCE_DATE_EPOCH=-5",
                          "SOURCE_DATE_EPOCH=", "SOURCE_DATE_EPOCH=99999999999999999999"}) {
    SCOPED_TRACE(bad);
    const Outcome run = Lumipack(sign + "three.exe", bad);
    EXPECT_EQ(run.code, 1);
    EXPECT_CONTAINS(run.err, "is not a number of seconds since 1970");
    EXPECT_FALSE(fs::exists(Path("three.exe")));
  }
}

}  // namespace
}  // namespace lumipack::testing
