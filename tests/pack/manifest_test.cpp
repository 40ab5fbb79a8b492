#include "manifest.h"

#include <gtest/gtest.h>

#include <optional>

#include "manifest_keys.h"
#include "manifest_writer.h"

namespace lumipack {
namespace {

const std::filesystem::path kFolder = "/packs/star";

Result<Manifest> Parse(const std::string& text) { return ParseManifest(text, "m.toml", kFolder); }

TEST(Manifest, ReadsEveryKey) {
  Result<Manifest> m = Parse(R"(
title = "Starfield"
company = "Lumiset Samples"
copyright = "(c) 2026 Lumiset Samples"
copyright_rest = "https://example.invalid"
language = "German"
file_name = "stars"
version = "2.1 beta"
url = "https://example.com/starfield"
screensaver = "bin/starfield.scr"
licence = "licence.txt"
info = "/abs/info.txt"
picture = "header.png"
uninstaller = "uninstall.exe"
companion = "tool.exe"
stub = "../lumiset.exe"
compression = "fast"

[options]
setup_options = false
open_display_properties = true
start_menu_entry = 0
desktop_icon = 7
detect_existing = true
info_page = false

[header]
show_text = false
text_color = "#FF8000"
accent_color = 0x01020304

[reserved]
pair = [1, 0xFFFFFFFE]
numbers = [1, 2, 3, 65535]
texts = ["a", "b", "c", "d"]
field = 9
picture_format = 2
)");
  ASSERT_TRUE(m) << m.message();
  EXPECT_EQ(m->title, "Starfield");
  EXPECT_EQ(m->copyright_rest, "https://example.invalid");
  EXPECT_EQ(m->language, 3);
  EXPECT_EQ(m->file_name, "stars");
  EXPECT_EQ(m->version, "2.1 beta");
  EXPECT_EQ(m->url, "https://example.com/starfield");
  EXPECT_EQ(m->screensaver, kFolder / "bin/starfield.scr");
  EXPECT_EQ(m->uninstaller, kFolder / "uninstall.exe");
  EXPECT_FALSE(m->use_uninstaller);
  EXPECT_EQ(m->info, std::filesystem::path("/abs/info.txt"));
  EXPECT_EQ(m->stub, kFolder / "../lumiset.exe");
  EXPECT_EQ(m->fast, true);
  EXPECT_EQ(m->show_setup_options, 0);
  EXPECT_EQ(m->open_display_properties, 1);
  EXPECT_EQ(m->create_start_menu_entry, 0);
  EXPECT_EQ(m->create_desktop_icon, 7);
  EXPECT_EQ(m->show_header_text, 0);
  EXPECT_EQ(m->header_text_color, 0x000080FFu);
  EXPECT_EQ(m->accent_color, 0x01020304u);
  EXPECT_EQ(m->reserved_pair, (std::array<uint32_t, 2>{1, 0xFFFFFFFE}));
  EXPECT_EQ(m->extension_numbers, (std::array<uint16_t, 4>{1, 2, 3, 65535}));
  EXPECT_EQ(m->extension_texts, (std::array<std::string, 4>{"a", "b", "c", "d"}));
  EXPECT_EQ(m->reserved_field, 9);
  EXPECT_EQ(m->picture_format, 2);
  EXPECT_EQ(m->OriginOf(keys::kTitle), "m.toml:2: title");
}

TEST(Manifest, UnsetKeysStayUnset) {
  Result<Manifest> m = Parse("title = \"T\"\n");
  ASSERT_TRUE(m);
  EXPECT_FALSE(m->company);
  EXPECT_FALSE(m->language);
  EXPECT_FALSE(m->show_setup_options);
  EXPECT_FALSE(m->reserved_pair);
}

TEST(Manifest, UninstallerIsAPathOrTrueOrFalse) {
  struct Case {
    const char* text;
    std::optional<std::filesystem::path> path;
    std::optional<bool> use;
  };
  const Case cases[] = {
      {"uninstaller = \"u.exe\"\n", kFolder / "u.exe", std::nullopt},
      {"uninstaller = false\n", std::nullopt, false},
      {"uninstaller = true\n", std::nullopt, true},
      {"\n", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    Result<Manifest> m = Parse(c.text);
    ASSERT_TRUE(m) << c.text << m.message();
    EXPECT_EQ(m->uninstaller, c.path) << c.text;
    EXPECT_EQ(m->use_uninstaller, c.use) << c.text;
  }
  Result<Manifest> wrong = Parse("\nuninstaller = 1\n");
  ASSERT_FALSE(wrong);
  EXPECT_NE(wrong.message().find("m.toml:2: 'uninstaller' must be a file path, true or false"),
            std::string::npos)
      << wrong.message();
}

TEST(Manifest, ErrorsNameTheLineAndTheKey) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"unknown key", "title = \"T\"\ntitel = \"T\"\n", "m.toml:2: unknown key 'titel'"},
      {"unknown key in a table", "[options]\n\ndesktop = true\n",
       "m.toml:3: unknown key 'options.desktop'"},
      {"unknown table", "\n[optoins]\nx = 1\n", "m.toml:2: unknown key 'optoins'"},
      {"string wanted", "\ntitle = 5\n", "m.toml:2: 'title' must be a string, not an integer"},
      {"path wanted", "screensaver = [\"a\"]\n", "m.toml:1: 'screensaver' must be a string"},
      {"empty path", "licence = \"\"\n", "'licence' is an empty path"},
      {"flag wanted", "[options]\ninfo_page = \"yes\"\n",
       "m.toml:2: 'options.info_page' must be true or false, not a string"},
      {"flag out of range", "[options]\ninfo_page = 70000\n", "between 0 and 65535"},
      {"bad colour", "[header]\ntext_color = \"#12345\"\n",
       "'header.text_color' must be a colour written #RRGGBB"},
      {"bad language", "language = \"klingon\"\n", "'language' must be auto, english"},
      {"bad compression", "compression = \"max\"\n", "'compression' must be \"best\" or \"fast\""},
      {"table as a value", "options = 3\n", "'options' must be a table"},
      {"value as a table", "[title]\nx = 1\n", "'title' must be a string, not a table"},
      {"short pair", "[reserved]\npair = [1]\n", "'reserved.pair' must be an array of two"},
      {"negative", "[reserved]\nfield = -1\n", "between 0 and 65535"},
      {"syntax", "title = \"T\"\ncompany = \n", "m.toml:2:"},
      {"repeated key", "title = \"a\"\ntitle = \"b\"\n", "m.toml:2:"},
      {"tags not an array", "[winget]\ntags = \"a\"\n",
       "m.toml:2: 'winget.tags' must be an array of strings, not a string"},
      {"a tag not a string", "[winget]\ntags = [\"a\", 2]\n",
       "'winget.tags' must be an array of strings, not an integer"},
      {"undefined in the winget url", "[winget]\nurl = \"https://e.com/${build}/a.exe\"\n",
       "m.toml:2: 'winget.url' uses ${build}, which is not defined"},
  };
  for (const Case& c : cases) {
    Result<Manifest> m = Parse(c.text);
    ASSERT_FALSE(m) << c.name;
    EXPECT_NE(m.message().find(c.message), std::string::npos) << c.name << ": " << m.message();
  }
}

