#pragma once

#include <string>
#include <string_view>

namespace lumiset {

// The installer's texts are UTF-8; Windows takes UTF-16. The package's own
// texts arrive in the ANSI code page and are turned into UTF-8 once, when
// the package is read. These convert the whole view, including any NUL.
// Empty for empty or unconvertible text; invalid UTF-8 becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

}  // namespace lumiset
