// The page look against Wine's real windows and drawing: the font set and
// the font pass, the painted background in both looks, the control colours,
// the pictures laid over the page, the help window with its document, and
// the about box.
#include <gtest/gtest.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "dialog_driver_win.h"
#include "rich_edit_win.h"
#include "ui/copy_error_prompt_win.h"
#include "win32/platform_win.h"
#include "package/setup_record.h"
#include "package/dib.h"
#include "ui/help_window_win.h"
#include "ui/look.h"
#include "ui/page_painter_win.h"
#include "ui/pages/about_box_win.h"
#include "ui/pages/error_page_win.h"
#include "ui/pages/exit_confirmation_win.h"
#include "ui/pages/existing_copy_page_win.h"
#include "ui/pages/welcome_page_win.h"
#include "ui/wizard_page_win.h"
#include "ui/ui_fonts_win.h"

namespace lumiset {
namespace {

using testing::Driver;

constexpr int kProbeTemplate = 900;  // every style prefix; from dialog_test.rc
constexpr uint32_t kRed = 0x0000FF;
constexpr double kBlueHue = 0.59;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

PageLook LookState(bool themed) {
  PageLook state;
  state.title = "Nova";
  state.placeholders.title = "Nova";
  state.copyright_line = "(c) Acme";
  state.placeholders.company = "Acme";
  state.language = kEnglish;
  state.themed = themed;
  state.accent_hue = kBlueHue;
  state.placement = Rect{0, 0, 1024, 768};
  return state;
}

// A packed 24-bit picture of one colour whose top-left pixel has another.
std::vector<uint8_t> TwoColourPicture(int32_t width, int32_t height, uint32_t corner,
                                      uint32_t rest) {
  const uint64_t stride = DibStride(static_cast<uint32_t>(width), 24);
  std::vector<uint8_t> dib(40 + stride * static_cast<uint64_t>(height), 0);
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  std::memcpy(dib.data(), &header, sizeof header);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      // Stored bottom row first: the top row is the last one.
      const uint32_t color = (x == 0 && y == height - 1) ? corner : rest;
      uint8_t* p = dib.data() + 40 + stride * static_cast<uint64_t>(y) + 3 * x;
      p[0] = static_cast<uint8_t>(color >> 16);
      p[1] = static_cast<uint8_t>(color >> 8);
      p[2] = static_cast<uint8_t>(color);
    }
  }
  return dib;
}

// Pixels as COLORREF values, top row first.
class Pixels {
 public:
  Pixels(int width, int height) : width_(width), height_(height) {}

  // What PaintPage draws over the dialog's whole client area.
  static Pixels OfPage(HWND dialog, const PageLook& state) {
    RECT client{};
    GetClientRect(dialog, &client);
    Pixels pixels(client.right, client.bottom);
    pixels.Capture(
        [&](HDC dc) { PaintPage(dialog, dc, state, ApplicationFonts(state.dpi_y)); });
    return pixels;
  }

  static Pixels OfBitmap(HBITMAP bitmap) {
    BITMAP facts{};
    GetObjectW(bitmap, sizeof facts, &facts);
    Pixels pixels(facts.bmWidth, facts.bmHeight);
    pixels.Capture([&](HDC dc) {
      HDC source = CreateCompatibleDC(nullptr);
      HGDIOBJ previous = SelectObject(source, bitmap);
      BitBlt(dc, 0, 0, facts.bmWidth, facts.bmHeight, source, 0, 0, SRCCOPY);
      SelectObject(source, previous);
      DeleteDC(source);
    });
    return pixels;
  }

  // Draws into a 32-bit top-down bitmap of this size and keeps its pixels.
  void Capture(const std::function<void(HDC)>& draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    draw(dc);
    GdiFlush();
    const auto* raw = static_cast<const uint32_t*>(bits);
    pixels_.assign(raw, raw + width_ * height_);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }

