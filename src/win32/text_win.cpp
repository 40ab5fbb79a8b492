#include "win32/text_win.h"

#include <climits>

#include "win32/windows_win.h"

namespace lumiset {
namespace {

std::wstring ToWide(UINT code_page, std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), n);
  return wide;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return ToWide(CP_UTF8, text); }

std::wstring AnsiToWide(std::string_view text) { return ToWide(CP_ACP, text); }

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX / 3) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace lumiset
