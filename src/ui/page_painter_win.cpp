#include "ui/page_painter_win.h"

#include <algorithm>
#include <optional>
#include <string>

#include "resource.h"
#include "ui/dialog_win.h"
#include "package/dib.h"

namespace lumiset {
namespace {

// RT_BITMAP, spelt as a number because the macro follows the ANSI setting.
constexpr WORD kBitmapResourceType = 2;
constexpr uint32_t kBlack = 0x000000;

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }
Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

void FillBoxes(HDC dc, const std::vector<ColorBox>& boxes) {
  for (const ColorBox& box : boxes) FillSolid(dc, box.rect, box.color);
}

// A child window's rectangle in its dialog's client coordinates.
Rect ChildRect(HWND dialog, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return ToRect(r);
}

Rect ClientRect(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return ToRect(r);
}

uint32_t Tinted(const PageLook& look, Tint tint) { return AccentTint(look.accent_hue, tint); }

// Hiding a shown control makes the dialog paint again; one already hidden
// is left alone, also while the dialog itself is not on screen yet.
void HideIfShown(HWND window) {
  if (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) ShowWindow(window, SW_HIDE);
}

void DrawHeaderTexts(HDC dc, const Rect& client, const PageLook& look, const UiFonts& fonts) {
  const HeaderTextRects rects = LayOutHeaderText(client, look.dpi_y);
  const int previous_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF previous_color = SetTextColor(dc, look.header_text_color);
  {
    // The title and the copyright line are drawn as one line each, cut at
    // the rectangle, "&" shown as is.
    ScopedSelection title_font(dc, fonts.Get(UiFont::kHeaderTitle));
    const std::wstring title = Utf8ToWide(look.title);
    RECT r = ToRECT(rects.title);
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &r, DT_NOPREFIX);
  }
  {
    ScopedSelection line_font(dc, fonts.Get(UiFont::kDialogBold));
    const std::wstring copyright = Utf8ToWide(look.copyright_line);
    RECT r = ToRECT(rects.copyright);
    DrawTextW(dc, copyright.c_str(), static_cast<int>(copyright.size()), &r, DT_NOPREFIX);
  }
  SetTextColor(dc, previous_color);
  SetBkMode(dc, previous_mode);
}

bool HasClass(HWND window, const wchar_t* name) {
  wchar_t found[16] = {};
  return GetClassNameW(window, found, 16) > 0 && lstrcmpiW(found, name) == 0;
}

bool IsCheckBox(HWND control) {
  const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  return HasClass(control, L"Button") && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ||
                                          type == BS_3STATE || type == BS_AUTO3STATE);
}

bool IsPictureStatic(HWND control) {
  const LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
  return HasClass(control, L"Static") && (type == SS_BITMAP || type == SS_ICON);
}

// The two brushes of the themed control colours. They live as long as the
// process; a second accent hue (only tests change it) makes them anew.
struct TintBrushes {
  uint32_t option_color = 0;
  uint32_t light_color = 0;
  ScopedBrush option;
  ScopedBrush light;
};

const TintBrushes& TintBrushesFor(double accent_hue) {
  static TintBrushes brushes;
  const uint32_t option_color = AccentTint(accent_hue, kOptionTint);
  const uint32_t light_color = AccentTint(accent_hue, kLightTint);
  if (!brushes.option || brushes.option_color != option_color) {
    brushes.option.Reset(CreateSolidBrush(option_color));
    brushes.option_color = option_color;
  }
  if (!brushes.light || brushes.light_color != light_color) {
    brushes.light.Reset(CreateSolidBrush(light_color));
    brushes.light_color = light_color;
  }
  return brushes;
}

}  // namespace

void FillSolid(HDC dc, const Rect& r, uint32_t color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const RECT rect = ToRECT(r);
  const COLORREF previous = SetDCBrushColor(dc, color);
  FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  SetDCBrushColor(dc, previous);
}

void FillGradient2D(HDC dc, const Rect& r, uint32_t from, uint32_t to) {
  FillBoxes(dc, Gradient2DCells(r, from, to));
}

void FillGradientHorizontal(HDC dc, const Rect& r, uint32_t from, uint32_t to) {
  FillBoxes(dc, HorizontalGradientStrips(r, from, to));
}

void FillGradientVertical(HDC dc, const Rect& r, uint32_t from, uint32_t to) {
  FillBoxes(dc, VerticalGradientStrips(r, from, to));
}

int PaintDib(HDC dc, const Rect& destination, std::span<const uint8_t> dib) {
  const std::optional<PictureSize> size = DrawableDibSize(dib);
  if (!size) return 0;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
  const uint8_t* pixels = dib.data() + DibPixelsOffset(dib);
  const int width = destination.right - destination.left;
  const int height = destination.bottom - destination.top;
  if (width == size->width && height == size->height) {
    return SetDIBitsToDevice(dc, destination.left, destination.top, static_cast<DWORD>(width),
                             static_cast<DWORD>(height), 0, 0, 0, static_cast<UINT>(size->height),
                             pixels, info, DIB_RGB_COLORS);
  }
  const int previous_mode = SetStretchBltMode(dc, COLORONCOLOR);
  const int lines = StretchDIBits(dc, destination.left, destination.top, width, height, 0, 0,
                                  size->width, size->height, pixels, info, DIB_RGB_COLORS, SRCCOPY);
  if (previous_mode) SetStretchBltMode(dc, previous_mode);
  return lines;
}

