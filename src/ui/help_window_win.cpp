#include "ui/help_window_win.h"

#include <richedit.h>

#include <algorithm>
#include <optional>

#include "resource.h"
#include "ui/resource_bundle_win.h"

namespace lumiset {
namespace {

// The bundle of every language's help document (resources/pack_resources.py).
constexpr wchar_t kHelpBundleName[] = L"HELPDOCS";

// What is left of the bytes being streamed.
struct StreamState {
  std::span<const uint8_t> rest;
};

// Hands the rich edit control the next piece; a got count of 0 ends the
// stream.
DWORD CALLBACK ReadStreamPiece(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) noexcept {
  auto* state = reinterpret_cast<StreamState*>(cookie);
  const size_t n = wanted <= 0 ? 0 : std::min<size_t>(static_cast<size_t>(wanted), state->rest.size());
  std::copy_n(state->rest.begin(), n, buffer);
  state->rest = state->rest.subspan(n);
  *got = static_cast<LONG>(n);
  return 0;
}

}  // namespace

bool StreamIntoRichEdit(HWND control, UINT format, std::span<const uint8_t> bytes) {
  StreamState state{bytes};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&state);
  stream.pfnCallback = ReadStreamPiece;
  SendMessageW(control, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  SendMessageW(control, EM_SETMODIFY, TRUE, 0);
  return stream.dwError == 0;
}

HelpWindow::HelpWindow(HINSTANCE instance, const PageLook& look, HWND parent)
    : HelpWindow(instance, look, parent, IDR_HELP_DOCUMENT) {}

HelpWindow::HelpWindow(HINSTANCE instance, const PageLook& look, HWND parent,
                       int document_base_id)
    : WizardPage(instance, IDD_HELP, look, parent), document_base_id_(document_base_id) {}

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
  // Inflated only while the window loads: the control keeps its own copy.
  const std::optional<ResourceBundle> documents = LoadResourceBundle(instance(), kHelpBundleName);
  if (!documents) return;
  const std::span<const uint8_t> document =
      documents->FindLocalized(document_base_id_, look().language);
  if (!document.empty()) StreamIntoRichEdit(Item(IDC_HELP_TEXT), SF_RTF, document);
}

}  // namespace lumiset
