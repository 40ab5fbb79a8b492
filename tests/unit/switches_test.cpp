#include "setup/switches.h"

#include <gtest/gtest.h>

#include "setup/startup.h"
#include "base/text.h"

namespace lumiset {
namespace {

// Package defaults chosen so that every switch visibly changes something.
PackageDefaults Defaults() {
  PackageDefaults d;
  d.open_display_properties = true;
  d.start_menu_entry = true;
  d.desktop_icon = false;
  return d;
}

RunOptions Parse(std::string_view args, const MachineFacts& facts = {}) {
  return ParseRunOptions(AsciiLower(args), Defaults(), facts);
}

struct SwitchCase {
  const char* args;
  int32_t quiet, uninstall, screens, as_default, display, start_menu, desktop, xp, help;
};

TEST(Switches, FixedOrderOfSubstringTests) {
  const SwitchCase cases[] = {
      // args             q  u  scr def disp menu desk xp help
      {"",                0, 0, 1,  1,  1,   1,   0,   0, 0},
      {"/q",              1, 0, 0,  1,  0,   1,   0,   0, 0},
      {"/Q",              1, 0, 0,  1,  0,   1,   0,   0, 0},
      {"/q /d-",          1, 0, 0,  0,  0,   1,   0,   0, 0},
      {"/d-",             0, 0, 1,  0,  1,   1,   0,   0, 0},
      {"/d /d-",          0, 0, 1,  0,  1,   1,   0,   0, 0},
      {"/d- /d",          0, 0, 1,  0,  1,   1,   0,   0, 0},
      {"/q /f /p",        1, 0, 1,  1,  1,   1,   0,   0, 0},
      {"/u",              0, 1, 0,  1,  1,   1,   0,   0, 0},
      {"/u /f",           0, 1, 1,  1,  1,   1,   0,   0, 0},
      {"/f-",             0, 0, 0,  1,  1,   1,   0,   0, 0},
      {"/p- /m- /s",      0, 0, 1,  1,  0,   0,   1,   0, 0},
      {"/s-",             0, 0, 1,  1,  1,   1,   0,   0, 0},
      {"/x",              0, 0, 1,  1,  1,   1,   0,   1, 0},
      {"/x /w",           0, 0, 1,  1,  1,   1,   0,   0, 0},
      {"/w /x",           0, 0, 1,  1,  1,   1,   0,   0, 0},
      {"/?",              0, 0, 1,  1,  1,   1,   0,   0, 1},
      {"/H",              0, 0, 1,  1,  1,   1,   0,   0, 1},
      {"c:/home/uninstall", 0, 1, 0, 1, 1,   1,   0,   0, 1},
      {"/qfp",            1, 0, 0,  1,  0,   1,   0,   0, 0},
  };
  for (const SwitchCase& c : cases) {
    const RunOptions o = Parse(c.args);
    EXPECT_EQ(o.quiet, c.quiet) << c.args;
    EXPECT_EQ(o.uninstall, c.uninstall) << c.args;
    EXPECT_EQ(o.show_pages, c.screens) << c.args;
    EXPECT_EQ(o.choices.set_as_default, c.as_default) << c.args;
    EXPECT_EQ(o.choices.open_display_properties, c.display) << c.args;
    EXPECT_EQ(o.choices.start_menu_entry, c.start_menu) << c.args;
    EXPECT_EQ(o.choices.desktop_icon, c.desktop) << c.args;
    EXPECT_EQ(o.themed_look, c.xp) << c.args;
    EXPECT_EQ(o.show_help, c.help) << c.args;
  }
}

TEST(Switches, ArgumentsFollowTheProgramPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\My Files\\Setup.exe\" /q /f", "/q /f"},
      {"C:\\Setup.exe   /u", "/u"},
      {"Setup.exe", ""},
      {"\"C:\\unterminated /q", ""},
      {"\"a.exe\"/q", "/q"},
      {"", ""},
  };
  for (auto [line, args] : cases) EXPECT_EQ(ArgumentsOf(line), args) << line;
}

