// The wizard pages from the English templates, driven by control id: their
// texts, the result each button gives, the welcome page's options and the
// read-only licence text.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resource.h"
#include "ui/wizard_ui_win.h"
#include "dialog_driver_win.h"
#include "ui/copy_error_prompt_win.h"
#include "support/fake_platform.h"
#include "ui/pages/information_page_win.h"
#include "ui/pages/completed_page_win.h"
#include "ui/pages/error_page_win.h"
#include "ui/pages/interrupted_page_win.h"
#include "ui/pages/licence_page_win.h"
#include "ui/pages/exit_confirmation_win.h"
#include "ui/pages/existing_copy_page_win.h"
#include "ui/pages/welcome_page_win.h"

namespace lumiset {
namespace {

using testing::Driver;
using testing::IsChecked;
using testing::Press;
using testing::SetCheck;

constexpr wchar_t kWelcomeCaption[] = L"Screensaver Installation - Welcome";
constexpr wchar_t kExitCaption[] = L"Exit Setup";
constexpr wchar_t kLicenceCaption[] = L"Screensaver Installation - User License Agreement";
// The driver's stand-in for the close box.
constexpr int kCloseBox = -1;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

PageLook PageState() {
  PageLook state;
  state.title = "Nova";
  state.placeholders.title = "Nova";
  state.placeholders.company = "Acme";
  state.language = kEnglish;
  state.placement = Rect{0, 0, 1024, 768};
  return state;
}

void Answer(HWND dialog, int button) {
  if (button == kCloseBox) PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  else Press(dialog, button);
}

// Whether a control is set to show, also while its page is still being
// initialised and not yet on screen.
bool IsShown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

bool StartsWithStylePrefix(const std::wstring& text) {
  return !text.empty() && IsStylePrefix(text.front());
}

struct PageCase {
  const char* name;
  std::function<std::unique_ptr<CDialog>(const PageLook&)> make;
  const wchar_t* caption;
  std::vector<std::pair<int, const wchar_t*>> texts;
  int button;
  PageResult result;
};

// A page made from the look and whatever else its constructor takes.
template <typename Page, typename... More>
std::function<std::unique_ptr<CDialog>(const PageLook&)> Make(More... more) {
  return [=](const PageLook& look) { return std::make_unique<Page>(Instance(), look, more...); };
}

TEST(WizardPages, EachPageShowsItsTextsAndEndsWithItsButtonsResult) {
  const wchar_t* const kDone = L"Screensaver Installation - Installation Successfully Completed";
  const wchar_t* const kError = L"Screensaver Installation - Error during installation";
  const wchar_t* const kInterrupted = L"Screensaver Installation - Installation Interrupted by User";
  const wchar_t* const kExisting = L"Screensaver Installation - Existing Screensaver Detected";
  const wchar_t* const kInformation = L"Screensaver Installation - Information";
  const wchar_t* const kCopyError = L"File Copy Error";
  const std::vector<std::pair<int, const wchar_t*>> done_texts = {
      {IDC_FINAL_HEADING, L"Installation Successfully Completed!"}, {IDOK, L"&Finish"}};
  const std::vector<std::pair<int, const wchar_t*>> error_texts = {
      {IDC_FINAL_HEADING, L"Error During Installation!"},
      {IDC_DETAIL, L"Sorry! Setup encountered error(s) during \"Nova\" screensaver installation."},
      {IDC_ERRORS_HEADING, L"Frequently Encountered Errors"},
      {IDC_BACK, L"< Back"},
      {IDOK, L"Finish"}};
  const std::vector<std::pair<int, const wchar_t*>> damaged_texts = {
      {IDC_FINAL_HEADING, L"Error During Installation!"},
      {IDC_DETAIL, L"This installer is damaged or incomplete. Please download it again."},
      {IDOK, L"Finish"}};
  const std::vector<std::pair<int, const wchar_t*>> interrupted_texts = {
      {IDC_FINAL_HEADING, L"Installation Interrupted by User!"},
      {IDC_DETAIL,
       L"You have chosen to stop the installation process. The screensaver was not installed, "
       L"and nothing on your computer has been changed."},
      {IDC_BACK, L"< Back"}};
  const std::vector<std::pair<int, const wchar_t*>> interrupted_earlier_texts = {
      {IDC_DETAIL,
       L"You have chosen to stop the installation process. The new version was not installed; "
       L"the screensaver installed earlier is unchanged and still works."}};
  const std::vector<std::pair<int, const wchar_t*>> existing_texts = {
      {IDC_EXISTING_HEADING, L"Existing Screensaver Detected!"},
      {IDC_EXISTING_TEXT,
       L"Setup has detected that a Screensaver named \"Nova\" already exists on your computer. "
       L"If you proceed with installation, the previously installed Screensaver will be "
       L"overwritten. "},
      {IDC_UNINSTALL, L"&Uninstall the Screensaver..."},
      {IDOK, L"&Next >"},
      {IDCANCEL, L"Cancel"}};
  const std::vector<std::pair<int, const wchar_t*>> exit_texts = {{IDOK, L"&Resume"},
                                                                  {IDCANCEL, L"E&xit Setup"}};
  const std::vector<std::pair<int, const wchar_t*>> copy_error_texts = {
      {IDC_HEADING,
       L"Setup has detected a read/write error while copying the installation files."},
      {IDC_ERROR_REASON, L"C:\\Windows\\System32\\nova.scr\r\nin use"},
      {IDOK, L"&Retry"},
      {IDCANCEL, L"&Abort Setup"}};
  const std::vector<std::pair<int, const wchar_t*>> licence_texts = {
      {IDC_BACK, L"< &Previous"}, {IDOK, L"&Yes >"}, {IDCANCEL, L"No"}};
  const std::vector<std::pair<int, const wchar_t*>> information_texts = {
      {IDC_HEADING, L"Important Information"}, {IDC_BACK, L"< &Previous"}, {IDOK, L"&Next >"}};

  const PageCase cases[] = {
      {"done/finish", Make<CompletedPage>(false), kDone, done_texts, IDOK, PageResult::Next},
      {"done/close", Make<CompletedPage>(false), kDone, done_texts, kCloseBox,
       PageResult::Cancel},
      {"error/back", Make<ErrorPage>(false), kError, error_texts, IDC_BACK, PageResult::Back},
      {"error/finish", Make<ErrorPage>(false), kError, error_texts, IDOK, PageResult::Next},
      {"error/escape", Make<ErrorPage>(false), kError, error_texts, IDCANCEL,
       PageResult::Cancel},
      // A damaged installer offers no second try: Back does nothing.
      {"damaged/finish", Make<ErrorPage>(true), kError, damaged_texts, IDOK, PageResult::Next},
      {"interrupted/back", Make<InterruptedPage>(false), kInterrupted, interrupted_texts,
       IDC_BACK, PageResult::Back},
      {"interrupted/finish", Make<InterruptedPage>(false), kInterrupted, interrupted_texts,
       IDOK, PageResult::Next},
      {"interrupted over an earlier copy", Make<InterruptedPage>(true), kInterrupted,
       interrupted_earlier_texts, IDOK, PageResult::Next},
      {"existing/next", Make<ExistingCopyPage>(), kExisting, existing_texts, IDOK,
       PageResult::Next},
      {"existing/cancel", Make<ExistingCopyPage>(), kExisting, existing_texts, IDCANCEL,
       PageResult::Cancel},
      {"exit/resume", Make<ExitConfirmation>(), kExitCaption, exit_texts, IDOK, PageResult::Next},
      {"exit/exit", Make<ExitConfirmation>(), kExitCaption, exit_texts, IDCANCEL, PageResult::Cancel},
      {"exit/close", Make<ExitConfirmation>(), kExitCaption, exit_texts, kCloseBox, PageResult::Cancel},
      {"copy error/retry",
       Make<CopyErrorPrompt>(std::string("C:\\Windows\\System32\\nova.scr\nin use")),
       kCopyError, copy_error_texts, IDOK, PageResult::Next},
      {"copy error/abort",
       Make<CopyErrorPrompt>(std::string("C:\\Windows\\System32\\nova.scr\nin use")),
       kCopyError, copy_error_texts, IDCANCEL, PageResult::Cancel},
      {"licence/yes", Make<LicencePage>(), kLicenceCaption, licence_texts, IDOK,
       PageResult::Next},
      {"licence/previous", Make<LicencePage>(), kLicenceCaption, licence_texts, IDC_BACK,
       PageResult::Back},
      // No ends the licence page at once, without the exit confirmation.
      {"licence/no", Make<LicencePage>(), kLicenceCaption, licence_texts, IDCANCEL,
       PageResult::Cancel},
      {"information/next", Make<InformationPage>(), kInformation, information_texts, IDOK,
       PageResult::Next},
      {"information/previous", Make<InformationPage>(), kInformation, information_texts, IDC_BACK,
       PageResult::Back},
  };
  for (const PageCase& c : cases) {
    SCOPED_TRACE(c.name);
    PageLook state = PageState();
    Driver driver([&c](Driver& d) {
      HWND page = d.WaitForDialog(c.caption);
      if (!page) return;
      for (const auto& [id, text] : c.texts) {
        d.Expect(WindowText(GetDlgItem(page, id)) == text,
                 "control " + std::to_string(id) + " reads \"" +
                     WideToUtf8(WindowText(GetDlgItem(page, id))) + "\"");
      }
      for (const std::wstring& text : testing::ControlTexts(page)) {
        d.Expect(!StartsWithStylePrefix(text), "a style prefix shows: " + WideToUtf8(text));
        d.Expect(text.find(L'{') == std::wstring::npos,
                 "a placeholder is left: " + WideToUtf8(text));
      }
      Answer(page, c.button);
    });
    std::unique_ptr<CDialog> page = c.make(state);
    const PageResult result = ToPageResult(page->DoModal());
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
    EXPECT_EQ(result, c.result);
  }
}

// What each final page shows depends on what happened: the damaged
// installer's page hides the usual causes and Back, the completed page
// tells of a policy only when there is one.
TEST(WizardPages, FinalPagesShowWhatHappened) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<CDialog>(const PageLook&)> make;
    const wchar_t* caption;
    std::vector<std::pair<int, bool>> shown;
  };
  const Case cases[] = {
      {"failed", Make<ErrorPage>(false), L"Screensaver Installation - Error during installation",
       {{IDC_ERRORS_HINT, true}, {IDC_ERRORS_HEADING, true}, {IDC_BACK, true}}},
      {"damaged", Make<ErrorPage>(true), L"Screensaver Installation - Error during installation",
       {{IDC_ERRORS_HINT, false}, {IDC_ERRORS_HEADING, false}, {IDC_BACK, false}}},
      {"completed", Make<CompletedPage>(false),
       L"Screensaver Installation - Installation Successfully Completed",
       {{IDC_POLICY_NOTE, false}}},
      {"completed under a policy", Make<CompletedPage>(true),
       L"Screensaver Installation - Installation Successfully Completed",
       {{IDC_POLICY_NOTE, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageLook state = PageState();
    Driver driver([&c](Driver& d) {
      HWND page = d.WaitForDialog(c.caption);
      if (!page) return;
      for (const auto& [id, shown] : c.shown) {
        d.Expect(IsShown(GetDlgItem(page, id)) == shown,
                 "control " + std::to_string(id) + (shown ? " is hidden" : " shows"));
      }
      Answer(page, IDOK);
    });
    std::unique_ptr<CDialog> page = c.make(state);
    page->DoModal();
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
  }
}

TEST(WizardPages, ExistingCopyPageReportsTheChoice) {
  const struct {
    int button;
    ExistingCopyChoice choice;
  } cases[] = {
      {IDC_UNINSTALL, ExistingCopyChoice::kUninstall},
      {IDOK, ExistingCopyChoice::kInstall},
      {IDCANCEL, ExistingCopyChoice::kCancel},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    PageLook state = PageState();
    Driver driver([&c](Driver& d) {
      if (HWND page = d.WaitForDialog(L"Screensaver Installation - Existing Screensaver Detected")) {
        Answer(page, c.button);
      }
    });
    EXPECT_EQ(ShowExistingCopyPage(Instance(), state), c.choice);
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
  }
}

// The four option boxes in the order of SetupChoices.
constexpr int kOptionIds[] = {IDC_SET_AS_DEFAULT, IDC_START_MENU_ENTRY,
                              IDC_OPEN_DISPLAY_PROPERTIES, IDC_DESKTOP_ICON};

std::vector<bool> Checks(HWND page) {
  std::vector<bool> checks;
  for (int id : kOptionIds) checks.push_back(IsChecked(page, id));
  return checks;
}

bool operator==(const SetupChoices& a, const SetupChoices& b) {
  return a.set_as_default == b.set_as_default && a.start_menu_entry == b.start_menu_entry &&
         a.open_display_properties == b.open_display_properties &&
         a.desktop_icon == b.desktop_icon;
}

class WelcomePageTest : public ::testing::Test {
 protected:
  WelcomePageTest() { package_.defaults.show_setup_options = true; }

  PageLook state_ = PageState();
  testing::FakePlatform platform_;
  RunOptions options_;
  PackageInfo package_;
  MachineFacts facts_;
  Win32WizardUi ui_{Instance(), platform_, [this]() -> const PageLook& { return state_; },
                    options_, package_, facts_};
};

TEST_F(WelcomePageTest, OptionsComeBackOnNextAfterAResumedCancel) {
  Driver driver([](Driver& d) {
    HWND page = d.WaitForDialog(kWelcomeCaption);
    if (!page) return;
    d.Expect(Checks(page) == std::vector<bool>{true, false, false, true},
             "the boxes do not show the options");
    SetCheck(page, IDC_SET_AS_DEFAULT, false);
    SetCheck(page, IDC_START_MENU_ENTRY, true);
    Press(page, IDCANCEL);
    HWND exit = d.WaitForDialog(kExitCaption);
    if (!exit) return;
    d.Expect(GetWindow(exit, GW_OWNER) == page, "the confirmation is not modal to the page");
    Press(exit, IDOK);
    if (!d.WaitForClose(exit)) return;
    d.Expect(IsWindow(page) != FALSE, "Resume closed the welcome page");
    d.Expect(Checks(page) == std::vector<bool>{false, true, false, true},
             "Resume changed the boxes");
    Press(page, IDOK);
  });
  SetupChoices options{true, false, false, true};
  EXPECT_EQ(ui_.ShowWelcome(options), PageResult::Next);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
  EXPECT_TRUE((options == SetupChoices{false, true, false, true}));
}

TEST_F(WelcomePageTest, OptionsStayAsTheyWereWhenTheUserExits) {
  Driver driver([](Driver& d) {
    HWND page = d.WaitForDialog(kWelcomeCaption);
    if (!page) return;
    SetCheck(page, IDC_OPEN_DISPLAY_PROPERTIES, true);
    Press(page, IDCANCEL);
    if (HWND exit = d.WaitForDialog(kExitCaption)) Press(exit, IDCANCEL);
  });
  SetupChoices options{true, false, false, true};
  EXPECT_EQ(ui_.ShowWelcome(options), PageResult::Cancel);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
  EXPECT_TRUE((options == SetupChoices{true, false, false, true}));
}

TEST(WelcomePage, HiddenSetupOptionsStillTravelBackUnchanged) {
  PageLook look = PageState();
  testing::FakePlatform platform;
  RunOptions options_in;
  PackageInfo package;
  MachineFacts facts;
  Win32WizardUi ui(Instance(), platform, [&]() -> const PageLook& { return look; }, options_in,
                   package, facts);
  Driver driver([](Driver& d) {
    HWND page = d.WaitForDialog(kWelcomeCaption);
    if (!page) return;
    for (int id : {IDC_OPTIONS_HEADING, IDC_OPTIONS_GROUP, IDC_SET_AS_DEFAULT,
                   IDC_START_MENU_ENTRY, IDC_OPEN_DISPLAY_PROPERTIES, IDC_DESKTOP_ICON}) {
      d.Expect(!IsShown(GetDlgItem(page, id)), "control " + std::to_string(id) + " shows");
    }
    d.Expect(IsShown(GetDlgItem(page, IDC_INTRO)), "the introduction is hidden");
    Press(page, IDOK);
  });
  SetupChoices options{false, true, true, false};
  EXPECT_EQ(ui.ShowWelcome(options), PageResult::Next);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
  EXPECT_TRUE((options == SetupChoices{false, true, true, false}));
}

TEST_F(WelcomePageTest, TheCreditLineSpeaksThePackagesLanguage) {
  // Made once, in English, before the language changes below.
  SetupChoices made;
  Driver make([](Driver& d) {
    if (HWND page = d.WaitForDialog(kWelcomeCaption)) Press(page, IDOK);
  });
  ui_.ShowWelcome(made);
  make.Join();
  const struct {
    int32_t language;
    const wchar_t* credit;
  } cases[] = {
      {kEnglish, L"Powered by Tolvane Vistrel"},
      {kFrench, L"Cr\u00e9\u00e9 avec Tolvane Vistrel"},
      {kItalian, L"Creato con Tolvane Vistrel"},
      {kPortuguese, L"Creato con Tolvane Vistrel"},
      {kRussian, L"\u0418\u0437\u0433\u043e\u0442\u043e\u0432\u043b\u0435\u043d\u043e"},
      {42, L"Powered by Tolvane Vistrel"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    // The page was made in English; its credit line follows the language
    // of the look as the page opens.
    state_.language = c.language;
    std::wstring credit;
    Driver driver([&credit](Driver& d) {
      HWND page = d.WaitForDialog(kWelcomeCaption);
      if (!page) return;
      credit = WindowText(GetDlgItem(page, IDC_CREDIT_LINE));
      Press(page, IDOK);
    });
    SetupChoices options;
    ui_.ShowWelcome(options);
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
    EXPECT_EQ(credit.rfind(c.credit, 0), 0u) << WideToUtf8(credit);
  }
}

TEST(LicencePage, TheTextOpensAtItsFirstLineAndCannotBeChanged) {
  PageLook state = PageState();
  std::string rest;
  for (int i = 3; i <= 200; ++i) rest += "\r\nLine " + std::to_string(i);
  // A lone line feed breaks the line too.
  const std::string text = "First\nSecond" + rest;
  const std::wstring shown = AnsiToWide("First\r\nSecond" + rest);

  Driver driver([&shown](Driver& d) {
    HWND page = d.WaitForDialog(kLicenceCaption);
    if (!page) return;
    HWND edit = GetDlgItem(page, IDC_PAGE_TEXT);
    d.Expect(WindowText(edit) == shown, "the text is not shown with its line breaks");
    d.Expect(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0) == 0, "not at the first line");
    DWORD start = 1;
    DWORD end = 1;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    d.Expect(start == 0 && end == 0, "the text opens with a selection");

    SendMessageW(edit, EM_SETSEL, 0, 5);
    const std::pair<UINT, WPARAM> edits[] = {
        {WM_CHAR, 'x'},          {WM_CHAR, VK_BACK}, {WM_CHAR, 0x16 /* Ctrl+V */},
        {WM_KEYDOWN, VK_DELETE}, {WM_KEYDOWN, 'X'},  {WM_CUT, 0},
        {WM_CLEAR, 0},           {WM_PASTE, 0},      {WM_UNDO, 0},
    };
    for (const auto& [message, wparam] : edits) SendMessageW(edit, message, wparam, 0);
    d.Expect(WindowText(edit) == shown, "the licence text was changed");

    PostMessageW(edit, WM_KEYDOWN, VK_NEXT, 0);
    d.Expect(testing::WaitUntil(
                 [&] { return SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0) > 0; }),
             "Page Down does not scroll the text");
    Press(page, IDOK);
  });
  LicencePage page(Instance(), state);
  page.set_text(text);
  EXPECT_EQ(ToPageResult(page.DoModal()), PageResult::Next);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
}

TEST(InformationPage, CancelAsksFirstAndResumeKeepsThePageOpen) {
  PageLook state = PageState();
  Driver driver([](Driver& d) {
    HWND page = d.WaitForDialog(L"Screensaver Installation - Information");
    if (!page) return;
    d.Expect(WindowText(GetDlgItem(page, IDC_PAGE_TEXT)) == L"Read me", "the text is missing");
    Press(page, IDCANCEL);
    HWND exit = d.WaitForDialog(kExitCaption);
    if (!exit) return;
    Press(exit, IDOK);
    if (!d.WaitForClose(exit)) return;
    d.Expect(IsWindow(page) != FALSE, "Resume closed the page");
    Press(page, IDCANCEL);
    if (HWND again = d.WaitForDialog(kExitCaption)) Press(again, IDCANCEL);
  });
  InformationPage page(Instance(), state);
  page.set_text("Read me");
  EXPECT_EQ(ToPageResult(page.DoModal()), PageResult::Cancel);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
}

}  // namespace
}  // namespace lumiset
