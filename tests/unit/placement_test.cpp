#include "ui/placement.h"

#include <gtest/gtest.h>

namespace lumiset {
namespace {

const Rect kDesktop{0, 0, 1920, 1080};
const Rect kSecondary{1920, 0, 3200, 1024};
const Rect kLeft{-1280, 0, 0, 1024};

TEST(Placement, Cases) {
  struct Case {
    const char* name;
    std::vector<Rect> monitors;
    Rect expected;
  };
  const Case cases[] = {
      {"no monitor", {}, kDesktop},
      {"one monitor", {kDesktop}, kDesktop},
      {"mirrored pair counts once", {kDesktop, kDesktop}, kDesktop},
      {"secondary listed first is passed over", {kSecondary, kDesktop}, kDesktop},
      {"left secondary first", {kLeft, kDesktop}, kDesktop},
      {"no centre inside: shrunk desktop", {kSecondary, kLeft}, Rect{10, 0 + 10, 1910, 1070}},
      // Centre (5, 540) lies within 10 pixels of the left edge.
      {"centre in the margin", {Rect{-950, 0, 960, 1080}}, Rect{10, 10, 1910, 1070}},
      {"only five are considered",
       {kLeft, kLeft, kSecondary, kSecondary, kSecondary, kDesktop},
       Rect{10, 10, 1910, 1070}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChoosePlacementRect(c.monitors, kDesktop), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace lumiset