TEST(Switches, NoInteractionIsASwitchOfItsOwn) {
  const std::pair<const char*, int32_t> cases[] = {
      {"/q /n", 1}, {"/N", 1}, {"/q", 0}, {"/u /f", 0}, {"", 0},
  };
  for (auto [args, expected] : cases) EXPECT_EQ(Parse(args).no_interaction, expected) << args;
}

TEST(Switches, AllUsersByTheSwitchOrTheSystemAccount) {
  MachineFacts system;
  system.system_account = true;
  EXPECT_FALSE(Parse("/q").all_users);
  EXPECT_TRUE(Parse("/q /ALLUSERS").all_users);
  EXPECT_TRUE(Parse("/q", system).all_users);
  // "/d" alone asks for the activation by name; "/d-" does not.
  EXPECT_TRUE(Parse("/q /allusers /d").set_as_default_explicit);
  EXPECT_FALSE(Parse("/q /allusers /d-").set_as_default_explicit);
  EXPECT_FALSE(Parse("/q /allusers").set_as_default_explicit);
  // The silent-with-progress combination.
  EXPECT_TRUE(SilentWithProgress(Parse("/q /f /n")));
  EXPECT_FALSE(SilentWithProgress(Parse("/q /n")));
  EXPECT_FALSE(SilentWithProgress(Parse("/f /n")));
}

// /log=PATH leaves the arguments whole before the other switches are looked
// for, so a path holding "/q" or "/u" never turns into those switches.
TEST(Switches, LogSwitchIsTakenOutWithItsPath) {
  struct Case {
    const char* args;
    const char* path;
    const char* rest;
  };
  const Case cases[] = {
      {"/q /log=C:\\logs\\setup.log", "C:\\logs\\setup.log", "/q "},
      {"/LOG=\"C:\\My Logs\\a.log\" /q", "C:\\My Logs\\a.log", " /q"},
      {"/log=c:/u/q.txt /f", "c:/u/q.txt", " /f"},
      {"/log=\"C:\\open quote", "C:\\open quote", ""},
      {"/q \"/log=C:\\My Logs\\b.log\" /f", "C:\\My Logs\\b.log", "/q  /f"},
      {"/log= /q", "", " /q"},
      {"/q /f", "", "/q /f"},
  };
  for (const Case& c : cases) {
    std::string args = c.args;
    EXPECT_EQ(TakeLogSwitch(args), c.path) << c.args;
    EXPECT_EQ(args, c.rest) << c.args;
  }
  std::string args = "/log=c:/u/q.txt";
  TakeLogSwitch(args);
  EXPECT_FALSE(Parse(args).uninstall);
  EXPECT_FALSE(Parse(args).quiet);
}

TEST(RunMode, FirstMatchingRowWins) {
  struct Case {
    int32_t help, detect, uninstall, quiet;
    bool exists;
    RunMode mode;
  };
  const Case cases[] = {
      {1, 1, 1, 1, true, RunMode::kHelp},
      {0, 0, 1, 0, true, RunMode::kClose},
      {0, 1, 1, 0, false, RunMode::kClose},
      {0, 0, 0, 0, true, RunMode::kInstall},
      {0, 1, 0, 1, false, RunMode::kInstall},
      {0, 1, 1, 1, true, RunMode::kUninstall},
      {0, 1, 0, 1, true, RunMode::kInstall},
      {0, 1, 0, 0, true, RunMode::kAskExisting},
  };
  for (const Case& c : cases) {
    RunOptions o;
    o.show_help = c.help;
    o.uninstall = c.uninstall;
    o.quiet = c.quiet;
    PackageDefaults d;
    d.detect_existing = c.detect;
    EXPECT_EQ(DecideRunMode(o, d, c.exists), c.mode)
        << c.help << c.detect << c.uninstall << c.quiet << c.exists;
  }
}

TEST(StartupPaths, SystemDir) {
  EXPECT_EQ(FormSystemDir("C:\\WINDOWS\\System32", true), "C:\\windows\\Sysnative");
  EXPECT_EQ(FormSystemDir("C:\\WINDOWS\\System32", false), "C:\\windows\\system32");
  EXPECT_EQ(FormSystemDir("d:\\winnt\\system32\\", false), "D:\\winnt\\system32");
  EXPECT_EQ(FormSystemDir("", true), "");
}

}  // namespace
}  // namespace lumiset