  int width() const { return width_; }
  int height() const { return height_; }
  uint32_t At(int x, int y) const {
    const uint32_t v = pixels_.at(static_cast<size_t>(y * width_ + x));
    return (v >> 16 & 0xFF) | (v & 0xFF00) | (v & 0xFF) << 16;
  }
  bool AnyIn(const Rect& r, uint32_t color) const {
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, height_); ++y) {
      for (int x = std::max(r.left, 0); x < std::min(r.right, width_); ++x) {
        if (At(x, y) == color) return true;
      }
    }
    return false;
  }

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
};

Rect ChildRect(HWND dialog, int id) {
  RECT r{};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right, r.bottom};
}

// Whether a control is set to show, whether or not its dialog is on screen yet.
bool IsShown(HWND dialog, int id) {
  return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

PageLayout LayoutOf(HWND dialog) {
  RECT client{};
  GetClientRect(dialog, &client);
  return LayOutPage(Rect{0, 0, client.right, client.bottom},
                    ChildRect(dialog, IDC_HEADER_SEPARATOR),
                    ChildRect(dialog, IDC_BUTTON_SEPARATOR));
}

// Any page class, opened modally; `inspect` runs once its controls are
// loaded, then the page closes.
template <typename Page>
class Inspected : public Page {
 public:
  template <typename... Args>
  Inspected(std::function<void(HWND)> inspect, Args&&... args)
      : Page(std::forward<Args>(args)...), inspect_(std::move(inspect)) {}

 protected:
  bool OnInitDialog() override {
    Page::OnInitDialog();
    inspect_(this->hwnd());
    this->EndDialog(IDOK);
    return false;
  }

 private:
  std::function<void(HWND)> inspect_;
};

void InspectTemplate(int template_id, PageLook& state, const std::function<void(HWND)>& inspect) {
  Inspected<WizardPage> page(inspect, Instance(), template_id, state, nullptr);
  ASSERT_EQ(page.DoModal(), IDOK);
}

// The installer's 32-bit build computes with the x87 unit, whose extra
// precision once sent blue accents to another hue.
TEST(AccentTintWin, TheInstallersBuildTintsAsTheNativeOneDoes) {
  const struct {
    uint32_t accent;
    double hue;
    uint32_t body_from, button_area_to;
  } cases[] = {
      {0x00A05A1E, 0.589743589744, 0xF6F1EE, 0xC1B1A3},
      {0x000080FF, 0.083660130719, 0xEEF2F6, 0xA3B2C1},
      {0x004EBE2D, 0.371264367816, 0xF0F6EE, 0xAAC1A3},
      {0x00808080, 0.0, 0xEEEEF6, 0xA3A3C1},
      {0x003C41E8, 0.004844961240, 0xEEEEF6, 0xA3A4C1},
      {0x00FF00FF, 0.833333333333, 0xF6EEF6, 0xC1A3C1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::hex << c.accent);
    const double hue = AccentHue(c.accent);
    EXPECT_NEAR(hue, c.hue, 1e-9);
    EXPECT_EQ(AccentTint(hue, kBodyTintFrom), c.body_from);
    EXPECT_EQ(AccentTint(hue, kButtonAreaTintTo), c.button_area_to);
  }
}

TEST(UiFontsWin, EachFontHasItsFaceHeightWeightAndQuality) {
  for (int32_t dpi : {96, 120}) {
    for (bool has_tahoma : {true, false}) {
      SCOPED_TRACE(::testing::Message() << dpi << " dpi, Tahoma " << has_tahoma);
      const UiFonts fonts(dpi, has_tahoma);
      EXPECT_EQ(fonts.has_tahoma(), has_tahoma);
      for (size_t i = 0; i < kUiFontCount; ++i) {
        const auto which = static_cast<UiFont>(i);
        const FontFacts facts = UiFontFacts(which, has_tahoma);
        LOGFONTA font{};
        ASSERT_TRUE(GetObjectA(fonts.Get(which), sizeof font, &font)) << i;
        EXPECT_EQ(font.lfHeight, FontHeight(facts.points, dpi)) << i;
        EXPECT_EQ(font.lfWidth, 0) << i;
        EXPECT_EQ(font.lfWeight, facts.weight) << i;
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut) << i;
        EXPECT_EQ(font.lfCharSet, ANSI_CHARSET) << i;
        EXPECT_EQ(font.lfQuality, facts.proof_quality ? PROOF_QUALITY : DEFAULT_QUALITY) << i;
        EXPECT_STREQ(font.lfFaceName, facts.face) << i;
      }
    }
  }
  LOGFONTA dialog{}, title{};
  const UiFonts at_120(120, true);
  GetObjectA(at_120.Get(UiFont::kDialog), sizeof dialog, &dialog);
  GetObjectA(at_120.Get(UiFont::kHeaderTitle), sizeof title, &title);
  EXPECT_EQ(dialog.lfHeight, -13);
  EXPECT_EQ(title.lfHeight, -25);
}

