#include "starter.h"

#include <gtest/gtest.h>

#include "command_fixture.h"

namespace lumipack {
namespace {

using testing::LumipackCommand;
using testing::Outcome;

// What a user does: init a fresh folder, then build it with the screensaver
// named on the command line.
TEST_F(LumipackCommand, InitThenBuildOnAFreshFolder) {
  Outcome init = Lumipack("init new/project");
  ASSERT_EQ(init.code, 0) << init.err;
  EXPECT_EQ(init.out,
            "wrote new/project/lumipack.toml\n"
            "wrote new/project/licence.txt\n"
            "Next: edit new/project/lumipack.toml, then run\n"
            "  lumipack build new/project/lumipack.toml --screensaver YOUR.scr\n");
  EXPECT_EQ(ReadText("new/project/lumipack.toml"), StarterManifest());

  Outcome built = Lumipack(
      "build new/project/lumipack.toml --screensaver starfield.scr --stub stub.exe -o out.exe");
  ASSERT_EQ(built.code, 0) << built.err;
  const nlohmann::json f = Inspect("out.exe")["record"]["fields"];
  EXPECT_EQ(f["title"], "My Screensaver");
  EXPECT_EQ(f["company"], "My Company");
  EXPECT_NE(Inspect("out.exe").dump().find("Replace this text with the licence"),
            std::string::npos);
}

TEST_F(LumipackCommand, InitOverwritesNothing) {
  for (const char* existing : {"lumipack.toml", "licence.txt"}) {
    SCOPED_TRACE(existing);
    std::filesystem::remove_all(Path("p"));
    std::filesystem::create_directory(Path("p"));
    Write(std::string("p/") + existing, "mine");
    Outcome init = Lumipack("init p");
    EXPECT_EQ(init.code, 1);
    EXPECT_NE(init.err.find(std::string("p/") + existing + ": already exists; nothing was written"),
              std::string::npos)
        << init.err;
    EXPECT_EQ(ReadText(std::string("p/") + existing), "mine");
    EXPECT_EQ(std::filesystem::directory_iterator(Path("p"))->path().filename(), existing);
  }
}

}  // namespace
}  // namespace lumipack
