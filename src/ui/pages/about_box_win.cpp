#include "ui/pages/about_box_win.h"

#include "resource.h"

namespace lumiset {

AboutBox::AboutBox(HINSTANCE instance, const PageLook& look, HWND parent)
    : WizardPage(instance, IDD_ABOUT, look, parent) {}

}  // namespace lumiset