TEST(UiFontsWin, TahomaCountsOnlyAsAFileInTheFontsFolder) {
  char folder[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_FONTS, nullptr, 0, folder), S_OK);
  const std::string path = std::string(folder) + "\\Tahoma.ttf";
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system has Tahoma";
  }
  CreateDirectoryA(folder, nullptr);
  EXPECT_FALSE(HasTahoma());
  ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
  EXPECT_FALSE(HasTahoma()) << "a folder of that name";
  RemoveDirectoryA(path.c_str());
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_TRUE(HasTahoma());
  DeleteFileA(path.c_str());
}

TEST(FontPass, EveryControlGetsTheDialogFontAndAPrefixItsOwn) {
  PageLook state = LookState(false);
  const UiFonts& fonts = ApplicationFonts(state.dpi_y);
  const struct {
    int id;
    UiFont font;
  } cases[] = {
      {100, UiFont::kDialogBold}, {101, UiFont::kHeading},    {102, UiFont::kSubheading},
      {103, UiFont::kBanner},     {104, UiFont::kSmall},      {105, UiFont::kSmall},
      {106, UiFont::kDialogBold}, {107, UiFont::kDialogBold}, {108, UiFont::kDialog},
      {109, UiFont::kDialog},     {111, UiFont::kDialog},     {112, UiFont::kDialogBold},
      {113, UiFont::kSmall},      {IDOK, UiFont::kDialog},    {IDCANCEL, UiFont::kDialog},
  };
  InspectTemplate(kProbeTemplate, state, [&](HWND dialog) {
    for (const auto& c : cases) {
      EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, c.id, WM_GETFONT, 0, 0)),
                fonts.Get(c.font))
          << "control " << c.id;
    }
  });

  HFONT credit_font = nullptr;
  Inspected<WelcomePage> welcome(
      [&](HWND dialog) {
        credit_font =
            reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_CREDIT_LINE, WM_GETFONT, 0, 0));
      },
      Instance(), state, true, nullptr);
  ASSERT_EQ(welcome.DoModal(), IDOK);
  EXPECT_EQ(credit_font, fonts.Get(UiFont::kSmall));
}

TEST(PagePainting, TheClassicPageShowsThePictureInItsBandOverTheFaceColour) {
  constexpr uint32_t kCorner = 0x302010;
  constexpr uint32_t kRest = 0x3264C8;
  PageLook state = LookState(false);
  const std::vector<uint8_t> header = TwoColourPicture(40, 20, kCorner, kRest);
  state.header_picture = header;
  InspectTemplate(IDD_INFORMATION, state, [&](HWND dialog) {
    const Pixels page = Pixels::OfPage(dialog, state);
    const PageLayout layout = LayoutOf(dialog);
    const Rect picture = HeaderPictureRect(layout.band, 40, 20);
    const uint32_t face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(page.At(2, 2), kCorner) << "the band takes the picture's top-left colour";
    EXPECT_EQ(page.At(picture.left, picture.top), kCorner);
    EXPECT_EQ(page.At(picture.left + 1, picture.top), kRest);
    EXPECT_EQ(page.At(picture.right - 1, picture.bottom - 2), kRest);
    EXPECT_EQ(picture.right, layout.band.right) << "the picture sits in the band's corner";
    EXPECT_EQ(page.At(layout.band.left, layout.band.bottom - 1), face)
        << "the body begins on the band's last row";
    EXPECT_EQ(page.At(page.width() / 2, page.height() / 2), face);
    EXPECT_EQ(page.At(page.width() - 1, page.height() - 1), face);
    EXPECT_TRUE(IsShown(dialog, IDC_HEADER_SEPARATOR));
    EXPECT_TRUE(IsShown(dialog, IDC_BUTTON_SEPARATOR));
  });
}

