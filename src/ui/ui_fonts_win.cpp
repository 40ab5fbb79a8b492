#include "ui/ui_fonts_win.h"

#include <shlobj.h>

#include <string>

#include "base/text.h"
#include "win32/scoped_handle_win.h"

namespace lumiset {
namespace {

constexpr char kTahomaFile[] = "Tahoma.ttf";

// The Fonts folder, or empty when the shell does not know it.
std::string FontsFolder() {
  LPITEMIDLIST folder = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_FONTS, &folder)) || !folder) return {};
  char path[MAX_PATH] = {};
  const bool found = SHGetPathFromIDListA(folder, path) != FALSE;
  CoTaskMemFree(folder);
  return found ? std::string(path) : std::string();
}

}  // namespace

bool HasTahoma() {
  const std::string path = WithBackslash(FontsFolder()) + kTahomaFile;
  WIN32_FIND_DATAA entry{};
  ScopedFind find(FindFirstFileA(path.c_str(), &entry));
  return find && !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

UiFonts::UiFonts(int32_t dpi_y, bool has_tahoma) : has_tahoma_(has_tahoma) {
  for (size_t i = 0; i < kUiFontCount; ++i) {
    const FontFacts facts = UiFontFacts(static_cast<UiFont>(i), has_tahoma);
    fonts_[i].Reset(CreateFontA(FontHeight(facts.points, dpi_y), 0, 0, 0, facts.weight, FALSE,
                                FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                facts.proof_quality ? PROOF_QUALITY : DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, facts.face));
  }
}

const UiFonts& ApplicationFonts(int32_t dpi_y) {
  static const UiFonts fonts(dpi_y, HasTahoma());
  return fonts;
}

}  // namespace lumiset
