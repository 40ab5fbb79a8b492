#include "result.h"

#include <gtest/gtest.h>

#include <string>

namespace lumipack {
namespace {

Result<int> Parsed(bool fail) {
  if (fail) return Status::Failure("bad number", Place{"m.toml", 3, 1, "version"});
  return 7;
}

TEST(Result, CarriesAValueOrTheFailureWithItsPlace) {
  const Result<int> good = Parsed(false);
  ASSERT_TRUE(good.ok());
  EXPECT_EQ(*good, 7);
  const Result<int> bad = Parsed(true);
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.message(), "bad number");
  EXPECT_EQ(bad.status().place().line, 3u);
  EXPECT_EQ(bad.status().place().key, "version");
}

// A step that reports success without a result is the code's fault: the
// author gets a failure that says so, never an empty message, and a value
// that is not there is never read.
TEST(Result, ASuccessWithoutAValueIsAFailureAndAMissingValueIsNeverRead) {
  const Result<std::string> empty = Status();
  EXPECT_FALSE(empty.ok());
  EXPECT_EQ(empty.message(), "internal error: a step succeeded without a result");
  EXPECT_DEATH((void)empty->size(), "");
  EXPECT_DEATH((void)*Parsed(true), "");
}

}  // namespace
}  // namespace lumipack