TEST(Manifest, WrittenManifestReadsBackTheSame) {
  Manifest m;
  m.title = "Quote \" backslash \\ tab \t bell \x07 Звёзды";
  m.company = "Lumiset";
  m.copyright = "(c) 2026";
  m.copyright_rest = "";
  m.language = 12;
  m.file_name = "stars";
  m.version = "1.0 \"final\"";
  m.url = "https://example.com/a b";
  m.use_uninstaller = false;
  m.screensaver = kFolder / "screensaver.scr";
  m.licence = kFolder / "sub dir/licence.txt";
  m.stub = kFolder / "stub.exe";
  m.fast = false;
  m.show_setup_options = 1;
  m.open_display_properties = 0;
  m.create_start_menu_entry = 1;
  m.create_desktop_icon = 300;
  m.detect_existing = 1;
  m.show_info_page = 0;
  m.show_header_text = 1;
  m.header_text_color = 0x00123456;
  m.accent_color = 0xFF000000;
  m.reserved_pair = {5, 6};
  m.extension_numbers = {1, 2, 3, 4};
  m.extension_texts = {"one", "two\r\nlines", "", "\xC2\x81"};
  m.reserved_field = 3;
  m.picture_format = 1;

  const std::string text = WriteManifest(m, kFolder, "made by a test\nsecond line");
  Result<Manifest> back = Parse(text);
  ASSERT_TRUE(back) << back.message() << "\n" << text;
  EXPECT_EQ(back->title, m.title);
  EXPECT_EQ(back->copyright_rest, m.copyright_rest);
  EXPECT_EQ(back->language, m.language);
  EXPECT_EQ(back->version, m.version);
  EXPECT_EQ(back->url, m.url);
  EXPECT_EQ(back->use_uninstaller, false);
  EXPECT_FALSE(back->uninstaller);
  EXPECT_EQ(back->screensaver, m.screensaver);
  EXPECT_EQ(back->licence, m.licence);
  EXPECT_EQ(back->stub, m.stub);
  EXPECT_EQ(back->fast, m.fast);
  EXPECT_EQ(back->create_desktop_icon, m.create_desktop_icon);
  EXPECT_EQ(back->open_display_properties, m.open_display_properties);
  EXPECT_EQ(back->header_text_color, m.header_text_color);
  EXPECT_EQ(back->accent_color, m.accent_color);
  EXPECT_EQ(back->reserved_pair, m.reserved_pair);
  EXPECT_EQ(back->extension_numbers, m.extension_numbers);
  EXPECT_EQ(back->extension_texts, m.extension_texts);
  EXPECT_EQ(back->reserved_field, m.reserved_field);
  EXPECT_EQ(back->picture_format, m.picture_format);
  EXPECT_NE(text.find("screensaver = \"screensaver.scr\""), std::string::npos) << text;
}

