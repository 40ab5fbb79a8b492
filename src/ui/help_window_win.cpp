#include "ui/help_window_win.h"

#include <richedit.h>

#include "resource.h"
#include <algorithm>

namespace lumiset {
namespace {

constexpr wchar_t kHelpResourceType[] = L"RTF";
constexpr wchar_t kHelpResourceName[] = L"HELP";

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

// The bytes of a resource of this program; empty when it is missing.
std::span<const uint8_t> ResourceBytes(HINSTANCE instance, const wchar_t* type,
                                       const wchar_t* name) {
  HRSRC found = FindResourceW(instance, name, type);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return {};
  return {bytes, SizeofResource(instance, found)};
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
    : WizardPage(instance, IDD_HELP, look, parent) {}

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
  const std::span<const uint8_t> document =
      ResourceBytes(instance(), kHelpResourceType, kHelpResourceName);
  if (!document.empty()) StreamIntoRichEdit(Item(IDC_HELP_TEXT), SF_RTF, document);
}

}  // namespace lumiset