void PaintPage(HWND dialog, HDC dc, const PageLook& look, const UiFonts& fonts) {
  const Rect client = ClientRect(dialog);
  const bool themed = look.themed != 0;
  const uint32_t face = GetSysColor(COLOR_BTNFACE);
  HWND header_separator = GetDlgItem(dialog, IDC_HEADER_SEPARATOR);
  HWND button_separator = GetDlgItem(dialog, IDC_BUTTON_SEPARATOR);
  if (!header_separator || !button_separator) {
    if (themed) {
      FillGradient2D(dc, client, Tinted(look, kBodyTintFrom), Tinted(look, kBodyTintTo));
    } else {
      FillSolid(dc, client, face);
    }
    return;
  }

  const PageLayout layout =
      LayOutPage(client, ChildRect(dialog, header_separator), ChildRect(dialog, button_separator));
  const std::span<const uint8_t> picture = look.header_picture;
  if (const std::optional<PictureSize> size = DrawableDibSize(picture)) {
    FillSolid(dc, layout.band, DibPixelColor(picture, 0, 0));
    PaintDib(dc, HeaderPictureRect(layout.band, size->width, size->height), picture);
  } else {
    FillSolid(dc, layout.band, kWhite);
  }

  if (themed) {
    HideIfShown(header_separator);
    HideIfShown(button_separator);
    FillGradient2D(dc, layout.themed_body, Tinted(look, kBodyTintFrom),
                   Tinted(look, kBodyTintTo));
    FillGradientHorizontal(dc, layout.header_line, Tinted(look, kHeaderLineTintFrom),
                           Tinted(look, kHeaderLineTintTo));
    FillGradientHorizontal(dc, layout.button_line, Tinted(look, kButtonLineTintFrom),
                           Tinted(look, kButtonLineTintTo));
    FillGradientVertical(dc, layout.button_area, Tinted(look, kButtonAreaTintFrom),
                         Tinted(look, kButtonAreaTintTo));
  } else {
    FillSolid(dc, layout.classic_body, face);
  }

  if (look.show_header_text) DrawHeaderTexts(dc, client, look, fonts);
}

void PaintPageBuffered(HWND dialog, HDC dc, const PageLook& look, const UiFonts& fonts) {
  const Rect client = ClientRect(dialog);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  ScopedMemoryDc memory(CreateCompatibleDC(dc));
  ScopedBitmap canvas(memory ? CreateCompatibleBitmap(dc, width, height) : nullptr);
  if (!canvas) {
    PaintPage(dialog, dc, look, fonts);
    return;
  }
  ScopedSelection selection(memory.get(), canvas.get());
  PaintPage(dialog, memory.get(), look, fonts);
  BitBlt(dc, client.left, client.top, width, height, memory.get(), client.left, client.top,
         SRCCOPY);
}

HBRUSH PageControlColor(HWND dialog, HDC dc, HWND control, UINT message, const PageLook& look) {
  const int id = GetDlgCtrlID(control);
  if (!look.themed) {
    if (id != IDC_CREDIT_LINE) return nullptr;
    // The system's colours and brush for the control, with grey text.
    auto brush = reinterpret_cast<HBRUSH>(DefWindowProcW(
        dialog, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    SetTextColor(dc, kCreditGrey);
    return brush;
  }
  SetTextColor(dc, id == IDC_CREDIT_LINE ? kCreditGrey : kBlack);
  // The tints go by id and kind together: the same ids name texts on other
  // pages (the existing copy's description, the progress page's hint),
  // which would show as tinted boxes on the gradient.
  const bool option_id = id == IDC_SET_AS_DEFAULT || id == IDC_START_MENU_ENTRY ||
                         id == IDC_DESKTOP_ICON || id == IDC_OPEN_DISPLAY_PROPERTIES;
  if (option_id && IsCheckBox(control)) {
    SetBkMode(dc, TRANSPARENT);
    return TintBrushesFor(look.accent_hue).option.get();
  }
  if (id == IDC_PICTURE && IsPictureStatic(control)) {
    SetBkMode(dc, TRANSPARENT);
    return TintBrushesFor(look.accent_hue).light.get();
  }
  if (message != WM_CTLCOLORSTATIC) return nullptr;
  // Statics let the painted page show through.
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

std::span<const uint8_t> BitmapResource(HINSTANCE instance, int id) {
  HRSRC found =
      FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(kBitmapResourceType));
  if (!found) return {};
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return {};
  return {bytes, SizeofResource(instance, found)};
}

ScopedBitmap ComposePagePicture(HWND dialog, HWND control, std::span<const uint8_t> picture,
                                const PageLook& look, const UiFonts& fonts) {
  const std::optional<PictureSize> size = DrawableDibSize(picture);
  if (!size || !control) return {};
  // A control smaller than the picture grows to it from its top-left
  // corner, as a bitmap static does.
  Rect area = ChildRect(dialog, control);
  area.right = std::max(area.right, area.left + size->width);
  area.bottom = std::max(area.bottom, area.top + size->height);
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top-down, as BlendDibOver takes them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  ScopedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ScopedMemoryDc memory(CreateCompatibleDC(nullptr));
  if (!bitmap || !bits || !memory) return {};
  {
    ScopedSelection selection(memory.get(), bitmap.get());
    SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
    PaintPage(dialog, memory.get(), look, fonts);
    GdiFlush();
  }
  const std::span<uint32_t> pixels(static_cast<uint32_t*>(bits),
                                   static_cast<size_t>(width) * static_cast<size_t>(height));
  if (!BlendDibOver(picture, pixels, width, height, (width - size->width) / 2,
                    (height - size->height) / 2)) {
    return {};
  }
  return bitmap;
}

}  // namespace lumiset
