#pragma once

#include <cstdint>
#include <span>

#include "ui/page_look.h"
#include "win32/windows_win.h"
#include "win32/gdi_win.h"
#include "ui/look.h"
#include "ui/ui_fonts_win.h"

namespace lumiset {

// Fills through the device context's own brush, so no brush is made.
void FillSolid(HDC dc, const Rect& r, uint32_t color);
// The gradients of the themed look (see Gradient2DCells and the strips).
void FillGradient2D(HDC dc, const Rect& r, uint32_t from, uint32_t to);
void FillGradientHorizontal(HDC dc, const Rect& r, uint32_t from, uint32_t to);
void FillGradientVertical(HDC dc, const Rect& r, uint32_t from, uint32_t to);

// Draws a packed bitmap whole into `destination`: copied when the sizes
// match, else stretched by dropping or repeating rows and columns. The
// number of scan lines drawn; 0 for a bitmap that cannot be drawn.
int PaintDib(HDC dc, const Rect& destination, std::span<const uint8_t> dib);

// Paints the whole client area of a dialog into `dc`: the header band with
// the picture and the header texts, the body, the lines and the button
// area, in the classic or the themed look; a dialog without both separator
// controls gets a plain background. The themed look hides the separators.
void PaintPage(HWND dialog, HDC dc, const PageLook& look, const UiFonts& fonts);
// PaintPage into an off-screen bitmap, then one copy into `dc`, so the
// page never shows half painted.
void PaintPageBuffered(HWND dialog, HDC dc, const PageLook& look, const UiFonts& fonts);

// Answers a control's colour request (`message` is its WM_CTLCOLOR* kind):
// sets the text colour and background mode in `dc` and returns the brush,
// or null to leave the request to the system. The credit line is grey in
// both looks. The themed look writes black on a transparent background:
// the welcome page's option boxes on a tint of the accent, a picture
// control on a lighter one, other statics on the painted page.
HBRUSH PageControlColor(HWND dialog, HDC dc, HWND control, UINT message, const PageLook& look);

// The bytes of a bitmap resource (a packed bitmap); empty when missing.
std::span<const uint8_t> BitmapResource(HINSTANCE instance, int id);

// A bitmap as large as `control` (or as the picture, when that is larger):
// the page as PaintPage draws it under the control, with the 32-bit
// `picture` laid over its centre through the picture's opacity. Null when
// there is no control or the picture cannot be drawn.
ScopedBitmap ComposePagePicture(HWND dialog, HWND control, std::span<const uint8_t> picture,
                                const PageLook& look, const UiFonts& fonts);

}  // namespace lumiset
