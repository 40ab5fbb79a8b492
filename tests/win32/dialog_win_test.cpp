// The dialog layer and the page base against Wine's real windows: the
// modal run, the owner, the template language, centring, and the pass that
// strips style prefixes and expands placeholders in control texts.
#include "ui/dialog_win.h"
#include "win32/platform_win.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "dialog_driver_win.h"
#include "setup/placeholders.h"
#include "ui/wizard_page_win.h"

namespace lumiset {
namespace {

using testing::Driver;

constexpr int kProbeTemplate = 900;
constexpr wchar_t kProbeCaption[] = L"Probe";

PageLook ProbeState() {
  PageLook state;
  state.title = "Nova";
  state.placeholders.title = "Nova";
  state.placeholders.company = "Acme";
  state.language = kEnglish;
  return state;
}

// Opens the probe template and records what its controls hold once the
// dialog is initialised; ends at once unless told to stay open.
class ProbeDialog : public WizardPage {
 public:
  ProbeDialog(PageLook& state, bool stay_open = false, HWND parent = nullptr)
      : WizardPage(GetModuleHandleW(nullptr), kProbeTemplate, state, parent),
        stay_open_(stay_open) {}

  std::wstring caption;
  std::map<int, std::wstring> texts;
  std::map<int, bool> bold;
  RECT window{};

 protected:
  bool OnInitDialog() override {
    WizardPage::OnInitDialog();
    caption = WindowText(hwnd_);
    GetWindowRect(hwnd_, &window);
    for (int id = 100; id <= 113; ++id) {
      texts[id] = WindowText(Item(id));
      LOGFONTW font{};
      auto handle = reinterpret_cast<HFONT>(SendDlgItemMessageW(hwnd_, id, WM_GETFONT, 0, 0));
      bold[id] = GetObjectW(handle, sizeof font, &font) && font.lfWeight >= FW_BOLD;
    }
    if (!stay_open_) EndDialog(IDOK);
    return true;
  }

 private:
  bool stay_open_;
};

TEST(DialogTextPass, StylePrefixesNeverShowAndTheBoldOnesMakeBold) {
  PageLook state = ProbeState();
  ProbeDialog probe(state);
  ASSERT_EQ(probe.DoModal(), IDOK);

  struct Expected {
    int id;
    const wchar_t* text;
    bool bold;
  };
  const Expected expected[] = {
      {100, L"Bold heading", true},  {101, L"Heading", true},  {102, L"Subheading", true},
      {103, L"Banner", true},        {104, L"Small", false},   {105, L"Pound", false},
      {106, L"", true},              {107, L"@Twice", true},   {108, L"Plain text", false},
      {112, L"Nova!", true},         {113, L"&Install Nova", false},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.id);
    EXPECT_EQ(probe.texts[e.id], e.text);
    EXPECT_EQ(probe.bold[e.id], e.bold);
  }
}

TEST(DialogTextPass, PlaceholdersAreExpandedAndOtherLettersKept) {
  PageLook state = ProbeState();
  ProbeDialog probe(state);
  ASSERT_EQ(probe.DoModal(), IDOK);
  EXPECT_EQ(probe.texts[109], L"Setup for Nova by Acme");
  EXPECT_EQ(probe.texts[110], L"##UNKNOWN## and Nova");
  // Letters the ANSI code page lacks survive the expansion.
  EXPECT_EQ(probe.texts[111], L"\u0417\u0430\u0441\u0442\u0430\u0432\u043a\u0430 \u00abNova\u00bb");
}

TEST(DialogTextPass, PackageTextsReadInTheAnsiCodePageShowWhole) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page";
  PageLook state = ProbeState();
  // As the package stores it; the loader turns it into UTF-8.
  Win32Platform platform;
  state.placeholders.title = platform.AnsiToUtf8("Caf\xe9 \x80");
  ProbeDialog probe(state);
  ASSERT_EQ(probe.DoModal(), IDOK);
  EXPECT_EQ(probe.texts[112], L"Caf\u00e9 \u20ac!");
}

TEST(DialogTextPass, AnExpansionPastTheLimitLeavesTheTextAsItWas) {
  PageLook state = ProbeState();
  state.placeholders.title = std::string(kMaxExpandedText / 2 + 1, 'n');
  const std::wstring text = L"{ScrName}{ScrName}{ScrName}";
  EXPECT_EQ(ExpandPlaceholdersInWindowText(text, state), text);
}