TEST(Colour, ParsesAndFormatsRgbAsBgr) {
  EXPECT_EQ(ParseColour("#FF8000"), 0x000080FFu);
  EXPECT_EQ(ParseColour("#00ff7f"), 0x007FFF00u);
  EXPECT_EQ(FormatColour(0x000080FF), "#FF8000");
  for (const char* bad : {"", "FF8000", "#FF800", "#FF80000", "#GG8000", "#ff 000"}) {
    EXPECT_FALSE(ParseColour(bad)) << bad;
  }
}

}  // namespace
}  // namespace lumipack

namespace lumipack {
namespace {

// A value of each key type; a row whose target does not match its type
// fails here rather than in a user's build.
std::string SampleValue(KeyType type) {
  switch (type) {
    case KeyType::kText:
    case KeyType::kPath:
      return "\"a.txt\"";
    case KeyType::kFlag:
    case KeyType::kUninstaller:
      return "true";
    case KeyType::kColour:
      return "\"#102030\"";
    case KeyType::kLanguage:
      return "\"french\"";
    case KeyType::kArch:
      return "\"x64\"";
    case KeyType::kCompression:
      return "\"fast\"";
    case KeyType::kNumber16:
      return "7";
    case KeyType::kPair:
      return "[1, 2]";
    case KeyType::kNumbers:
      return "[1, 2, 3, 4]";
    case KeyType::kTexts:
      return "[\"a\", \"b\", \"c\", \"d\"]";
    case KeyType::kTextList:
      return "[\"a\", \"b\"]";
    case KeyType::kVersionText:
      return "\"https://example.com/${version}/a.exe\"";
  }
  return {};
}

TEST(ManifestKeys, EveryRowReadsAValueOfItsType) {
  for (const ManifestKey& key : ManifestKeys()) {
    SCOPED_TRACE(std::string(key.name));
    const std::string_view table = TableOf(key.name);
    std::string text = table.empty() ? "" : "[" + std::string(table) + "]\n";
    text += std::string(LeafOf(key.name)) + " = " + SampleValue(key.type) + "\n";
    Result<Manifest> m = Parse(text);
    ASSERT_TRUE(m) << m.message();
    EXPECT_EQ(m->origins.count(std::string(key.name)), 1u);
    EXPECT_FALSE(key.description.empty());
  }
}

TEST(Manifest, TheWingetUrlKeepsVersionForTheInstallersOwn) {
  Defines defines;
  defines.values = {{"host", "example.com"}, {"version", "9.9"}};
  Result<Manifest> m = ParseManifest(
      "version = \"${version}\"\n[winget]\nurl = \"https://${host}/v${version}/Setup.exe\"\n"
      "tags = [\"${host}\", \"stars\"]\n",
      "m.toml", kFolder, defines);
  ASSERT_TRUE(m) << m.message();
  EXPECT_EQ(*m->version, "9.9");
  EXPECT_EQ(*m->winget_url, "https://example.com/v${version}/Setup.exe");
  EXPECT_EQ(*m->winget_tags, (std::vector<std::string>{"example.com", "stars"}));
}

TEST(ManifestKeys, TablesComeFromTheRows) {
  const std::vector<std::string_view> tables = ManifestTables();
  EXPECT_EQ(tables, (std::vector<std::string_view>{"version_info", "options", "header", "signing",
                                                   "winget", "reserved"}));
  Result<Manifest> m = Parse("options = 1\n");
  ASSERT_FALSE(m);
  EXPECT_EQ(m.message(), "m.toml:1: 'options' must be a table, not an integer");
}

}  // namespace
}  // namespace lumipack