TEST(PagePainting, TheThemedPageHasItsGradientsAndHidesTheEtchedLines) {
  PageLook state = LookState(true);
  auto tint = [&](Tint t) { return AccentTint(state.accent_hue, t); };
  InspectTemplate(IDD_INFORMATION, state, [&](HWND dialog) {
    const Pixels page = Pixels::OfPage(dialog, state);
    const PageLayout layout = LayoutOf(dialog);
    EXPECT_EQ(page.At(2, 2), kWhite) << "a band without a picture is white";
    EXPECT_EQ(page.At(layout.header_line.left, layout.header_line.top), tint(kHeaderLineTintFrom));
    EXPECT_EQ(page.At(layout.header_line.right - 1, layout.header_line.bottom - 1),
              tint(kHeaderLineTintTo));
    EXPECT_EQ(page.At(0, layout.band.bottom), tint(kBodyTintFrom));
    const uint32_t far_corner =
        page.At(layout.themed_body.right - 1, layout.themed_body.bottom - 1);
    EXPECT_NE(far_corner, tint(kBodyTintFrom));
    EXPECT_EQ(
        far_corner,
        Gradient2DCells(layout.themed_body, tint(kBodyTintFrom), tint(kBodyTintTo)).back().color);
    EXPECT_EQ(page.At(layout.button_line.left, layout.button_line.top), tint(kButtonLineTintFrom));
    // The button area is lower than its 64 strips: the first ones are empty.
    const std::vector<ColorBox> strips = VerticalGradientStrips(
        layout.button_area, tint(kButtonAreaTintFrom), tint(kButtonAreaTintTo));
    const auto first_shown = std::find_if(
        strips.begin(), strips.end(), [](const ColorBox& s) { return s.rect.bottom > s.rect.top; });
    ASSERT_NE(first_shown, strips.end());
    EXPECT_EQ(page.At(0, layout.button_area.top), first_shown->color);
    EXPECT_EQ(page.At(page.width() - 1, page.height() - 1), tint(kButtonAreaTintTo));
    EXPECT_FALSE(IsShown(dialog, IDC_HEADER_SEPARATOR));
    EXPECT_FALSE(IsShown(dialog, IDC_BUTTON_SEPARATOR));
  });
}

