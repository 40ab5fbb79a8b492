#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "command_fixture.h"
#include "support/test_package.h"

// Where `lumipack build` writes and what it leaves behind: the kinds of
// output it refuses, links, permissions, default names, and interrupts.

namespace lumipack::testing {
namespace {

namespace fs = std::filesystem;

TEST_F(LumipackCommand, RefusesOutputsThatAreNotWritableRegularFiles) {
  struct Case {
    const char* name;
    std::function<void(const LumipackCommand&)> prepare;
    const char* output;
    const char* message;
  };
  const Case cases[] = {
      {"a named pipe",
       [](const LumipackCommand& t) { ASSERT_EQ(mkfifo(t.Path("pipe.exe").c_str(), 0644), 0); },
       "pipe.exe",
       "pipe.exe: is a named pipe (FIFO); lumipack writes installers only to regular "
       "files"},
      {"a socket",
       [](const LumipackCommand& t) {
         const int s = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         const std::string path = t.Path("sock.exe").string();
         ASSERT_LT(path.size(), sizeof address.sun_path);
         std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
         ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         close(s);
       },
       "sock.exe", "sock.exe: is a socket"},
      // A link is written through, so one to a device names the device.
      {"a link to /dev/null",
       [](const LumipackCommand& t) { fs::create_symlink("/dev/null", t.Path("null.exe")); },
       "null.exe",
       "null.exe (a symbolic link to /dev/null): is a character device; lumipack writes "
       "installers only to regular files"},
      {"a link to nothing",
       [](const LumipackCommand& t) {
         fs::create_symlink("gone/away.exe", t.Path("dangling.exe"));
       },
       "dangling.exe", "dangling.exe: is a symbolic link to gone/away.exe, which does not exist"},
      {"a read-only file",
       [](const LumipackCommand& t) {
         t.Write("old.exe", "the previous installer");
         fs::permissions(t.Path("old.exe"), fs::perms(0444));
       },
       "old.exe",
       "old.exe: is read-only; lumipack does not replace it (make it writable or remove it "
       "first)"},
      {"a link to a read-only file",
       [](const LumipackCommand& t) {
         t.Write("old.exe", "the previous installer");
         fs::permissions(t.Path("old.exe"), fs::perms(0444));
         fs::create_symlink("old.exe", t.Path("link.exe"));
       },
       "link.exe", "link.exe (a symbolic link to "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    c.prepare(*this);
    struct stat before {};
    ASSERT_EQ(lstat(Path(c.output).c_str(), &before), 0);
    const std::set<std::string> listing = Listing();
    for (const char* command : {"build", "check"}) {
      const Outcome run = Lumipack(std::string(command) + " m.toml -o " + c.output);
      EXPECT_EQ(run.code, 1) << command;
      EXPECT_CONTAINS(run.err, c.message);
      EXPECT_LACKS(run.out, "wrote");
    }
    struct stat after {};
    ASSERT_EQ(lstat(Path(c.output).c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the output is left as it was";
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Listing(), listing) << "nothing is left beside it";
  }
  if (fs::exists(Path("old.exe"))) EXPECT_EQ(ReadText("old.exe"), "the previous installer");
}

TEST_F(LumipackCommand, WritesThroughALinkAndKeepsTheReplacedFilesPermissions) {
  fs::create_directory(Path("releases"));
  Write("releases/v2.exe", "the previous installer");
  fs::create_symlink("releases/v2.exe", Path("latest.exe"));
  const Outcome through = Lumipack("build m.toml -o latest.exe");
  ASSERT_EQ(through.code, 0) << through.err;
  EXPECT_TRUE(fs::is_symlink(Path("latest.exe"))) << "the link stays";
  EXPECT_EQ(fs::read_symlink(Path("latest.exe")), "releases/v2.exe");
  EXPECT_EQ(Read("releases/v2.exe"), Read("latest.exe"));
  EXPECT_GT(Read("releases/v2.exe").size(), 1000u);
  EXPECT_EQ(Listing(), (std::set<std::string>{"latest.exe", "m.toml", "releases", "releases/v2.exe",
                                              "starfield.scr", "stub.exe"}));

  for (const fs::perms mode : {fs::perms(0600), fs::perms(0750), fs::perms(0664)}) {
    SCOPED_TRACE(static_cast<int>(mode));
    Write("out.exe", "the previous installer");
    fs::permissions(Path("out.exe"), mode);
    const Outcome built = Lumipack("build m.toml -o out.exe");
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(fs::status(Path("out.exe")).permissions(), mode);
    EXPECT_GT(Read("out.exe").size(), 1000u);
  }
}

TEST_F(LumipackCommand, NamesTheInstallerAfterItsTitleBesideTheManifest) {
  Write("pack/starfield.toml",
        "title = \"Star Field\"\ncompany = \"Lumiset Samples\"\n"
        "screensaver = \"../starfield.scr\"\nstub = \"../stub.exe\"\n");
  const Outcome beside = Lumipack("build pack/starfield.toml");
  ASSERT_EQ(beside.code, 0) << beside.err;
  EXPECT_CONTAINS(beside.out, "wrote pack/Star FieldSetup.exe (");
  EXPECT_TRUE(fs::is_regular_file(Path("pack/Star FieldSetup.exe")));

  fs::create_directory(Path("dist"));
  const Outcome into = Lumipack("build pack/starfield.toml --output-dir dist --title Stars");
  ASSERT_EQ(into.code, 0) << into.err;
  EXPECT_TRUE(fs::is_regular_file(Path("dist/StarsSetup.exe")));

  const Outcome missing = Lumipack("build pack/starfield.toml --output-dir nowhere");
  EXPECT_EQ(missing.code, 1);
  EXPECT_CONTAINS(missing.err, "nowhere/Star FieldSetup.exe: the folder nowhere does not exist");

  // Without a manifest file the working folder takes the installer.
  const Outcome alone =
      Lumipack("build --title Solo --company C --screensaver starfield.scr --stub stub.exe");
  ASSERT_EQ(alone.code, 0) << alone.err;
  EXPECT_TRUE(fs::is_regular_file(Path("SoloSetup.exe")));
}

class Interrupts : public LumipackCommand, public ::testing::WithParamInterface<int> {};

// A signal while the installer is being written: the scratch file goes and
// lumipack ends by the signal, as a shell expects (it reports 128 + the
// signal's number: 130, 143). A large companion, which is stored without
// compression, makes a large installer quickly, so writing it takes long
// enough to be interrupted; should the writing still win the race (the
// installer is in place when the signal lands), the test tries again.
TEST_P(Interrupts, WhileWritingLeaveNoScratchFile) {
  constexpr int kAttempts = 4;
  Write("big.exe", lumiset::testing::MinimalPeImage(120u << 20));
  const std::set<std::string> before = Listing();
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    SCOPED_TRACE(attempt);
    const Ending ending = InterruptWhenScratchAppears(
        {"build", "m.toml", "--companion", "big.exe", "-o", "out.exe"}, GetParam(), 1);
    EXPECT_TRUE(ending.signalled);
    EXPECT_EQ(ending.code, GetParam());
    if (fs::exists(Path("out.exe")) && attempt < kAttempts) {
      fs::remove(Path("out.exe"));
      continue;
    }
    EXPECT_EQ(Listing(), before);
    break;
  }
}

// A signal while the signer runs: it is ended too, and both scratch files
// (the unsigned installer and the signer's output) go.
TEST_P(Interrupts, WhileSigningLeaveNoScratchFiles) {
  // A signer that writes part of its output and then hangs.
  Write("bin/osslsigncode",
        "#!/bin/sh\n"
        "for a; do out=$a; done\n"
        "echo partial > \"$out\"\n"
        "exec sleep 60\n");
  fs::permissions(Path("bin/osslsigncode"), fs::perms(0755));
  Write("cert.pem", "certificate");
  Write("key.pem", "key");
  const std::set<std::string> before = Listing();
  const Ending ending = InterruptWhenScratchAppears(
      {"build", "m.toml", "-o", "out.exe", "--sign-with", "cert.pem", "key.pem"}, GetParam(), 2,
      Path("bin"));
  EXPECT_TRUE(ending.signalled);
  EXPECT_EQ(ending.code, GetParam());
  EXPECT_EQ(Listing(), before);
}

INSTANTIATE_TEST_SUITE_P(Signals, Interrupts, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

}  // namespace
}  // namespace lumipack::testing
