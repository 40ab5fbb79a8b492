#pragma once

#include "base/rect.h"

namespace lumiset {

// Whether Windows is NT 6.0 (Vista) or later; asked once, before any window.
bool IsVistaOrLater();

// What the pages take from the display: where they are centred and the
// screen's vertical density.
struct DisplayFacts {
  Rect placement{};
  int32_t dpi_y = 96;
};

// Asks the display. That loads its driver, so a run asks only before its
// first window; later calls give the first answer. User-interface thread
// only.
DisplayFacts SettleDisplayFacts();

}  // namespace lumiset
