#include "ui/pages/completed_page_win.h"

#include "resource.h"

namespace lumiset {

CDialInstallDone::CDialInstallDone(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_INSTALL_DONE, state, parent) {}

}  // namespace lumiset