TEST(PagePainting, HeaderTextsAreDrawnOnlyWhenAskedAndOnlyOnPagesWithABand) {
  const struct {
    const char* name;
    int template_id;
    bool themed;
    int32_t show_text;
    bool expect_text;
  } cases[] = {
      {"classic page", IDD_INFORMATION, false, 1, true},
      {"themed page", IDD_INFORMATION, true, 1, true},
      {"text switched off", IDD_INFORMATION, false, 0, false},
      {"no separators, classic", IDD_EXIT_SETUP, false, 1, false},
      {"no separators, themed", IDD_EXIT_SETUP, true, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PageLook state = LookState(c.themed);
    state.show_header_text = c.show_text;
    state.header_text_color = kRed;
    InspectTemplate(c.template_id, state, [&](HWND dialog) {
      const Pixels page = Pixels::OfPage(dialog, state);
      RECT client{};
      GetClientRect(dialog, &client);
      const HeaderTextRects text =
          LayOutHeaderText(Rect{0, 0, client.right, client.bottom}, state.dpi_y);
      EXPECT_EQ(page.AnyIn(text.title, kRed), c.expect_text) << "title";
      EXPECT_EQ(page.AnyIn(text.copyright, kRed), c.expect_text) << "copyright line";
      if (c.template_id == IDD_EXIT_SETUP) {
        const uint32_t plain =
            c.themed ? AccentTint(state.accent_hue, kBodyTintFrom) : GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(page.At(0, 0), plain) << "no band on a page without separators";
      }
    });
  }
}

TEST(PaintDib, CopiesAPictureOfTheSameSizeAndStretchesOthersWithoutBlending) {
  const std::vector<uint8_t> picture = TwoColourPicture(2, 2, 0x0000FF, 0x00FF00);
  Pixels same(4, 4);
  same.Capture([&](HDC dc) {
    FillSolid(dc, Rect{0, 0, 4, 4}, 0);
    EXPECT_EQ(PaintDib(dc, Rect{1, 1, 3, 3}, picture), 2);
  });
  EXPECT_EQ(same.At(0, 0), 0u);
  EXPECT_EQ(same.At(1, 1), 0x0000FFu);
  EXPECT_EQ(same.At(2, 1), 0x00FF00u);
  EXPECT_EQ(same.At(2, 2), 0x00FF00u);
  EXPECT_EQ(same.At(3, 3), 0u);

  Pixels doubled(4, 4);
  doubled.Capture([&](HDC dc) { EXPECT_NE(PaintDib(dc, Rect{0, 0, 4, 4}, picture), 0); });
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(doubled.At(x, y), x < 2 && y < 2 ? 0x0000FFu : 0x00FF00u) << x << "," << y;
    }
  }
  Pixels untouched(2, 2);
  untouched.Capture([&](HDC dc) {
    FillSolid(dc, Rect{0, 0, 2, 2}, kWhite);
    EXPECT_EQ(PaintDib(dc, Rect{0, 0, 2, 2}, {}), 0);
  });
  EXPECT_EQ(untouched.At(1, 1), kWhite);
}

TEST(ControlColours, ThemedPagesTintTheOptionsAndLetStaticsShowThePage) {
  PageLook state = LookState(true);
  Inspected<WelcomePage> welcome(
      [&](HWND dialog) {
        HDC dc = CreateCompatibleDC(nullptr);
        auto brush_color = [](HBRUSH brush) {
          LOGBRUSH facts{};
          GetObjectW(brush, sizeof facts, &facts);
          return static_cast<uint32_t>(facts.lbColor);
        };
        for (int id : {IDC_SET_AS_DEFAULT, IDC_START_MENU_ENTRY, IDC_DESKTOP_ICON,
                       IDC_OPEN_DISPLAY_PROPERTIES}) {
          SCOPED_TRACE(id);
          SetBkMode(dc, OPAQUE);
          // Through the dialog procedure, as the check box asks.
          auto brush = reinterpret_cast<HBRUSH>(
              SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))));
          ASSERT_NE(brush, nullptr);
          EXPECT_EQ(brush_color(brush), AccentTint(state.accent_hue, kOptionTint));
          EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
          EXPECT_EQ(GetTextColor(dc), 0u);
        }
        const struct {
          int id;
          UINT message;
          HBRUSH brush;
          uint32_t text;
        } cases[] = {
            {IDC_HEADING, WM_CTLCOLORSTATIC, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), 0},
            {IDC_CREDIT_LINE, WM_CTLCOLORSTATIC, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)),
             kCreditGrey},
            {IDOK, WM_CTLCOLORBTN, nullptr, 0},
        };
        for (const auto& c : cases) {
          SCOPED_TRACE(c.id);
          SetTextColor(dc, kRed);
          EXPECT_EQ(PageControlColor(dialog, dc, GetDlgItem(dialog, c.id), c.message, state),
                    c.brush);
          EXPECT_EQ(GetTextColor(dc), c.text);
        }
        HBRUSH light = PageControlColor(dialog, dc, GetDlgItem(dialog, IDC_OPTIONS_GROUP),
                                        WM_CTLCOLORSTATIC, state);
        EXPECT_EQ(light, GetStockObject(NULL_BRUSH)) << "the group box";
        DeleteDC(dc);
      },
      Instance(), state, true, nullptr);
  ASSERT_EQ(welcome.DoModal(), IDOK);
}

