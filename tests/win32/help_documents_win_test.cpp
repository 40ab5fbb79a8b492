// The command-line help in every language, shown by the help window from
// this binary's resources (the stub's help_documents.rc): each language
// gets its own document, which keeps the English one's table and examples,
// names every switch in a row of its own, lines its columns up, and keeps
// every letter (none lost to a code page); a language without a document
// shows the English one.
#include <gtest/gtest.h>
#include <richedit.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "resource.h"
#include "rich_edit_win.h"
#include "base/language.h"
#include "ui/help_window_win.h"
#include "ui/page_look.h"
#include "win32/text_win.h"

namespace lumiset {
namespace {

// The probe documents of look_test.rc: English and French, no German.
constexpr int kProbeDocument = 900;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

PageLook LookIn(int32_t language) {
  PageLook look;
  look.title = "Nova";
  look.placeholders.title = "Nova";
  look.language = language;
  look.placement = Rect{0, 0, 1024, 768};
  return look;
}

// Opens the help window in `language` over the documents at
// `document_base_id`, runs `inspect` on its rich edit control, and closes it.
void InspectHelp(int32_t language, int document_base_id, const std::function<void(HWND)>& inspect) {
  class Inspected : public HelpWindow {
   public:
    Inspected(const PageLook& look, int document_base_id, const std::function<void(HWND)>& inspect)
        : HelpWindow(Instance(), look, nullptr, document_base_id), inspect_(inspect) {}

   protected:
    bool OnInitDialog() override {
      HelpWindow::OnInitDialog();
      inspect_(Item(IDC_HELP_TEXT));
      EndDialog(IDOK);
      return false;
    }

   private:
    const std::function<void(HWND)>& inspect_;
  };
  const PageLook look = LookIn(language);
  Inspected help(look, document_base_id, inspect);
  ASSERT_EQ(help.DoModal(), IDOK);
}

// The control's whole text as UTF-16, whatever the system's code page.
std::wstring TextOf(HWND edit) {
  GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT n =
      SendMessageW(edit, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  GETTEXTEX get{};
  get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  get.flags = GT_DEFAULT;
  get.codepage = 1200;  // UTF-16
  const LRESULT got = SendMessageW(edit, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got < 0 ? 0 : got));
  return text;
}

// The text's paragraphs, whichever of CR, LF or CR LF ends them.
std::vector<std::wstring> LinesOf(std::wstring_view text) {
  std::vector<std::wstring> lines;
  std::wstring line;
  for (wchar_t c : text) {
    if (c == L'\r' || c == L'\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Where `text` starts in the control; -1 when it is not there.
LONG FindText(HWND edit, std::wstring text) {
  FINDTEXTW find{};
  find.chrg.cpMin = 0;
  find.chrg.cpMax = -1;
  find.lpstrText = text.c_str();
  constexpr WPARAM kSearchDown = 1;  // FR_DOWN
  return static_cast<LONG>(
      SendMessageW(edit, EM_FINDTEXTW, kSearchDown, reinterpret_cast<LPARAM>(&find)));
}

// The left edge of character `position`, in the control's client pixels.
LONG LeftOf(HWND edit, LONG position) {
  POINTL point{};
  SendMessageW(edit, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), position);
  return point.x;
}

struct HelpLanguage {
  const char* name;
  int32_t index;
  // How the document's first line begins.
  std::wstring_view first_line;
  // The last two column headings of the options table, as the header row
  // holds them.
  std::wstring_view headings;
  // Its letters and signs beyond ASCII; any other means a wrong encoding.
  std::wstring_view extra_characters;
};

void PrintTo(const HelpLanguage& language, std::ostream* out) { *out << language.name; }

const HelpLanguage kHelpLanguages[] = {
    {"English", kEnglish, L"The Screensaver Installer command-line syntax",
     L"Parameters\tDefinition", L"\u00ae"},
    {"French", kFrench, L"Le programme d'installation de l'\u00e9conomiseur d'\u00e9cran",
     L"Param\u00e8tres\tDescription",
     L"\u00ae\u00a0\u00c9\u00e0\u00e8\u00e9\u00ea\u00ee\u00f4\u00f9"},
    {"German", kGerman, L"Die Befehlszeile des Bildschirmschoner-Installationsprogramms",
     L"Parameter\tBeschreibung", L"\u00ae\u00d6\u00df\u00e4\u00f6\u00fc"},
    {"Spanish", kSpanish, L"El instalador del protector de pantalla",
     L"Par\u00e1metros\tDescripci\u00f3n", L"\u00ae\u00e1\u00e9\u00ed\u00f1\u00f3\u00fa"},
    {"Italian", kItalian, L"L'installazione dello screensaver",
     L"Parametri\tDescrizione", L"\u00ae\u00e0\u00e8\u00e9\u00f2"},
    {"Dutch", kDutch, L"Het installatieprogramma voor de screensaver",
     L"Parameters\tBeschrijving", L"\u00ae\u00ef"},
    {"Portuguese", kPortuguese, L"A linha de comando do instalador do protetor de tela",
     L"Par\u00e2metros\tDescri\u00e7\u00e3o",
     L"\u00ae\u00c3\u00e1\u00e2\u00e3\u00e7\u00e9\u00ed\u00f3\u00f4\u00f5"},
    {"Russian", kRussian,
     L"\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u0430 \u0443\u0441\u0442\u0430\u043d"
     L"\u043e\u0432\u043a\u0438 \u0437\u0430\u0441\u0442\u0430\u0432\u043a\u0438",
     L"\u041f\u0430\u0440\u0430\u043c\u0435\u0442\u0440\u044b\t\u041e\u043f\u0438\u0441\u0430"
     L"\u043d\u0438\u0435",
     L"\u00ae\u00ab\u00bb\u0401-\u04ff"},
};

// Whether `c` is in `set`, where "a-b" stands for the range from a to b.
bool InSet(wchar_t c, std::wstring_view set) {
  for (size_t i = 0; i < set.size(); ++i) {
    if (i + 2 < set.size() && set[i + 1] == L'-') {
      if (c >= set[i] && c <= set[i + 2]) return true;
      i += 2;
    } else if (c == set[i]) {
      return true;
    }
  }
  return false;
}

using HelpDocumentTest = testing::WithRichEdit<::testing::TestWithParam<HelpLanguage>>;

TEST_P(HelpDocumentTest, ShowsItsOwnDocumentWithEveryLetter) {
  const HelpLanguage& language = GetParam();
  InspectHelp(language.index, IDR_HELP_DOCUMENT, [&](HWND edit) {
    const std::wstring text = TextOf(edit);
    const std::vector<std::wstring> lines = LinesOf(text);
    ASSERT_FALSE(lines.empty()) << "no text";
    EXPECT_EQ(lines[0].substr(0, language.first_line.size()), language.first_line)
        << WideToUtf8(lines[0]);
    for (size_t i = 0; i < text.size(); ++i) {
      const wchar_t c = text[i];
      const bool ascii = (c >= 0x20 && c < 0x7F) || c == L'\t' || c == L'\r' || c == L'\n';
      EXPECT_TRUE(ascii || InSet(c, language.extra_characters))
          << "U+" << std::hex << static_cast<int>(c) << " at " << std::dec << i;
      // A letter the code page could not hold would show as "?"; the only
      // question mark of the help is the switch "/?".
      if (c == L'?') {
        EXPECT_TRUE(i > 0 && text[i - 1] == L'/') << "a lost letter at " << i;
      }
    }
  });
}

TEST_P(HelpDocumentTest, NamesEverySwitchInARowOfItsOwn) {
  const HelpLanguage& language = GetParam();
  InspectHelp(language.index, IDR_HELP_DOCUMENT, [&](HWND edit) {
    const std::wstring text = TextOf(edit);
    const std::vector<std::wstring> lines = LinesOf(text);
    for (std::wstring_view option : {L"/?", L"/q", L"/u", L"/f", L"/d", L"/p", L"/m", L"/s",
                                     L"/x", L"/w", L"/n", L"/allusers", L"/log="}) {
      SCOPED_TRACE(WideToUtf8(option));
      bool row = false;
      for (const std::wstring& line : lines) {
        row = row || (line.size() > option.size() && line.substr(0, option.size()) == option &&
                      (line[option.size()] == L'\t' || line[option.size()] == L' '));
      }
      EXPECT_TRUE(row) << "no row begins with it";
    }
    // "/h" shares the row of "/?".
    EXPECT_NE(text.find(L" /h\t"), std::wstring::npos) << "no /h";
    // Silent with progress, as written on a command line.
    EXPECT_NE(text.find(L"/q /f /n"), std::wstring::npos) << "no /q /f /n";
  });
}

TEST_P(HelpDocumentTest, KeepsTheTableAndTheExamplesLaidOutAsInEnglish) {
  const HelpLanguage& language = GetParam();
  InspectHelp(language.index, IDR_HELP_DOCUMENT, [&](HWND edit) {
    const LONG headings = FindText(edit, std::wstring(language.headings));
    const LONG quiet_row = FindText(edit, L"/q\t\t");
    const LONG option_row = FindText(edit, L"/d\t[-]\t");
    ASSERT_GE(headings, 0) << "no column headings";
    ASSERT_GE(quiet_row, 0);
    ASSERT_GE(option_row, 0);
    // The opening sentence takes one line, then comes a blank one.
    EXPECT_EQ(SendMessageW(edit, EM_EXLINEFROMCHAR, 0, headings), 2) << "opening sentence";
    // Each heading starts at its column's tab stop, where the rows' texts
    // start: a heading too long for its column would push the next one on.
    const LONG last_heading = headings + static_cast<LONG>(language.headings.find(L'\t')) + 1;
    EXPECT_EQ(LeftOf(edit, headings), LeftOf(edit, option_row + 3)) << "parameters column";
    EXPECT_EQ(LeftOf(edit, last_heading), LeftOf(edit, quiet_row + 4)) << "description column";

    const struct {
      std::wstring_view text;
      LONG start, offset;
      std::vector<LONG> tabs;
    } paragraphs[] = {
        {L"/allusers\t", 180, 2160, {1080, 2340}},
        {L"/log=\t", 180, 2160, {1080, 2340}},
        {L"Install /u", 540, 0, {}},
        {L"Install /q /f /n /allusers /log=\"C:\\Logs\\screensaver.log\"", 540, 0, {}},
    };
    for (const auto& p : paragraphs) {
      SCOPED_TRACE(WideToUtf8(p.text));
      const LONG at = FindText(edit, std::wstring(p.text));
      ASSERT_GE(at, 0) << "not in the text";
      const PARAFORMAT format = testing::ParagraphAt(edit, at);
      EXPECT_EQ(format.dxStartIndent, p.start);
      EXPECT_EQ(format.dxOffset, p.offset);
      EXPECT_EQ(testing::TabStops(format), p.tabs);
    }
  });
}

std::string LanguageName(const ::testing::TestParamInfo<HelpLanguage>& language) {
  return language.param.name;
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, HelpDocumentTest, ::testing::ValuesIn(kHelpLanguages),
                         LanguageName);

using HelpDocumentFallback = testing::WithRichEdit<>;

TEST_F(HelpDocumentFallback, ALanguageWithoutItsDocumentShowsTheEnglishOne) {
  const struct {
    int32_t language;
    std::wstring_view shown;
  } cases[] = {
      {kEnglish, L"Probe document in English"},
      {kFrench, L"Document d\u2019essai en fran\u00e7ais"},
      {kGerman, L"Probe document in English"},
      {kRussian, L"Probe document in English"},
      {0, L"Probe document in English"},
      {99, L"Probe document in English"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    InspectHelp(c.language, kProbeDocument, [&](HWND edit) {
      const std::vector<std::wstring> lines = LinesOf(TextOf(edit));
      EXPECT_EQ(lines, std::vector<std::wstring>{std::wstring(c.shown)});
    });
  }
}

}  // namespace
}  // namespace lumiset
