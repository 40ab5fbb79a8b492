#include "progress_bar.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lumipack {
namespace {

TEST(ProgressBar, DisabledDrawsNothing) {
  std::ostringstream out;
  {
    ProgressBar bar(out, false, "compressing x", 100);
    bar.Update(50);
    bar.Update(100);
  }
  EXPECT_EQ(out.str(), "");
}

TEST(ProgressBar, RedrawsOnlyWhenThePercentChangesAndEndsTheLine) {
  std::ostringstream out;
  {
    ProgressBar bar(out, true, "compressing x", 1000);
    bar.Update(1);  // still 0 %
    bar.Update(500);
    bar.Update(504);   // still 50 %
    bar.Update(5000);  // past the total: shown as 100 %
  }
  const std::string text = out.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3) << text;
  EXPECT_NE(text.find("compressing x [..............................] 0%"), std::string::npos)
      << text;
  EXPECT_NE(text.find("] 50%"), std::string::npos) << text;
  EXPECT_NE(text.find("[##############################] 100%\n"), std::string::npos) << text;
}

TEST(ProgressBar, EmptyTotalIsComplete) {
  std::ostringstream out;
  { ProgressBar bar(out, true, "x", 0); }
  EXPECT_EQ(out.str(), "\rx [##############################] 100%\n");
}

}  // namespace
}  // namespace lumipack
