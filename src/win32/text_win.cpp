#include "win32/text_win.h"

#include <climits>

#include "win32/windows_win.h"

namespace lumiset {

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), n, nullptr, nullptr);
  return ansi;
}

}  // namespace lumiset
