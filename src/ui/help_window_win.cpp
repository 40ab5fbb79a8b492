#include "ui/help_window_win.h"

#include <richedit.h>

#include "resource.h"
#include "win32/scoped_handle_win.h"
#include "setup/work_files_win.h"

namespace lumiset {
namespace {

constexpr char kHelpResourceType[] = "RTF";
constexpr char kHelpResourceName[] = "HELP";

// Hands the rich edit control the next piece of the file; 0, or the
// system's error code, which ends the stream.
DWORD CALLBACK ReadStreamPiece(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) noexcept {
  *got = 0;
  if (wanted <= 0) return 0;
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(wanted), &read,
                nullptr)) {
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_READ_FAULT;
  }
  *got = static_cast<LONG>(read);
  return 0;
}

}  // namespace

bool StreamFileIntoRichEdit(HWND control, UINT format, const std::string& path) {
  ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(file.get());
  stream.pfnCallback = ReadStreamPiece;
  SendMessageW(control, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  SendMessageW(control, EM_SETMODIFY, TRUE, 0);
  return stream.dwError == 0;
}

HelpWindow::HelpWindow(HINSTANCE instance, Platform& p, SetupState& state, HWND parent)
    : WizardPage(instance, IDD_HELP, state, parent), platform_(p) {}

bool HelpWindow::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction != DataExchange::kLoad) return true;
  SetApplicationIcon();
  LoadHelpText();
  SetFocus(Item(IDC_HELP_TEXT));
  return true;
}

bool HelpWindow::OnInitDialog() {
  WizardPage::OnInitDialog();
  // The focus stays on the help text, where the data exchange put it.
  return false;
}

void HelpWindow::LoadHelpText() const {
  std::string path;
  if (!ExtractResourceToWorkFile(platform_, state().WorkFolder, kHelpResourceType,
                                 kHelpResourceName, &path)) {
    // A partly written file is left to the work folder's clean-up at exit.
    return;
  }
  StreamFileIntoRichEdit(Item(IDC_HELP_TEXT), SF_RTF, path);
  platform_.RemoveFile(path).IgnoreError();
}

}  // namespace lumiset
