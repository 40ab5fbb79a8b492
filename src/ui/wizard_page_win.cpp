#include "ui/wizard_page_win.h"

#include <optional>
#include <utility>
#include <vector>

#include "resource.h"
#include "setup/placeholders.h"
#include "ui/dialog_templates_win.h"
#include "ui/font_sizes.h"
#include "ui/look.h"
#include "ui/page_painter_win.h"

namespace lumiset {
namespace {

// The template of the page in the current language, or the English base
// when this build carries no copy for that language.
int ResolveTemplate(HINSTANCE instance, int base_id, int32_t language_index) {
  const int id = LocalizedId(base_id, language_index);
  return DialogTemplate(instance, id) ? id : base_id;
}

BOOL CALLBACK CollectDescendant(HWND hwnd, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(hwnd);
  return TRUE;
}

}  // namespace

PageResult ToPageResult(INT_PTR code) {
  if (code == static_cast<INT_PTR>(PageResult::Next)) return PageResult::Next;
  if (code == static_cast<INT_PTR>(PageResult::Back)) return PageResult::Back;
  return PageResult::Cancel;
}

bool IsStylePrefix(wchar_t c) {
  UiFont font;
  return PrefixUiFont(c, &font);
}

std::wstring ExpandPlaceholdersInWindowText(std::wstring_view text, const PageLook& look) {
  if (text.find(L'{') == std::wstring_view::npos) return std::wstring(text);
  std::wstring result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find(L'{', i);
    if (open == std::wstring_view::npos) {
      result.append(text.substr(i));
      break;
    }
    result.append(text.substr(i, open - i));
    // A name runs to the next "}" or to the end of the text.
    const size_t close = text.find(L'}', open + 1);
    const size_t end = close == std::wstring_view::npos ? text.size() : close + 1;
    std::string placeholder = WideToUtf8(text.substr(open, end - open));
    ExpandPlaceholders(placeholder, look.placeholders);
    result += Utf8ToWide(placeholder);
    if (result.size() > kMaxExpandedText) return std::wstring(text);
    i = end;
  }
  return result;
}

WizardPage::WizardPage(HINSTANCE instance, int base_template_id, const PageLook& look, HWND parent)
    : CDialog(instance, ResolveTemplate(instance, base_template_id, look.language), parent),
      look_(look) {}

INT_PTR WizardPage::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      CenterInPlacementRect();
      break;
    case WM_ERASEBKGND:
      if (PaintPageBackground(reinterpret_cast<HDC>(wparam))) return TRUE;
      break;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(
          ControlColor(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam), message));
    default:
      break;
  }
  return CDialog::OnMessage(message, wparam, lparam);
}

bool WizardPage::DoDataExchange(DataExchange direction) {
  if (direction == DataExchange::kLoad) {
    ApplyDialogFonts();
    // The themed look draws its own lines in place of the etched ones.
    if (look_.themed) {
      ShowItem(IDC_HEADER_SEPARATOR, false);
      ShowItem(IDC_BUTTON_SEPARATOR, false);
    }
    ShowPicture();
  }
  return true;
}

bool WizardPage::PaintPageBackground(HDC dc) {
  PaintPageBuffered(hwnd_, dc, look_, fonts());
  return true;
}

HBRUSH WizardPage::ControlColor(HDC dc, HWND control, UINT message) {
  return PageControlColor(hwnd_, dc, control, message, look_);
}

HFONT WizardPage::PrefixFont(wchar_t prefix) {
  UiFont font;
  return PrefixUiFont(prefix, &font) ? fonts().Get(font) : nullptr;
}

std::wstring WizardPage::LocalizedString(int base_id) const {
  for (int id : {LocalizedId(base_id, look_.language), base_id}) {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(instance(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    if (n > 0) return std::wstring(text, static_cast<size_t>(n));
  }
  return {};
}

void WizardPage::ShowItems(int id, bool show) const {
  std::vector<HWND> controls;
  EnumChildWindows(hwnd_, CollectDescendant, reinterpret_cast<LPARAM>(&controls));
  for (HWND control : controls) {
    if (GetDlgCtrlID(control) == id) ShowWindow(control, show ? SW_SHOW : SW_HIDE);
  }
}

void WizardPage::SetApplicationIcon() const {
  HICON icon = LoadIconW(instance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
  if (!icon) return;
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void WizardPage::CenterInPlacementRect() const {
  RECT window{};
  if (!GetWindowRect(hwnd_, &window)) return;
  const std::optional<Rect> placed = CenteredWindowRect(
      look_.placement, Rect{window.left, window.top, window.right, window.bottom});
  if (!placed) return;
  MoveWindow(hwnd_, placed->left, placed->top, placed->right - placed->left,
             placed->bottom - placed->top, FALSE);
}

void WizardPage::ApplyDialogFonts() {
  std::vector<HWND> controls;
  EnumChildWindows(hwnd_, CollectDescendant, reinterpret_cast<LPARAM>(&controls));
  if (HFONT dialog_font = fonts().Get(UiFont::kDialog)) {
    for (HWND control : controls) {
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(dialog_font), TRUE);
    }
  }
  for (HWND control : controls) RewriteControlText(control);
}

void WizardPage::ShowPicture() {
  if (!picture_id_) return;
  HWND control = Item(IDC_PICTURE);
  ScopedBitmap picture = ComposePagePicture(hwnd_, control, BitmapResource(instance(), picture_id_),
                                            look_, fonts());
  if (!picture) return;
  SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
  picture_ = std::move(picture);
}

void WizardPage::RewriteControlText(HWND control) {
  const std::wstring original = WindowText(control);
  std::wstring_view text = original;
  if (!text.empty() && IsStylePrefix(text.front())) {
    if (HFONT font = PrefixFont(text.front())) {
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    text.remove_prefix(1);
  }
  const std::wstring rewritten = ExpandPlaceholdersInWindowText(text, look_);
  if (rewritten != original) SetWindowTextW(control, rewritten.c_str());
}

}  // namespace lumiset
