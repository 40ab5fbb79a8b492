#include "ui/pages/licence_page_win.h"

#include "resource.h"

namespace lumiset {

LicencePage::LicencePage(HINSTANCE instance, SetupState& state, HWND parent)
    : CTextPage(instance, IDD_LICENCE, state, parent, state.LicenceText) {}

}  // namespace lumiset
