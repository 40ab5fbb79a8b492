#include "ui/pages/completed_page_win.h"

#include "resource.h"

namespace lumiset {

CompletedPage::CompletedPage(HINSTANCE instance, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_INSTALL_DONE, state, parent) {}

}  // namespace lumiset
