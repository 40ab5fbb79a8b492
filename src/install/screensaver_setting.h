#pragma once

namespace lumiset {

// Where Windows keeps the user's screensaver: the installation makes its
// screensaver the active one there, the uninstallation takes it out again.
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";
inline constexpr char kScreenSaveActiveValue[] = "ScreenSaveActive";
inline constexpr char kScreensaverPathValue[] = "SCRNSAVE.EXE";

}  // namespace lumiset
