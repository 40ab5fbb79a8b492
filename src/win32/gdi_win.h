#pragma once

#include "win32/scoped_handle_win.h"
#include "win32/windows_win.h"

namespace lumiset {

// Owners of GDI objects and device contexts, on the pattern of
// ScopedHandle.
template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteObject(h); }
};
using ScopedFont = ScopedHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = ScopedHandle<GdiObjectTraits<HBRUSH>>;
using ScopedBitmap = ScopedHandle<GdiObjectTraits<HBITMAP>>;

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DeleteDC(h); }
};
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;

// Selects an object into a device context for the scope's duration and
// selects the previous one back at its end.
class ScopedSelection {
 public:
  ScopedSelection(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
  ~ScopedSelection() {
    if (previous_) SelectObject(dc_, previous_);
  }
  ScopedSelection(const ScopedSelection&) = delete;
  ScopedSelection& operator=(const ScopedSelection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace lumiset
