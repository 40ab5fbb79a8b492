#include "ui/pages/about_box_win.h"

#include "resource.h"

namespace lumiset {

CAboutDlg::CAboutDlg(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_ABOUT, state, parent) {}

}  // namespace lumiset
