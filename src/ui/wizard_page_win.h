#pragma once

#include <string>
#include <string_view>

#include "ui/page_look.h"
#include "wizard/page_results.h"
#include "win32/windows_win.h"
#include "ui/dialog_win.h"
#include "win32/gdi_win.h"
#include "ui/ui_fonts_win.h"

namespace lumiset {

// The result of a modal page as the flow reads it: the button ids Next (1)
// and Back (3) stand for themselves; every other ending (Cancel, Escape,
// the close box, a dialog that could not be shown) is Cancel.
PageResult ToPageResult(INT_PTR code);

// Whether a character, as the first of a control's template text, is a
// style prefix: "@" bold, "!" heading, "$" subheading, "#" banner, "*" and
// the pound sign small.
bool IsStylePrefix(wchar_t c);

// The text with every placeholder ({ScrName}, ...) replaced through
// ExpandPlaceholders. A text whose expansion would exceed kMaxExpandedText
// comes back unchanged.
std::wstring ExpandPlaceholdersInWindowText(std::wstring_view text, const PageLook& look);

// The base of every page. It loads the template of the current language
// (falling back to the English base when the language has no copy), centres
// the dialog in PlacementRect, paints the page in the classic or the themed
// look and answers the controls' colour requests, and when the controls are
// loaded gives each the dialog font and rewrites their texts: a style prefix
// is removed and selects the control's font, and placeholders are expanded.
class WizardPage : public CDialog {
 public:
  WizardPage(HINSTANCE instance, int base_template_id, const PageLook& look, HWND parent = nullptr);

 protected:
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  // kLoad: the font and text pass over every control. Pages call this first.
  bool DoDataExchange(DataExchange direction) override;

  // Paints the page background into `dc`; true when it did, false to leave
  // the erase to the system.
  virtual bool PaintPageBackground(HDC dc);
  // The brush for a control's colour request (`message` is the
  // WM_CTLCOLOR* kind), or null for the system's default.
  virtual HBRUSH ControlColor(HDC dc, HWND control, UINT message);
  // The font a style prefix selects, or null to keep the dialog font.
  virtual HFONT PrefixFont(wchar_t prefix);

  // String `base_id` of the program's resources in the page's language
  // (the English one when the language has none); empty when missing.
  std::wstring LocalizedString(int base_id) const;
  // Shows or hides every control with this id (several may share one).
  void ShowItems(int id, bool show) const;
  // Sets the application icon (resource 128), when it exists, as the big
  // and the small window icon.
  void SetApplicationIcon() const;
  // Shows bitmap resource `bitmap_id` (32 bits with opacity) in the
  // picture control (IDC_PICTURE) over the painted page, from the next
  // time the controls are loaded.
  void SetPicture(int bitmap_id) { picture_id_ = bitmap_id; }

  const PageLook& look() const { return look_; }
  const UiFonts& fonts() const { return ApplicationFonts(look_.dpi_y); }

 private:
  void CenterInPlacementRect() const;
  void ApplyDialogFonts();
  void RewriteControlText(HWND control);
  void ShowPicture();

  const PageLook& look_;
  int picture_id_ = 0;
  // The picture control's image; the control does not own it.
  ScopedBitmap picture_;
};

}  // namespace lumiset
