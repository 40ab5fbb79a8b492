#include "ui/pages/welcome_page_win.h"

#include "resource.h"
#include "ui/pages/exit_confirmation_win.h"

namespace lumiset {
namespace {

// The maker's web address, shown after the credit text.
constexpr wchar_t kMakerWebAddress[] = L"lumiset.org";
// Height of the credit line above the button separator, in pixels at 96 dpi.
constexpr int kCreditLineHeight = 15;
constexpr int kCreditLineMargin = 8;

// The credit wording of a language; Portuguese shows the Italian one.
const wchar_t* CreditText(int32_t language_index) {
  switch (language_index) {
    case kFrench: return L"Cr\u00e9\u00e9 avec Tolvane Vistrel";
    case kGerman: return L"Erstellt mit Tolvane Vistrel";
    case kSpanish: return L"Creado con Tolvane Vistrel";
    case kItalian:
    case kPortuguese: return L"Creato con Tolvane Vistrel";
    case kDutch: return L"Gemaakt met Tolvane Vistrel";
    case kRussian:
      return L"\u0418\u0437\u0433\u043e\u0442\u043e\u0432\u043b\u0435\u043d\u043e \u0441 "
             L"\u043f\u043e\u043c\u043e\u0449\u044c\u044e \u043f\u0440\u043e\u0433\u0440\u0430"
             L"\u043c\u043c\u044b Tolvane Vistrel";
    default: return L"Powered by Tolvane Vistrel";
  }
}

struct OptionBox {
  int id;
  bool SetupChoices::*flag;
};
constexpr OptionBox kOptionBoxes[] = {
    {IDC_SET_AS_DEFAULT, &SetupChoices::set_as_default},
    {IDC_START_MENU_ENTRY, &SetupChoices::start_menu_entry},
    {IDC_OPEN_DISPLAY_PROPERTIES, &SetupChoices::open_display_properties},
    {IDC_DESKTOP_ICON, &SetupChoices::desktop_icon},
};
// What ShowSetupOptions 0 hides: the options' heading, frame and boxes.
constexpr int kOptionControls[] = {IDC_OPTIONS_HEADING, IDC_OPTIONS_GROUP,
                                   IDC_SET_AS_DEFAULT,  IDC_START_MENU_ENTRY,
                                   IDC_OPEN_DISPLAY_PROPERTIES, IDC_DESKTOP_ICON};

}  // namespace

WelcomePage::WelcomePage(HINSTANCE instance, const PageLook& look, bool show_options,
                         HWND parent)
    : WizardPage(instance, IDD_WELCOME, look, parent), show_options_(show_options) {}

bool WelcomePage::DoDataExchange(DataExchange direction) {
  WizardPage::DoDataExchange(direction);
  if (direction == DataExchange::kSave) {
    for (const OptionBox& box : kOptionBoxes) {
      choices_.*box.flag = IsDlgButtonChecked(hwnd_, box.id) == BST_CHECKED;
    }
    return true;
  }
  for (const OptionBox& box : kOptionBoxes) {
    CheckDlgButton(hwnd_, box.id, choices_.*box.flag ? BST_CHECKED : BST_UNCHECKED);
  }
  SetApplicationIcon();
  if (!show_options_) {
    for (int id : kOptionControls) ShowItem(id, false);
  }
  return true;
}

bool WelcomePage::OnInitDialog() {
  WizardPage::OnInitDialog();
  CreateCreditLine();
  SetFocus(Item(IDOK));
  return false;
}

void WelcomePage::OnCancel() {
  if (ConfirmExitSetup(instance(), look(), hwnd_)) EndDialog(IDCANCEL);
}

// A right-aligned line just above the button separator, as wide as the
// page less a margin on each side.
void WelcomePage::CreateCreditLine() const {
  HWND separator = Item(IDC_BUTTON_SEPARATOR);
  RECT client{};
  RECT line{};
  if (!separator || !GetClientRect(hwnd_, &client) || !GetWindowRect(separator, &line)) return;
  MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&line), 2);
  const int top = line.bottom - MulDiv(kCreditLineHeight, look().dpi_y, 96);
  const int bottom = line.top - 1;
  std::wstring text = CreditText(look().language);
  text += L" - ";
  text += kMakerWebAddress;
  HWND credit = CreateWindowExW(
      0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_RIGHT | SS_NOPREFIX,
      client.left + kCreditLineMargin, top, client.right - client.left - 2 * kCreditLineMargin,
      bottom - top, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CREDIT_LINE)),
      instance(), nullptr);
  if (credit) {
    SendMessageW(credit, WM_SETFONT, reinterpret_cast<WPARAM>(fonts().Get(UiFont::kSmall)), FALSE);
  }
}

}  // namespace lumiset