TEST(ControlColours, TheTintsGoOnlyToOptionBoxesAndPicturesWhateverTheirIds) {
  PageLook state = LookState(true);
  const HBRUSH hollow = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  HDC dc = CreateCompatibleDC(nullptr);
  // On the existing-copy page 1004 is the heading and 1005 the description.
  Inspected<ExistingCopyPage> existing(
      [&](HWND dialog) {
        for (int id : {IDC_EXISTING_HEADING, IDC_EXISTING_TEXT}) {
          EXPECT_EQ(PageControlColor(dialog, dc, GetDlgItem(dialog, id), WM_CTLCOLORSTATIC, state),
                    hollow)
              << id;
        }
      },
      Instance(), state, nullptr);
  ASSERT_EQ(existing.DoModal(), IDOK);
  Inspected<ExitConfirmation> quit(
      [&](HWND dialog) {
        HBRUSH brush =
            PageControlColor(dialog, dc, GetDlgItem(dialog, IDC_PICTURE), WM_CTLCOLORSTATIC, state);
        LOGBRUSH facts{};
        ASSERT_TRUE(GetObjectW(brush, sizeof facts, &facts));
        EXPECT_EQ(facts.lbColor, AccentTint(state.accent_hue, kLightTint));
      },
      Instance(), state, nullptr);
  ASSERT_EQ(quit.DoModal(), IDOK);
  DeleteDC(dc);
}

TEST(ControlColours, ClassicPagesOnlyGreyTheCreditLine) {
  PageLook state = LookState(false);
  Inspected<WelcomePage> welcome(
      [&](HWND dialog) {
        HDC dc = CreateCompatibleDC(nullptr);
        SetTextColor(dc, kRed);
        EXPECT_NE(PageControlColor(dialog, dc, GetDlgItem(dialog, IDC_CREDIT_LINE),
                                   WM_CTLCOLORSTATIC, state),
                  nullptr);
        EXPECT_EQ(GetTextColor(dc), kCreditGrey);
        for (int id : {IDC_SET_AS_DEFAULT, IDC_HEADING, IDOK}) {
          EXPECT_EQ(PageControlColor(dialog, dc, GetDlgItem(dialog, id), WM_CTLCOLORSTATIC, state),
                    nullptr)
              << id;
        }
        DeleteDC(dc);
      },
      Instance(), state, true, nullptr);
  ASSERT_EQ(welcome.DoModal(), IDOK);
}

// Checks the picture control of a page: every opaque pixel of the picture
// shows as it is and every transparent one shows the page beneath.
void ExpectPictureOverPage(HWND dialog, const PageLook& state, int bitmap_id) {
  HWND control = GetDlgItem(dialog, IDC_PICTURE);
  auto image = reinterpret_cast<HBITMAP>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(image, nullptr) << "no picture";
  const Pixels shown = Pixels::OfBitmap(image);
  const Pixels page = Pixels::OfPage(dialog, state);
  const std::span<const uint8_t> picture = BitmapResource(Instance(), bitmap_id);
  const std::optional<PictureSize> size = DrawableDibSize(picture);
  ASSERT_TRUE(size);
  ASSERT_GE(shown.width(), size->width);
  ASSERT_GE(shown.height(), size->height);
  const Rect at = ChildRect(dialog, IDC_PICTURE);
  const int left = (shown.width() - size->width) / 2;
  const int top = (shown.height() - size->height) / 2;
  const uint8_t* rows = picture.data() + DibPixelsOffset(picture);
  int opaque = 0, clear = 0;
  for (int y = 0; y < size->height; ++y) {
    for (int x = 0; x < size->width; ++x) {
      const uint8_t* p = rows + 4 * ((size->height - 1 - y) * size->width + x);
      const uint32_t on_screen = shown.At(left + x, top + y);
      if (p[3] == 255) {
        ++opaque;
        EXPECT_EQ(on_screen, uint32_t{p[2]} | p[1] << 8 | p[0] << 16) << x << "," << y;
      } else if (p[3] == 0) {
        ++clear;
        EXPECT_EQ(on_screen, page.At(at.left + left + x, at.top + top + y)) << x << "," << y;
      }
    }
  }
  EXPECT_GT(opaque, 0);
  EXPECT_GT(clear, 0);
}

