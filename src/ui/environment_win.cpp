#include "ui/environment_win.h"

#include <vector>

#include "win32/windows_win.h"
#include "ui/placement.h"

namespace lumiset {
namespace {

Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* list = reinterpret_cast<std::vector<Rect>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (list->size() < kMaxMonitors && GetMonitorInfoA(monitor, &info)) {
    list->push_back(ToRect(info.rcMonitor));
  }
  return TRUE;
}

Rect FindPlacementRect() {
  std::vector<Rect> monitors;
  if (HDC screen = GetDC(nullptr)) {
    EnumDisplayMonitors(screen, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    ReleaseDC(nullptr, screen);
  }
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  return ChoosePlacementRect(monitors, ToRect(desktop));
}

}  // namespace

bool IsVistaOrLater() {
  // GetVersionExA answers truthfully up to the version the manifest declares;
  // NT 6.0 is all this needs to know.
  OSVERSIONINFOEXA extended{};
  extended.dwOSVersionInfoSize = sizeof extended;
  auto* info = reinterpret_cast<OSVERSIONINFOA*>(&extended);
  if (!GetVersionExA(info)) {
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(info)) return false;
  }
  return info->dwPlatformId == VER_PLATFORM_WIN32_NT && info->dwMajorVersion >= 6;
}

namespace {

int ScreenDpiY() {
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  if (!dc) return 96;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(desktop, dc);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

DisplayFacts SettleDisplayFacts() {
  static const DisplayFacts facts{FindPlacementRect(), ScreenDpiY()};
  return facts;
}

}  // namespace lumiset