TEST(DialogTemplate, TheLanguagesCopyIsUsedWhenPresentElseTheEnglishBase) {
  const struct {
    int32_t language;
    const wchar_t* caption;
  } cases[] = {
      {kEnglish, L"Probe"}, {kFrench, L"Probe (French)"}, {kGerman, L"Probe"},
      {0, L"Probe"},        {99, L"Probe"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    PageLook state = ProbeState();
    state.language = c.language;
    ProbeDialog probe(state);
    ASSERT_EQ(probe.DoModal(), IDOK);
    EXPECT_EQ(probe.caption, c.caption);
  }
}

TEST(DialogPlacement, TheDialogIsCentredInThePlacementRectangle) {
  PageLook state = ProbeState();
  state.placement = Rect{100, 50, 701, 550};
  ProbeDialog probe(state);
  ASSERT_EQ(probe.DoModal(), IDOK);
  const int width = probe.window.right - probe.window.left;
  const int height = probe.window.bottom - probe.window.top;
  EXPECT_EQ(probe.window.left, 100 + (601 - width) / 2);
  EXPECT_EQ(probe.window.top, 50 + (500 - height) / 2);

  // The same template placed by the system alone is one pixel smaller.
  PageLook unplaced = ProbeState();
  ProbeDialog plain(unplaced);
  ASSERT_EQ(plain.DoModal(), IDOK);
  EXPECT_EQ(plain.window.right - plain.window.left + 1, width);
  EXPECT_EQ(plain.window.bottom - plain.window.top + 1, height);
}

class ThrowingDialog : public WizardPage {
 public:
  ThrowingDialog(PageLook& state, bool throw_at_init)
      : WizardPage(GetModuleHandleW(nullptr), kProbeTemplate, state), throw_at_init_(throw_at_init) {}

 protected:
  bool OnInitDialog() override {
    WizardPage::OnInitDialog();
    if (throw_at_init_) throw std::runtime_error("init");
    return true;
  }
  bool OnCommand(int id, int code, HWND control) override {
    if (id == IDOK) throw std::runtime_error("command");
    return WizardPage::OnCommand(id, code, control);
  }

 private:
  bool throw_at_init_;
};

TEST(DialogModal, AHandlerThatThrowsEndsTheDialogAsFailed) {
  PageLook state = ProbeState();
  {
    ThrowingDialog dialog(state, /*throw_at_init=*/true);
    EXPECT_EQ(dialog.DoModal(), CDialog::kDialogFailed);
  }
  {
    Driver driver([](Driver& d) {
      if (HWND dialog = d.WaitForDialog(kProbeCaption)) testing::Press(dialog, IDOK);
    });
    ThrowingDialog dialog(state, /*throw_at_init=*/false);
    EXPECT_EQ(dialog.DoModal(), CDialog::kDialogFailed);
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
  }
  EXPECT_EQ(ToPageResult(CDialog::kDialogFailed), PageResult::Cancel);
}

TEST(DialogModal, AQuitRequestEndsTheDialogAsFailedNotAsOk) {
  const DWORD ui_thread = GetCurrentThreadId();
  Driver driver([ui_thread](Driver& d) {
    if (d.WaitForDialog(kProbeCaption)) PostThreadMessageW(ui_thread, WM_QUIT, 0, 0);
  });
  PageLook state = ProbeState();
  ProbeDialog probe(state, /*stay_open=*/true);
  EXPECT_EQ(probe.DoModal(), CDialog::kDialogFailed);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
  MSG message;
  EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
      << "the quit request was swallowed";
}

TEST(DialogModal, AMissingTemplateFailsWithoutShowingAnything) {
  PageLook state = ProbeState();
  WizardPage dialog(GetModuleHandleW(nullptr), 899, state);
  EXPECT_EQ(dialog.DoModal(), CDialog::kDialogFailed);
}

TEST(DialogModal, ADialogWithoutParentIsOwnedByTheThreadsMainWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"LumisetTestFrame";
  RegisterClassW(&wc);
  // Like the installer's frame: shown, unowned and out of sight.
  HWND frame = CreateWindowExW(0, wc.lpszClassName, L"Installation", WS_OVERLAPPEDWINDOW, -1000,
                               -1000, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(frame, nullptr);
  ShowWindow(frame, SW_SHOWNOACTIVATE);

  Driver driver([frame](Driver& d) {
    HWND dialog = d.WaitForDialog(kProbeCaption);
    if (!dialog) return;
    d.Expect(GetWindow(dialog, GW_OWNER) == frame, "the frame does not own the dialog");
    d.Expect(!IsWindowEnabled(frame), "the frame stays enabled under a modal dialog");
    testing::Press(dialog, IDCANCEL);
  });
  PageLook state = ProbeState();
  ProbeDialog probe(state, /*stay_open=*/true);
  EXPECT_EQ(probe.DoModal(), IDCANCEL);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
  EXPECT_TRUE(IsWindowEnabled(frame));
  DestroyWindow(frame);
}

}  // namespace
}  // namespace lumiset
