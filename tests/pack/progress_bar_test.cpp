#include "progress_bar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace lumipack {
namespace {

// The lines a terminal would show in turn: the text between carriage
// returns and line ends.
std::vector<std::string> Frames(const std::string& text) {
  std::vector<std::string> frames;
  std::string current;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      if (!current.empty()) frames.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) frames.push_back(current);
  return frames;
}

TEST(ProgressBar, DisabledDrawsNothing) {
  std::ostringstream out;
  {
    ProgressBar bar(out, false, 80);
    bar.Step("compressing x", 100, 0, 90);
    bar.Update(50);
    bar.Finish();
  }
  EXPECT_EQ(out.str(), "");
}

TEST(ProgressBar, RedrawsOnlyWhenThePercentChangesAndEndsTheLine) {
  std::ostringstream out;
  {
    ProgressBar bar(out, true, 80);
    bar.Step("compressing x", 1000, 0, 99);
    bar.Update(1);  // still 0 %
    bar.Update(500);
    bar.Update(504);   // still 49 %
    bar.Update(5000);  // past the total: the step's end, 99 %
  }
  const std::string text = out.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3) << text;
  EXPECT_NE(text.find("compressing x [..............................]   0%"), std::string::npos)
      << text;
  EXPECT_NE(text.find("]  49%"), std::string::npos) << text;
  EXPECT_NE(text.find("]  99%\n"), std::string::npos) << "a bar never finished ends its line";
}

TEST(ProgressBar, ShowsAHundredOnlyWhenFinished) {
  std::ostringstream out;
  ProgressBar bar(out, true, 80);
  bar.Step("compressing x", 10, 0, 90);
  bar.Update(10);
  bar.Step("writing x.exe", 0, 90, 99);  // an empty step is complete at once
  bar.Step("writing x.exe", 4, 90, 99);
  bar.Update(4);
  EXPECT_EQ(out.str().find("100%"), std::string::npos) << out.str();
  bar.Finish();
  EXPECT_NE(out.str().find("writing x.exe [##############################] 100%\n"),
            std::string::npos)
      << out.str();
}

TEST(ProgressBar, FitsTheTerminalAndBlanksWhatALongerLineLeft) {
  const std::string long_label = "compressing " + std::string(60, 'a') + "-starfield.scr";
  for (unsigned columns : {40u, 24u, 12u, 80u}) {
    SCOPED_TRACE(columns);
    std::ostringstream out;
    ProgressBar bar(out, true, columns);
    bar.Step(long_label, 100, 0, 90);
    bar.Update(50);
    bar.Step("writing x.exe", 100, 90, 99);
    bar.Finish();
    const std::vector<std::string> frames = Frames(out.str());
    ASSERT_FALSE(frames.empty());
    for (const std::string& frame : frames) {
      EXPECT_LT(frame.size(), columns) << "a line as wide as the terminal wraps: " << frame;
    }
    EXPECT_NE(frames.front().find("scr"), std::string::npos)
        << "a shortened label keeps its end, the file's name: " << frames.front();
    EXPECT_NE(frames.back().find("100%"), std::string::npos);
  }
  // A shorter label after a longer one: blanks cover the rest of the line.
  std::ostringstream out;
  ProgressBar bar(out, true, 80);
  bar.Step("compressing a-rather-long-name.scr", 1, 0, 90);
  bar.Step("signing", 1, 90, 99);
  const std::vector<std::string> frames = Frames(out.str());
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[1].size(), frames[0].size()) << out.str();
}

TEST(ProgressBar, CountsCharactersNotBytes) {
  std::ostringstream out;
  ProgressBar bar(out, true, 40);
  bar.Step("compressing звёзды-и-ещё-звёзды-и-снова.scr", 1, 0, 90);
  bar.Finish();
  for (const std::string& frame : Frames(out.str())) {
    size_t chars = 0;
    for (char c : frame) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_LT(chars, 40u) << frame;
    EXPECT_NE(frame.find("снова.scr"), std::string::npos) << frame;
  }
}

}  // namespace
}  // namespace lumipack
