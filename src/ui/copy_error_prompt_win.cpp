#include "ui/copy_error_prompt_win.h"

#include "resource.h"

namespace lumiset {

CopyErrorPrompt::CopyErrorPrompt(HINSTANCE instance, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_COPY_ERROR, state, parent) {
  SetPicture(IDB_ERROR);
}

}  // namespace lumiset
