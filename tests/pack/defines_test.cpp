#include "defines.h"

#include <gtest/gtest.h>

#include "command_fixture.h"
#include "manifest.h"

namespace lumipack {
namespace {

Defines Sample() {
  Defines d;
  d.values = {{"VERSION", "2.1"}, {"name", "Star${VERSION}"}, {"EMPTY", ""}};
  d.environment = [](const std::string& name) -> std::optional<std::string> {
    if (name == "HOME") return std::string("/home/me");
    return std::nullopt;
  };
  return d;
}

TEST(Defines, Expands) {
  const struct {
    const char* text;
    const char* expanded;
  } cases[] = {
      {"plain", "plain"},
      {"${VERSION}", "2.1"},
      {"v${VERSION}-${VERSION}.", "v2.1-2.1."},
      {"${env:HOME}/x", "/home/me/x"},
      {"a${EMPTY}b", "ab"},
      // A value is inserted as it is, never expanded again.
      {"${name}", "Star${VERSION}"},
      {"$${VERSION}", "${VERSION}"},
      {"$$${VERSION}", "$${VERSION}"},
      {"cost $5 and $", "cost $5 and $"},
      {"$$", "$$"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Result<std::string> out = ExpandDefines(c.text, Sample());
    ASSERT_TRUE(out) << out.message();
    EXPECT_EQ(*out, c.expanded);
  }
}

TEST(Defines, RefusesWhatCannotBeExpanded) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"${VERSON}", "uses ${VERSON}, which is not defined (give -D VERSON=VALUE)"},
      {"${env:NOPE}", "uses ${env:NOPE}, but the environment variable NOPE is not set"},
      // The environment only through env:.
      {"${HOME}", "uses ${HOME}, which is not defined (give -D HOME=VALUE)"},
      {"v${VERSION", "has a ${ without its } (write $${ for a literal ${)"},
      {"${}", "has ${}, which does not hold a name (write $${ for a literal ${)"},
      {"${a b}", "has ${a b}, which does not hold a name (write $${ for a literal ${)"},
      {std::string(kMaxExpandedBytes, 'x') + "${VERSION}",
       "is longer than 65536 bytes with its variables replaced"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    Result<std::string> out = ExpandDefines(c.text, Sample());
    ASSERT_FALSE(out);
    EXPECT_EQ(out.message(), c.message);
  }
}

TEST(Defines, ParsesNameEqualsValue) {
  Result<std::pair<std::string, std::string>> d = ParseDefine("A.b-c_1=x=y");
  ASSERT_TRUE(d) << d.message();
  EXPECT_EQ(d->first, "A.b-c_1");
  EXPECT_EQ(d->second, "x=y");
  for (const char* bad : {"NOEQUALS", "=v", "1A=v", "A B=v"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseDefine(bad));
  }
  EXPECT_FALSE(ParseDefine(std::string(kMaxDefineNameBytes + 1, 'A') + "=v"));
}

TEST(Defines, EveryManifestStringIsExpandedAndAnErrorNamesItsLine) {
  Result<Manifest> m = ParseManifest(
      "title = \"Star ${VERSION}\"\nlicence = \"texts/${VERSION}/l.txt\"\n"
      "language = \"${LANG}\"\n[reserved]\ntexts = [\"${VERSION}\", \"\", \"\", \"\"]\n",
      "m.toml", "/p", [] {
        Defines d = Sample();
        d.values["LANG"] = "german";
        return d;
      }());
  ASSERT_TRUE(m) << m.message();
  EXPECT_EQ(*m->title, "Star 2.1");
  EXPECT_EQ(*m->licence, std::filesystem::path("/p/texts/2.1/l.txt"));
  EXPECT_EQ(*m->language, 3);
  EXPECT_EQ((*m->extension_texts)[0], "2.1");

  Result<Manifest> bad = ParseManifest("title = \"T\"\n\nversion = \"${BUILD}\"\n", "m.toml", "/p",
                                       Sample());
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.message(),
            "m.toml:3: 'version' uses ${BUILD}, which is not defined (give -D BUILD=VALUE)");
  EXPECT_EQ(bad.status().place().line, 3u);
}

using testing::LumipackCommand;
using testing::Outcome;

TEST_F(LumipackCommand, DefinesFromTheCommandLineAndTheEnvironment) {
  Write("m.toml", std::string(kBaseManifest) +
                      "version = \"${VERSION}\"\n"
                      "url = \"https://example.com/${env:LUMI_TEST_PAGE}\"\n");
  Outcome built = Lumipack("build m.toml -o out.exe -D VERSION=1.0 -DVERSION=2.5",
                           "LUMI_TEST_PAGE=stars");
  ASSERT_EQ(built.code, 0) << built.err;
  const nlohmann::json report = Inspect("out.exe");
  EXPECT_EQ(report.dump().find("${"), std::string::npos);
  EXPECT_NE(report.dump().find("\"2.5\""), std::string::npos) << report.dump();
  EXPECT_NE(report.dump().find("https://example.com/stars"), std::string::npos);

  Outcome missing = Lumipack("build m.toml -o missing.exe", "LUMI_TEST_PAGE=stars");
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("m.toml:6: 'version' uses ${VERSION}, which is not defined"),
            std::string::npos)
      << missing.err;
  EXPECT_FALSE(std::filesystem::exists(Path("missing.exe")));

  Outcome bad_name = Lumipack("build m.toml -o x.exe -D '1X=2'");
  EXPECT_EQ(bad_name.code, 2) << bad_name.err;
}

}  // namespace
}  // namespace lumipack
