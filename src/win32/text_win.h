#pragma once

#include <string>
#include <string_view>

namespace lumiset {

// Window texts are UTF-16; package texts are bytes in the ANSI code page.
// These convert at the call that needs it, the whole view including any
// NUL. Characters the code page lacks become its default character on the
// way to ANSI. Empty for empty or unconvertible text.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace lumiset
