#include "ui/pages/licence_page_win.h"

#include "resource.h"

namespace lumiset {

LicencePage::LicencePage(HINSTANCE instance, const PageLook& look, HWND parent)
    : CTextPage(instance, IDD_LICENCE, look, parent, {}) {}

}  // namespace lumiset
