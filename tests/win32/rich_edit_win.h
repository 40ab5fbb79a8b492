#pragma once

// What the tests of the help window share: its rich edit control's library
// and a look at the control's paragraphs.
#include <gtest/gtest.h>
#include <richedit.h>

#include <vector>

#include "win32/scoped_handle_win.h"
#include "win32/windows_win.h"

namespace lumiset::testing {

// A test (of GoogleTest's kind `Base`) that shows a rich edit control: the
// rich edit 1.0 library, which registers the "RICHEDIT" window class, stays
// loaded while it runs.
template <typename Base = ::testing::Test>
class WithRichEdit : public Base {
 protected:
  void SetUp() override {
    rich_edit_.Reset(LoadLibraryA("riched32.dll"));
    ASSERT_TRUE(rich_edit_) << "no rich edit library";
  }

 private:
  ScopedModule rich_edit_;
};

// The format of the paragraph at `position`, which the call selects.
inline PARAFORMAT ParagraphAt(HWND edit, LONG position) {
  SendMessageW(edit, EM_SETSEL, position, position);
  PARAFORMAT format{};
  format.cbSize = sizeof format;
  SendMessageW(edit, EM_GETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&format));
  return format;
}

// A paragraph's tab stops, in twips.
inline std::vector<LONG> TabStops(const PARAFORMAT& format) {
  std::vector<LONG> tabs;
  for (int i = 0; i < format.cTabCount; ++i) tabs.push_back(format.rgxTabs[i] & 0xFFFFFF);
  return tabs;
}

}  // namespace lumiset::testing
