// The seven translations of the wizard pages and the eight languages'
// uninstaller messages, read from this binary's resources (the same .rc
// files as the stub's): each language copy of a page keeps the English
// template's controls, ids, styles and frame, its markup (the bold "@",
// the placeholders, the line breaks, the mnemonics), distinct mnemonics,
// letters of its own language only, and texts that fit their controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "resource.h"
#include "base/language.h"
#include "install/uninstaller.h"
#include "win32/windows_win.h"
#include "ui/dialog_templates_win.h"
#include "ui/dialog_win.h"

namespace lumiset {
namespace {

constexpr int kLanguageIdStride = 100;
// What {ScrName} stands for while the fit of a text is measured: the
// sample screensaver's title.
constexpr std::wstring_view kSampleTitle = L"Starfield";

struct Page {
  const char* name;
  int base_id;
};
constexpr Page kPages[] = {
    {"welcome", IDD_WELCOME},
    {"exit setup", IDD_EXIT_SETUP},
    {"installation error", IDD_INSTALL_ERROR},
    {"installation done", IDD_INSTALL_DONE},
    {"installation interrupted", IDD_INSTALL_INTERRUPTED},
    {"licence", IDD_LICENCE},
    {"existing copy", IDD_EXISTING_COPY},
    {"copy error", IDD_COPY_ERROR},
    {"progress", IDD_PROGRESS},
    {"information", IDD_INFORMATION},
};

struct Language {
  const char* name;
  int32_t index;
  // Letters and signs beyond printable ASCII that its texts may hold; a
  // character outside them means a wrong encoding or a stray letter.
  std::wstring_view extra_characters;
};

constexpr std::wstring_view kTypography = L"\u2022\u00ab\u00bb\u201e\u201c\u2014\u00a0";
const Language kLanguages[] = {
    {"English", kEnglish, L""},
    {"French", kFrench, L"\u00e0\u00e2\u00e7\u00e8\u00e9\u00ea\u00eb\u00ee\u00ef\u00f4\u00f9\u00fb"
                        L"\u00fc\u0153\u00c0\u00c7\u00c9\u00c8\u00ca"},
    {"German", kGerman, L"\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc"},
    {"Spanish", kSpanish, L"\u00e1\u00e9\u00ed\u00f3\u00fa\u00fc\u00f1\u00c1\u00c9\u00cd\u00d3"
                          L"\u00da\u00d1\u00a1\u00bf"},
    {"Italian", kItalian, L"\u00e0\u00e8\u00e9\u00ec\u00f2\u00f9\u00c0\u00c8\u00c9"},
    {"Dutch", kDutch, L"\u00e9\u00eb\u00ef\u00f6\u00fc\u00c9"},
    {"Portuguese", kPortuguese, L"\u00e1\u00e0\u00e2\u00e3\u00e7\u00e9\u00ea\u00ed\u00f3\u00f4"
                                L"\u00f5\u00fa\u00c1\u00c0\u00c2\u00c3\u00c7\u00c9\u00ca\u00cd"
                                L"\u00d3\u00d4\u00d5\u00da"},
    {"Russian", kRussian, L""},
};

void PrintTo(const Language& language, std::ostream* out) { *out << language.name; }

bool IsCyrillic(wchar_t c) { return c >= 0x0400 && c <= 0x04FF; }

std::string Utf8(std::wstring_view text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

// ---------------------------------------------------------------------------
// The dialog template as stored: DLGTEMPLATEEX, then one DLGITEMTEMPLATEEX
// per control on a 4-byte boundary.
//
//   WORD dlgVer (1), WORD signature (0xFFFF), DWORD helpID, DWORD exStyle,
//   DWORD style, WORD cDlgItems, short x, y, cx, cy,
//   menu, class (sz_Or_Ord), title (UTF-16, NUL-terminated),
//   with DS_SETFONT: WORD pointsize, WORD weight, BYTE italic, BYTE charset,
//   typeface (UTF-16, NUL-terminated)
// item:
//   DWORD helpID, DWORD exStyle, DWORD style, short x, y, cx, cy, DWORD id,
//   class (sz_Or_Ord), title (sz_Or_Ord), WORD extraCount, extra bytes
//
// sz_Or_Ord: 0x0000 = none; 0xFFFF then an ordinal WORD; else a string.
// ---------------------------------------------------------------------------

// The predefined control classes by their ordinal.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;

struct Control {
  int id = 0;
  std::wstring window_class;  // the class name, or "#<ordinal>"
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::wstring text;
};

struct Template {
  DWORD style = 0;
  int cx = 0, cy = 0;
  std::wstring caption;
  int point_size = 0;
  std::wstring typeface;
  std::vector<Control> controls;
};

class TemplateReader {
 public:
  TemplateReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool ok() const { return ok_; }
  size_t position() const { return pos_; }

  uint16_t Word() {
    uint8_t b[2] = {};
    Bytes(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t Dword() {
    uint8_t b[4] = {};
    Bytes(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  }
  int Short() { return static_cast<int16_t>(Word()); }
  std::wstring String() {
    std::wstring text;
    for (uint16_t c = Word(); ok_ && c != 0; c = Word()) text += static_cast<wchar_t>(c);
    return text;
  }
  // sz_Or_Ord: a string, "#<ordinal>", or empty.
  std::wstring NameOrOrdinal() {
    const uint16_t first = Word();
    if (first == 0) return {};
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    pos_ -= 2;
    return String();
  }
  void Skip(size_t n) {
    if (n > size_ - pos_) ok_ = false;
    else pos_ += n;
  }
  void AlignToDword() { Skip((4 - pos_ % 4) % 4); }

 private:
  void Bytes(uint8_t* out, size_t n) {
    if (!ok_ || n > size_ - pos_) {
      ok_ = false;
      return;
    }
    std::memcpy(out, data_ + pos_, n);
    pos_ += n;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

std::optional<Template> LoadTemplate(int id) {
  const std::span<const uint8_t> bytes = DialogTemplateBytes(GetModuleHandleW(nullptr), id);
  if (bytes.empty()) return std::nullopt;
  TemplateReader r(bytes.data(), bytes.size());
  if (r.Word() != 1 || r.Word() != 0xFFFF) return std::nullopt;  // only DLGTEMPLATEEX
  Template t;
  r.Dword();  // help id
  r.Dword();  // extended style
  t.style = r.Dword();
  const int count = r.Word();
  r.Short();  // x
  r.Short();  // y
  t.cx = r.Short();
  t.cy = r.Short();
  r.NameOrOrdinal();  // menu
  r.NameOrOrdinal();  // class
  t.caption = r.String();
  if (t.style & DS_SETFONT) {
    t.point_size = r.Word();
    r.Word();  // weight
    r.Skip(2);  // italic, charset
    t.typeface = r.String();
  }
  for (int i = 0; i < count && r.ok(); ++i) {
    r.AlignToDword();
    Control c;
    r.Dword();  // help id
    r.Dword();  // extended style
    c.style = r.Dword();
    c.x = r.Short();
    c.y = r.Short();
    c.cx = r.Short();
    c.cy = r.Short();
    c.id = static_cast<int>(static_cast<int32_t>(r.Dword()));
    c.window_class = r.NameOrOrdinal();
    c.text = r.NameOrOrdinal();
    r.Skip(r.Word());  // creation data
    t.controls.push_back(std::move(c));
  }
  if (!r.ok()) return std::nullopt;
  return t;
}

// ---------------------------------------------------------------------------
// What a text means to the page.
// ---------------------------------------------------------------------------

bool IsButton(const Control& c) { return c.window_class == L"#" + std::to_wstring(kButtonClass); }
bool IsStatic(const Control& c) {
  return c.window_class == L"#" + std::to_wstring(kStaticClass) ||
         CompareStringOrdinal(c.window_class.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL;
}
DWORD ButtonType(const Control& c) { return c.style & BS_TYPEMASK; }
bool IsPushButton(const Control& c) {
  return IsButton(c) && (ButtonType(c) == BS_PUSHBUTTON || ButtonType(c) == BS_DEFPUSHBUTTON);
}
bool IsCheckBox(const Control& c) {
  return IsButton(c) && (ButtonType(c) == BS_AUTOCHECKBOX || ButtonType(c) == BS_CHECKBOX);
}
bool IsTextStatic(const Control& c) {
  if (!IsStatic(c)) return false;
  const DWORD type = c.style & SS_TYPEMASK;
  return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
}
// Whether "&" marks a mnemonic in this control's text.
bool HasPrefixProcessing(const Control& c) {
  if (IsButton(c)) return true;
  return IsTextStatic(c) && !(c.style & SS_NOPREFIX);
}

// The character after a single "&", upper-cased; none for "&&" or no "&".
std::optional<wchar_t> Mnemonic(std::wstring_view text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'&') continue;
    if (text[i + 1] == L'&') {
      ++i;
      continue;
    }
    wchar_t c = text[i + 1];
    CharUpperBuffW(&c, 1);
    return c;
  }
  return std::nullopt;
}

bool IsPrefixCharacter(wchar_t c) {
  return c == L'@' || c == L'!' || c == L'$' || c == L'#' || c == L'*' || c == L'\u00A3';
}

std::multiset<std::wstring> Placeholders(std::wstring_view text) {
  std::multiset<std::wstring> names;
  for (size_t open = text.find(L'{'); open != std::wstring_view::npos;
       open = text.find(L'{', open + 1)) {
    const size_t close = text.find(L'}', open);
    if (close == std::wstring_view::npos) break;
    names.insert(std::wstring(text.substr(open, close - open + 1)));
  }
  return names;
}

size_t LineBreaks(std::wstring_view text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), L'\n'));
}

std::wstring ShownText(std::wstring text) {
  if (!text.empty() && IsPrefixCharacter(text.front())) text.erase(0, 1);
  for (size_t at = text.find(L"{ScrName}"); at != std::wstring::npos;
       at = text.find(L"{ScrName}", at)) {
    text.replace(at, 9, kSampleTitle);
  }
  return text;
}

std::string Describe(const Control& c) {
  return "control " + std::to_string(c.id) + " \"" + Utf8(c.text) + "\"";
}

// Where a language's copy of a template or string lives.
int Localized(int base_id, int32_t language) {
  return base_id + kLanguageIdStride * (language - 1);
}

// The seven translations, each against the English pages.
class TranslatedPages : public ::testing::TestWithParam<Language> {};
// The pages of all eight languages, English among them.
class PagesOfEachLanguage : public ::testing::TestWithParam<Language> {};

std::string LanguageName(const ::testing::TestParamInfo<Language>& language) {
  return language.param.name;
}

TEST_P(TranslatedPages, KeepTheEnglishControlsIdsStylesAndFrame) {
  const Language& language = GetParam();
  for (const Page& page : kPages) {
    SCOPED_TRACE(page.name);
    const std::optional<Template> english = LoadTemplate(page.base_id);
    const std::optional<Template> copy = LoadTemplate(Localized(page.base_id, language.index));
    ASSERT_TRUE(english.has_value());
    ASSERT_TRUE(copy.has_value()) << "no template " << Localized(page.base_id, language.index);
    EXPECT_EQ(copy->style, english->style);
    EXPECT_EQ(copy->cx, english->cx);
    EXPECT_EQ(copy->cy, english->cy);
    EXPECT_EQ(copy->point_size, english->point_size);
    EXPECT_EQ(copy->typeface, english->typeface);
    EXPECT_FALSE(copy->caption.empty());

    // The top of the button area, where the page has one.
    std::optional<int> button_area;
    for (const Control& c : english->controls) {
      if (c.id == IDC_BUTTON_SEPARATOR) button_area = c.y;
    }

    std::vector<int> english_ids;
    std::vector<int> copy_ids;
    for (const Control& c : english->controls) english_ids.push_back(c.id);
    for (const Control& c : copy->controls) copy_ids.push_back(c.id);
    ASSERT_EQ(copy_ids, english_ids) << "the controls differ";

    for (size_t i = 0; i < english->controls.size(); ++i) {
      const Control& en = english->controls[i];
      const Control& tr = copy->controls[i];
      SCOPED_TRACE(Describe(en));
      EXPECT_EQ(tr.window_class, en.window_class);
      EXPECT_EQ(tr.style, en.style);
      EXPECT_EQ(tr.x, en.x);
      EXPECT_EQ(tr.y, en.y);
      // A control may grow to hold a longer text, but stays on the page;
      // the separators and the buttons keep their places and sizes.
      EXPECT_GE(tr.cx, en.cx);
      EXPECT_GE(tr.cy, en.cy);
      EXPECT_LE(tr.x + tr.cx, copy->cx);
      EXPECT_LE(tr.y + tr.cy, copy->cy);
      if (IsPushButton(en) || en.id == IDC_HEADER_SEPARATOR || en.id == IDC_BUTTON_SEPARATOR) {
        EXPECT_EQ(tr.cx, en.cx);
        EXPECT_EQ(tr.cy, en.cy);
      } else if (button_area && en.y < *button_area) {
        EXPECT_LE(tr.y + tr.cy, *button_area) << "reaches into the button area";
      }
    }
  }
}

TEST_P(TranslatedPages, KeepTheMarkupOfTheEnglishTexts) {
  const Language& language = GetParam();
  for (const Page& page : kPages) {
    SCOPED_TRACE(page.name);
    const std::optional<Template> english = LoadTemplate(page.base_id);
    const std::optional<Template> copy = LoadTemplate(Localized(page.base_id, language.index));
    ASSERT_TRUE(english && copy);
    ASSERT_EQ(copy->controls.size(), english->controls.size());
    for (size_t i = 0; i < english->controls.size(); ++i) {
      const Control& en = english->controls[i];
      const Control& tr = copy->controls[i];
      SCOPED_TRACE(Describe(en) + " -> \"" + Utf8(tr.text) + "\"");
      EXPECT_EQ(tr.text.empty(), en.text.empty());
      if (en.text.empty() || tr.text.empty()) continue;
      const bool en_prefixed = IsPrefixCharacter(en.text.front());
      EXPECT_EQ(IsPrefixCharacter(tr.text.front()), en_prefixed) << "style prefix";
      if (en_prefixed) {
        EXPECT_EQ(tr.text.front(), en.text.front()) << "style prefix";
      }
      EXPECT_EQ(Placeholders(tr.text), Placeholders(en.text));
      EXPECT_EQ(LineBreaks(tr.text), LineBreaks(en.text));
      if (HasPrefixProcessing(en)) {
        EXPECT_EQ(Mnemonic(tr.text).has_value(), Mnemonic(en.text).has_value()) << "mnemonic";
      }
    }
  }
}

TEST_P(PagesOfEachLanguage, HoldOnlyTheLanguagesOwnLetters) {
  const Language& language = GetParam();
  for (const Page& page : kPages) {
    SCOPED_TRACE(page.name);
    const std::optional<Template> t = LoadTemplate(Localized(page.base_id, language.index));
    ASSERT_TRUE(t);
    std::vector<std::wstring> texts{t->caption};
    for (const Control& c : t->controls) texts.push_back(c.text);
    for (const std::wstring& text : texts) {
      bool cyrillic = false;
      bool latin = false;
      for (wchar_t c : text) {
        cyrillic = cyrillic || IsCyrillic(c);
        latin = latin || (c < 0x80 && IsCharAlphaW(c));
        const bool allowed = (c >= 0x20 && c < 0x7F) || c == L'\n' ||
                             kTypography.find(c) != std::wstring_view::npos ||
                             language.extra_characters.find(c) != std::wstring_view::npos ||
                             (language.index == kRussian && IsCyrillic(c));
        EXPECT_TRUE(allowed) << "U+" << std::hex << static_cast<int>(c) << " in \""
                             << Utf8(text) << "\"";
      }
      // A Russian text is written in Cyrillic, apart from names such as
      // Windows and the placeholders.
      if (language.index == kRussian && latin) {
        EXPECT_TRUE(cyrillic) << "\"" << Utf8(text) << "\" is not Russian";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedPages,
                         ::testing::ValuesIn(std::begin(kLanguages) + 1, std::end(kLanguages)),
                         LanguageName);

// The French copy-error prompt uses the product's established wording.
TEST(FrenchCopyErrorPrompt, UsesItsEstablishedWording) {
  const std::optional<Template> t = LoadTemplate(Localized(IDD_COPY_ERROR, kFrench));
  ASSERT_TRUE(t);
  EXPECT_EQ(t->caption, L"Erreur de copie de fichier");
  std::map<int, std::wstring> buttons;
  for (const Control& c : t->controls) {
    if (IsPushButton(c)) buttons[c.id] = c.text;
  }
  EXPECT_EQ(buttons[IDOK], L"&R\u00e9-essayer");
  EXPECT_EQ(buttons[IDCANCEL], L"&Abandonner");
}

// ---------------------------------------------------------------------------
// Fit: every text, shown in the page font (bold after "@") with the sample
// title in place of {ScrName}, fits the control that shows it, at the
// screen densities the product is looked at (96 and 120 pixels per inch).
// The page is laid out here as the dialog manager lays it out: the page
// font at the density, its base units, and each control's rectangle in
// dialog units mapped through them.
// ---------------------------------------------------------------------------

constexpr int kDensities[] = {96, 120};
constexpr int kBaseDensity = 96;
constexpr int kPointsPerInch = 72;
// Room Wine's check box leaves beside its text at 96 pixels per inch: the
// box and the gap after it.
constexpr int kCheckBoxIndent = 17;
// A push button's text stays clear of the border and the focus rectangle.
constexpr int kButtonTextMargin = 4;

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class ScopedFont {
 public:
  explicit ScopedFont(HFONT font) : font_(font) {}
  ~ScopedFont() {
    if (font_) DeleteObject(font_);
  }
  ScopedFont(const ScopedFont&) = delete;
  ScopedFont& operator=(const ScopedFont&) = delete;
  HFONT get() const { return font_; }

 private:
  HFONT font_;
};

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// The size of `text` drawn in `font` with `format`, wrapped to `width` when
// the format breaks words.
SIZE Measure(HFONT font, const std::wstring& text, int width, UINT format) {
  const ScreenDc dc;
  HGDIOBJ old = SelectObject(dc.get(), font);
  RECT box{0, 0, width, 0};
  DrawTextW(dc.get(), text.c_str(), -1, &box, format | DT_CALCRECT);
  SelectObject(dc.get(), old);
  return SIZE{box.right - box.left, box.bottom - box.top};
}

// The face of the font the dialog manager gives a page.
std::optional<LOGFONTW> PageFont(int template_id) {
  HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           DialogTemplate(GetModuleHandleW(nullptr), template_id),
                                           nullptr, QuietDialogProc, 0);
  if (!dialog) return std::nullopt;
  LOGFONTW face{};
  const auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  const bool ok = GetObjectW(font, sizeof face, &face) != 0;
  DestroyWindow(dialog);
  if (!ok) return std::nullopt;
  return face;
}

// A page's layout at one density: its fonts and its dialog base units.
class Layout {
 public:
  // `base_face` is the page font's face; its height follows the template's
  // point size at the density.
  Layout(const LOGFONTW& base_face, int point_size, int dpi) : dpi_(dpi) {
    LOGFONTW face = base_face;
    face.lfHeight = -MulDiv(point_size, dpi, kPointsPerInch);
    face.lfWidth = 0;
    regular_ = std::make_unique<ScopedFont>(CreateFontIndirectW(&face));
    face.lfWeight = FW_BOLD;
    bold_ = std::make_unique<ScopedFont>(CreateFontIndirectW(&face));
    // The base units as GetDialogBaseUnits measures a dialog font.
    const ScreenDc dc;
    HGDIOBJ old = SelectObject(dc.get(), regular_->get());
    SIZE letters{};
    GetTextExtentPoint32W(dc.get(), kAlphabet, 52, &letters);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    SelectObject(dc.get(), old);
    base_x_ = (letters.cx / 26 + 1) / 2;
    base_y_ = metrics.tmHeight;
  }

  HFONT font(bool bold) const { return bold ? bold_->get() : regular_->get(); }
  int Width(int dialog_units) const { return MulDiv(dialog_units, base_x_, 4); }
  int Height(int dialog_units) const { return MulDiv(dialog_units, base_y_, 8); }
  int Scaled(int pixels_at_96) const { return MulDiv(pixels_at_96, dpi_, kBaseDensity); }

 private:
  static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  int dpi_;
  std::unique_ptr<ScopedFont> regular_;
  std::unique_ptr<ScopedFont> bold_;
  int base_x_ = 0;
  int base_y_ = 0;
};

std::string Size(SIZE size) { return std::to_string(size.cx) + "x" + std::to_string(size.cy); }

std::vector<std::string> Overflows(const Template& t, const Layout& layout) {
  std::vector<std::string> found;
  for (const Control& c : t.controls) {
    if (c.text.empty() || !(IsTextStatic(c) || IsCheckBox(c) || IsPushButton(c))) continue;
    const HFONT font = layout.font(c.text.front() == L'@');
    const std::wstring text = ShownText(c.text);
    const SIZE room{layout.Width(c.cx), layout.Height(c.cy)};
    if (IsTextStatic(c)) {
      const UINT format =
          DT_WORDBREAK | DT_EXPANDTABS | ((c.style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
      const SIZE need = Measure(font, text, room.cx, format);
      if (need.cx > room.cx || need.cy > room.cy) {
        found.push_back(Describe(c) + " needs " + Size(need) + " px, has " + Size(room));
      }
    } else {
      const int width = IsCheckBox(c) ? room.cx - layout.Scaled(kCheckBoxIndent)
                                      : room.cx - 2 * layout.Scaled(kButtonTextMargin);
      const SIZE need = Measure(font, text, 0, DT_SINGLELINE);
      if (need.cx > width) {
        found.push_back(Describe(c) + " needs " + std::to_string(need.cx) + " px, has " +
                        std::to_string(width));
      }
    }
  }
  // The caption shares the title bar with the icon and the close box.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  metrics.lfCaptionFont.lfHeight = layout.Scaled(metrics.lfCaptionFont.lfHeight);
  const ScopedFont caption_font(CreateFontIndirectW(&metrics.lfCaptionFont));
  const int width = layout.Width(t.cx) -
                    layout.Scaled(GetSystemMetrics(SM_CXSMICON) + metrics.iCaptionWidth +
                                  2 * GetSystemMetrics(SM_CXFIXEDFRAME));
  const SIZE need = Measure(caption_font.get(), t.caption, 0, DT_SINGLELINE | DT_NOPREFIX);
  if (need.cx > width) {
    found.push_back("caption \"" + Utf8(t.caption) + "\" needs " + std::to_string(need.cx) +
                    " px, has " + std::to_string(width));
  }
  return found;
}

TEST_P(PagesOfEachLanguage, GiveEachControlOfAPageItsOwnMnemonic) {
  const Language& language = GetParam();
  for (const Page& page : kPages) {
    SCOPED_TRACE(page.name);
    const std::optional<Template> t = LoadTemplate(Localized(page.base_id, language.index));
    ASSERT_TRUE(t);
    std::map<wchar_t, int> owner;
    for (const Control& c : t->controls) {
      if (!HasPrefixProcessing(c)) continue;
      const std::optional<wchar_t> key = Mnemonic(c.text);
      if (!key) continue;
      const auto [it, fresh] = owner.emplace(*key, c.id);
      EXPECT_TRUE(fresh) << "\"" << Utf8(std::wstring(1, *key)) << "\" of " << Describe(c)
                         << " is also control " << it->second << "'s";
    }
  }
}

TEST_P(PagesOfEachLanguage, FitEveryTextInItsControl) {
  for (const Page& page : kPages) {
    SCOPED_TRACE(page.name);
    const int id = Localized(page.base_id, GetParam().index);
    const std::optional<Template> t = LoadTemplate(id);
    const std::optional<LOGFONTW> face = PageFont(id);
    ASSERT_TRUE(t && face);
    for (int dpi : kDensities) {
      SCOPED_TRACE(std::to_string(dpi) + " pixels per inch");
      for (const std::string& overflow : Overflows(*t, Layout(*face, t->point_size, dpi))) {
        ADD_FAILURE() << overflow;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, PagesOfEachLanguage, ::testing::ValuesIn(kLanguages),
                         LanguageName);

// ---------------------------------------------------------------------------
// The uninstaller's messages, as the uninstaller finds them.
// ---------------------------------------------------------------------------

std::wstring LoadedString(int id) {
  const wchar_t* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                            reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

TEST(UninstallerMessages, EachLanguageHasItsOwnFailureAndSuccessMessage) {
  const struct {
    int32_t language;
    const wchar_t* failed;
    const wchar_t* done;
  } cases[] = {
      {kEnglish,
       L"Unable to uninstall the Screensaver. Please check that the Screensaver is not running "
       L"(preview mode in Display Properties).",
       L"Screensaver successfully uninstalled."},
      {kFrench,
       L"Impossible de d\u00e9sinstaller l'\u00e9conomiseur d'\u00e9cran. Veuillez v\u00e9rifier "
       L"que l'\u00e9conomiseur d'\u00e9cran ne soit pas en cours d'ex\u00e9cution (mode "
       L"aper\u00e7u dans la fen\u00eatre 'Propri\u00e9t\u00e9s de l'\u00e9cran').",
       L"Economiseur d'\u00e9cran d\u00e9sinstall\u00e9 avec succ\u00e8s."},
      {kGerman,
       L"Es ist nicht m\u00f6glich den Bildschirmschoner zu deinstallieren. Bitte stellen Sie "
       L"sicher, dass der Bildschirmschoner nicht l\u00e4uft (Vorschau-Modus in den "
       L"Eigenschaften der Anzeige/Bildschirmschoner).",
       L"Der Bildschirmschoner wurde erfolgreich deinstalliert."},
      {kSpanish,
       L"No es posible desinstalar el protector de pantalla. Por favor verifique que el "
       L"protector de pantalla no se este ejecutando (modo de Vista previa en la ventana de "
       L"Propiedades).",
       L"El Protector de Pantalla se ha desinstalado correctamente."},
      {kItalian,
       L"Impossibile rimuovere lo Screensaver. Controllare che lo Screensaver non sia avviato "
       L"(modalit\u00e0 Anteprima nelle Propriet\u00e0 Schermo).",
       L"Screensaver rimosso con successo."},
      {kDutch,
       L"Kan de Screensaver niet de-installeren. Controleer of de Screensaver niet gestart is "
       L"(preview mode in Scherm Instellingen).",
       L"Screensaver met succes verwijderd."},
      {kPortuguese,
       L"Incapaz de desinstalar o protetor de tela. Por favor verifique se o protetor de tela "
       L"n\u00e3o est\u00e1 sendo executado (pr\u00e9-visualiza\u00e7\u00e3o em Propriedades do "
       L"V\u00eddeo).",
       L"Protetor de tela desinstalado com sucesso."},
      {kRussian,
       L"\u041d\u0435 \u0443\u0434\u0430\u0451\u0442\u0441\u044f \u0443\u0434\u0430\u043b\u0438"
       L"\u0442\u044c \u044d\u043a\u0440\u0430\u043d\u043d\u0443\u044e \u0437\u0430\u0441\u0442"
       L"\u0430\u0432\u043a\u0443. \u041f\u0440\u043e\u0432\u0435\u0440\u044c\u0442\u0435, "
       L"\u043d\u0435 \u0437\u0430\u043f\u0443\u0449\u0435\u043d\u0430 \u043b\u0438 \u043e\u043d"
       L"\u0430 (\u0432 \u0440\u0435\u0436\u0438\u043c\u0435 \u043f\u0440\u0435\u0434\u043f\u0440"
       L"\u043e\u0441\u043c\u043e\u0442\u0440\u0430 \u0432 \u043e\u043a\u043d\u0435 \u0441\u0432"
       L"\u043e\u0439\u0441\u0442\u0432 \u044d\u043a\u0440\u0430\u043d\u0430).",
       L"\u042d\u043a\u0440\u0430\u043d\u043d\u0430\u044f \u0437\u0430\u0441\u0442\u0430\u0432"
       L"\u043a\u0430 \u0443\u0441\u043f\u0435\u0448\u043d\u043e \u0443\u0434\u0430\u043b\u0435"
       L"\u043d\u0430."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    EXPECT_EQ(LoadedString(Localized(kUninstallFailedString, c.language)), c.failed);
    EXPECT_EQ(LoadedString(Localized(kUninstallDoneString, c.language)), c.done);
  }
}

// The default uninstaller's own messages: the confirmation names the
// screensaver through one {title}; each is translated, in the language's
// own letters.
class UninstallerQuestions : public ::testing::TestWithParam<Language> {};

TEST_P(UninstallerQuestions, AreTranslatedAndNameTheTitleOnce) {
  const Language& language = GetParam();
  constexpr int kConfirmRemoval = 8010;
  constexpr int kSettingsMissing = 8011;
  const std::wstring question = LoadedString(Localized(kConfirmRemoval, language.index));
  const std::wstring missing = LoadedString(Localized(kSettingsMissing, language.index));
  const size_t title = question.find(L"{title}");
  ASSERT_NE(title, std::wstring::npos) << Utf8(question);
  EXPECT_EQ(question.find(L"{title}", title + 1), std::wstring::npos) << Utf8(question);
  EXPECT_FALSE(missing.empty());
  if (language.index != kEnglish) {
    EXPECT_NE(question, LoadedString(kConfirmRemoval));
    EXPECT_NE(missing, LoadedString(kSettingsMissing));
  }
  for (const std::wstring& text : {question, missing}) {
    for (wchar_t c : text) {
      const bool allowed = (c >= 0x20 && c < 0x7F) ||
                           kTypography.find(c) != std::wstring_view::npos ||
                           language.extra_characters.find(c) != std::wstring_view::npos ||
                           (language.index == kRussian && IsCyrillic(c));
      EXPECT_TRUE(allowed) << "U+" << std::hex << static_cast<int>(c) << " in \"" << Utf8(text)
                           << "\"";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, UninstallerQuestions, ::testing::ValuesIn(kLanguages),
                         LanguageName);

}  // namespace
}  // namespace lumiset