TEST(PagePictures, ThePicturesLieOverThePageInBothLooks) {
  for (bool themed : {false, true}) {
    SCOPED_TRACE(themed ? "themed" : "classic");
    PageLook state = LookState(themed);
    Inspected<ExitConfirmation> quit([&](HWND d) { ExpectPictureOverPage(d, state, IDB_QUESTION); },
                              Instance(), state, nullptr);
    EXPECT_EQ(quit.DoModal(), IDOK);
    Inspected<ErrorPage> error([&](HWND d) { ExpectPictureOverPage(d, state, IDB_ERROR); },
                               Instance(), state, false, nullptr);
    EXPECT_EQ(error.DoModal(), IDOK);
    Inspected<CopyErrorPrompt> copy([&](HWND d) { ExpectPictureOverPage(d, state, IDB_ERROR); },
                                    Instance(), state, std::string(), nullptr);
    EXPECT_EQ(copy.DoModal(), IDOK);
  }
}

class HelpWindowTest : public testing::WithRichEdit<> {
 protected:
  PageLook state_ = LookState(false);
};

// FR_DOWN of the common dialogs, which the lean <windows.h> leaves out.
constexpr WPARAM kSearchDown = 1;

LONG Find(HWND edit, const char* text) {
  FINDTEXTA find{};
  find.chrg.cpMin = 0;
  find.chrg.cpMax = -1;
  find.lpstrText = text;
  return static_cast<LONG>(
      SendMessageA(edit, EM_FINDTEXT, kSearchDown, reinterpret_cast<LPARAM>(&find)));
}