namespace lumipack {
namespace {

// Malformed headers that break the TOML parser's own assumptions are
// refused like any other text that does not parse, never a crash.
TEST(Manifest, RefusesTextThatBreaksTheTomlParser) {
  for (const char* text : {"[ = \"x\"\n", "title = \"T\"\n[ = 1\n"}) {
    SCOPED_TRACE(text);
    Result<Manifest> m = Parse(text);
    ASSERT_FALSE(m);
    EXPECT_EQ(m.message(), "m.toml: is not a TOML document the reader can follow");
  }
}

TEST(Manifest, LettersOutsideAsciiOnlyInStringsAndComments) {
  Result<Manifest> ok = Parse(
      "# K\u00f6ln \u00e9t\u00e9\ntitle = \"Caf\u00e9 \\\" \u00e9\"  # \u00fc\n"
      "company = '\u00c5'\ncopyright = \"\"\"\n\u00e9\n\"\"\"\"\n"
      "url = '''\u00e9'''\n");
  ASSERT_TRUE(ok) << ok.message();
  EXPECT_EQ(*ok->title, "Caf\u00e9 \" \u00e9");
  EXPECT_EQ(*ok->copyright, "\u00e9\n\"");
  for (const char* text : {"title = \u00e9\n", "title = \"a\"\n\ncompany = \"\"\"x\n\"\"\" \u00e9\n"}) {
    SCOPED_TRACE(text);
    Result<Manifest> m = Parse(text);
    ASSERT_FALSE(m);
    EXPECT_NE(m.message().find("a letter outside ASCII stands outside a string"),
              std::string::npos)
        << m.message();
  }
  EXPECT_EQ(Parse("title = \u00e9\n").message().substr(0, 9), "m.toml:1:");
  EXPECT_EQ(Parse("title = \"a\"\n\ncompany = \"\"\"x\n\"\"\" \u00e9\n").message().substr(0, 9),
            "m.toml:4:");
}

TEST(Manifest, ControlCharactersAreRefusedWithTheirLine) {
  // A NUL inside a string once led the parser to an unreachable point on a
  // later letter outside ASCII.
  static constexpr char kNulInString[] = "title = \"a\"\nversion = \"v\xC4\xBC'\0\0[\"\n";
  const std::string nul_in_string(kNulInString, sizeof kNulInString - 1);
  const struct {
    std::string text;
    const char* line;
  } cases[] = {
      {nul_in_string, "m.toml:2:"},
      {"title = \"a\x01\"\n", "m.toml:1:"},
      {"title = \"a\"\n\x7F\n", "m.toml:2:"},
  };
  for (const auto& c : cases) {
    Result<Manifest> m = Parse(c.text);
    ASSERT_FALSE(m);
    EXPECT_EQ(m.message().substr(0, 9), c.line) << m.message();
    EXPECT_NE(m.message().find("a control character"), std::string::npos) << m.message();
  }
  // Tabs and both line ends are text.
  EXPECT_TRUE(Parse("title = \"a\tb\"\r\n"));
}

TEST(Manifest, ReadsAByteOrderMarkAsNothing) {
  // Notepad saves UTF-8 with a byte-order mark; lines still count from it.
  Result<Manifest> m = Parse("\xEF\xBB\xBFtitle = \"Caf\u00e9\"\n");
  ASSERT_TRUE(m) << m.message();
  EXPECT_EQ(*m->title, "Caf\u00e9");
  EXPECT_EQ(Parse("\xEF\xBB\xBFtitle = \"a\"\ntitel = 1\n").message().substr(0, 9), "m.toml:2:");
  // Only at the start: elsewhere it is a letter like any other.
  EXPECT_FALSE(Parse("title = \"a\"\n\xEF\xBB\xBF\n"));
}

}  // namespace
}  // namespace lumipack

namespace lumipack {
namespace {

// Extraction writes another writer's texts into a manifest; a "${" in them
// must come back as it was, not as a variable.
TEST(Manifest, WrittenDollarBracesReadBackLiterally) {
  Manifest m;
  m.title = "Price ${5}";
  m.company = "$${x} $$${y}";
  m.licence = kFolder / "texts/${odd}.txt";
  m.extension_texts = std::array<std::string, 4>{"${", "$", "", "}"};
  Result<Manifest> back = Parse(WriteManifest(m, kFolder, "written"));
  ASSERT_TRUE(back) << back.message();
  EXPECT_EQ(back->title, m.title);
  EXPECT_EQ(back->company, m.company);
  EXPECT_EQ(back->licence, m.licence);
  EXPECT_EQ(back->extension_texts, m.extension_texts);
}

}  // namespace
}  // namespace lumipack
