#include "ui/pages/about_box_win.h"

#include "resource.h"

namespace lumiset {

AboutBox::AboutBox(HINSTANCE instance, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_ABOUT, state, parent) {}

}  // namespace lumiset
