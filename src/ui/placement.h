#pragma once

#include <cstddef>
#include <vector>

#include "base/rect.h"

namespace lumiset {

// At most this many monitors are considered.
inline constexpr size_t kMaxMonitors = 5;

// The rectangle dialogs are centred in: the first monitor (repeats removed)
// whose centre lies inside the desktop less a 10-pixel margin, else that
// shrunk desktop; the desktop itself when no monitor was enumerated.
Rect ChoosePlacementRect(const std::vector<Rect>& monitors, const Rect& desktop);

}  // namespace lumiset
