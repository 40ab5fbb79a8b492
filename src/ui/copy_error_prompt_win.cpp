#include "ui/copy_error_prompt_win.h"

#include "resource.h"

namespace lumiset {

CDialErrCopy::CDialErrCopy(HINSTANCE instance, SetupState& state, HWND parent)
    : CTvDialog(instance, IDD_COPY_ERROR, state, parent) {
  SetPicture(IDB_ERROR);
}

}  // namespace lumiset
