#include "ui/placement.h"

#include <algorithm>

namespace lumiset {

Rect ChoosePlacementRect(const std::vector<Rect>& monitors, const Rect& desktop) {
  constexpr int32_t kMargin = 10;
  std::vector<Rect> list;
  const size_t considered = std::min(monitors.size(), kMaxMonitors);
  for (size_t i = 0; i < considered; ++i) {
    if (std::find(list.begin(), list.end(), monitors[i]) == list.end()) list.push_back(monitors[i]);
  }
  if (list.empty()) return desktop;
  const Rect inner{desktop.left + kMargin, desktop.top + kMargin, desktop.right - kMargin,
                   desktop.bottom - kMargin};
  for (const Rect& m : list) {
    const int64_t cx = (int64_t{m.left} + m.right) / 2;
    const int64_t cy = (int64_t{m.top} + m.bottom) / 2;
    // PtInRect: left and top edges inside, right and bottom outside.
    if (cx >= inner.left && cx < inner.right && cy >= inner.top && cy < inner.bottom) return m;
  }
  return inner;
}

}  // namespace lumiset