CHARFORMATA FormatAt(HWND edit, LONG position) {
  SendMessageA(edit, EM_SETSEL, position, position + 1);
  CHARFORMATA format{};
  format.cbSize = sizeof format;
  SendMessageA(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

TEST_F(HelpWindowTest, TheDocumentShowsWithItsFontsIndentsAndTabStops) {
  Inspected<HelpWindow> help(
      [&](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_HELP_TEXT);
        EXPECT_EQ(GetFocus(), edit);
        EXPECT_TRUE(GetWindowLongW(edit, GWL_STYLE) & ES_READONLY);
        EXPECT_EQ(reinterpret_cast<HFONT>(
                      SendDlgItemMessageW(dialog, IDC_HELP_HEADING, WM_GETFONT, 0, 0)),
                  ApplicationFonts(state_.dpi_y).Get(UiFont::kDialog));

        const struct {
          const char* text;
          const char* face;
          LONG twips;
          bool bold;
          uint32_t color;
        } runs[] = {
            {"The Screensaver Installer command-line syntax", "Tahoma", 160, false, 0},
            {"Parameters", "Tahoma", 180, true, 0x808080},
            {"Quiet Mode - ", "Tahoma", 160, true, 0},
            {"Installs the screensaver quietly", "Tahoma", 160, false, 0},
            {"\"/d-\"", "Courier New", 160, true, 0},
            {"Windows\xae XP User Interface", "Tahoma", 160, true, 0},
            {"Command-line Examples", "Tahoma", 180, true, 0x808080},
            {"Install /w /q /f", "Courier New", 180, false, 0},
        };
        for (const auto& run : runs) {
          SCOPED_TRACE(run.text);
          const LONG at = Find(edit, run.text);
          ASSERT_GE(at, 0) << "not in the text";
          const CHARFORMATA format = FormatAt(edit, at);
          EXPECT_STREQ(format.szFaceName, run.face);
          EXPECT_EQ(format.yHeight, run.twips);
          EXPECT_EQ((format.dwEffects & CFE_BOLD) != 0, run.bold);
          const uint32_t color = (format.dwEffects & CFE_AUTOCOLOR) ? 0 : format.crTextColor;
          EXPECT_EQ(color, run.color);
        }

        const struct {
          const char* text;
          LONG start, offset;
          std::vector<LONG> tabs;
        } paragraphs[] = {
            {"The Screensaver Installer", 180, 2340, {1080, 2520}},
            {"Create a Start Menu Entry - ", 180, 2160, {1080, 2340}},
            {"Automatically uninstall the screensaver:", 180, 270, {450}},
            {"Install /q /d /s-", 540, 0, {}},
        };
        for (const auto& p : paragraphs) {
          SCOPED_TRACE(p.text);
          const LONG at = Find(edit, p.text);
          ASSERT_GE(at, 0);
          const PARAFORMAT format = testing::ParagraphAt(edit, at);
          EXPECT_EQ(format.dxStartIndent, p.start);
          EXPECT_EQ(format.dxOffset, p.offset);
          EXPECT_EQ(testing::TabStops(format), p.tabs);
          if (p.start == 180) {
            EXPECT_EQ(format.dxRightIndent, p.offset == 270 ? 0 : 144);
          }
        }
      },
      Instance(), state_, nullptr);
  ASSERT_EQ(help.DoModal(), IDOK);
}

TEST_F(HelpWindowTest, CloseEscapeAndTheCloseBoxEndItAsCancel) {
  for (int button : {IDCANCEL, -1}) {
    Driver driver([button](Driver& d) {
      HWND dialog = d.WaitForDialog(L"Screensaver Installation - Command-line Help");
      if (!dialog) return;
      if (button == -1)
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      else
        testing::Press(dialog, button);
    });
    HelpWindow help(Instance(), state_);
    EXPECT_EQ(ToPageResult(help.DoModal()), PageResult::Cancel);
    driver.Join();
    EXPECT_EQ(driver.Failures(), "");
  }
}

TEST_F(HelpWindowTest, StreamingShowsTheBytesGiven) {
  Inspected<HelpWindow> help(
      [&](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_HELP_TEXT);
        SetWindowTextW(edit, L"");
        EXPECT_TRUE(StreamIntoRichEdit(edit, SF_TEXT, {}));
        EXPECT_EQ(GetWindowTextLengthW(edit), 0);
        // More than one piece of the control's stream.
        std::string words;
        while (words.size() < 10000) words += "plain words ";
        EXPECT_TRUE(StreamIntoRichEdit(
            edit, SF_TEXT,
            std::span(reinterpret_cast<const uint8_t*>(words.data()), words.size())));
        EXPECT_EQ(WideToUtf8(WindowText(edit)), words);
        EXPECT_NE(SendMessageW(edit, EM_GETMODIFY, 0, 0), 0);
      },
      Instance(), state_, nullptr);
  ASSERT_EQ(help.DoModal(), IDOK);
}

TEST(AboutBox, ShowsTheIconNameAndVersionAndEndsWithOk) {
  PageLook state = LookState(false);
  Driver driver([](Driver& d) {
    HWND dialog = d.WaitForDialog(L"About Lumiset");
    if (!dialog) return;
    const std::vector<std::wstring> texts = testing::ControlTexts(dialog);
    d.Expect(std::find(texts.begin(), texts.end(), L"Lumiset Version 1.0") != texts.end(),
             "no name and version");
    HWND icon = FindWindowExW(dialog, nullptr, L"Static", nullptr);
    d.Expect(icon && SendMessageW(icon, STM_GETICON, 0, 0) != 0, "no icon");
    testing::Press(dialog, IDOK);
  });
  AboutBox about(Instance(), state);
  EXPECT_EQ(ToPageResult(about.DoModal()), PageResult::Next);
  driver.Join();
  EXPECT_EQ(driver.Failures(), "");
}

}  // namespace
}  // namespace lumiset
