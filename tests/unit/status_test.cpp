// The small basics of the bottom layer: why an operation failed, and the
// text helpers every layer shares.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/status.h"
#include "base/text.h"

namespace lumiset {
namespace {

TEST(Status, SuccessAndFailureReadBack) {
  const Status ok;
  EXPECT_TRUE(ok.ok());
  EXPECT_EQ(ok.ToString(), "ok");
  EXPECT_EQ(ok.what(), "");
  EXPECT_EQ(ok.system_code(), 0u);

  struct Case {
    Status status;
    const char* text;
  };
  const Case cases[] = {
      {Status::Failure("delete", "C:\\a.scr", 5), "delete C:\\a.scr: error 5"},
      {Status::Failure("decode the damaged block for", "C:\\b", 0),
       "decode the damaged block for C:\\b"},
      {Status::Failure("read past the end of the data", "", 0), "read past the end of the data"},
      {Status::Failure("", "", 0), ""},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(c.status.ok()) << c.text << ": a failure is one even without a description";
    EXPECT_EQ(c.status.ToString(), c.text);
  }
}

TEST(Status, CopiesAreIndependentAndMovesCarryTheCause) {
  Status original = Status::Failure("write", "C:\\x", 32);
  Status copy = original;
  original = Status::Failure("open", "C:\\y", 2);
  EXPECT_EQ(copy.ToString(), "write C:\\x: error 32");
  EXPECT_EQ(original.ToString(), "open C:\\y: error 2");
  const Status& same = copy;
  copy = same;
  EXPECT_EQ(copy.path(), "C:\\x") << "assigned to itself, it keeps its cause";
  const Status moved = std::move(copy);
  EXPECT_EQ(moved.system_code(), 32u);
  copy = Status::Ok();
  EXPECT_TRUE(copy.ok());
}

TEST(StatusOr, HoldsAValueOrTheCause) {
  StatusOr<std::unique_ptr<int>> value = std::make_unique<int>(7);
  ASSERT_TRUE(value.ok());
  EXPECT_EQ(*value.value(), 7);
  std::unique_ptr<int> taken = std::move(value).value();
  EXPECT_EQ(*taken, 7);

  const StatusOr<std::unique_ptr<int>> failed = Status::Failure("open", "C:\\z", 3);
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.status().ToString(), "open C:\\z: error 3");
}

TEST(Text, LowerCaseBackslashAndReplacement) {
  EXPECT_EQ(AsciiLower("C:\\WINDOWS\\Sys\xC4"), "c:\\windows\\sys\xC4") << "only ASCII letters";
  EXPECT_EQ(WithBackslash(""), "\\");
  EXPECT_EQ(WithBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(WithBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(ReplaceAll("aXbXc", "X", "--"), "a--b--c");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba") << "left to right, no overlaps";
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc") << "nothing to find";
  EXPECT_EQ(ReplaceAll("vrtl0001.tmp", ".tmp", ".exe"), "vrtl0001.exe");
}

}  // namespace
}  // namespace lumiset
