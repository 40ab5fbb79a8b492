#pragma once
// Command-line handling for the screensaver host protocol.
//
// Windows (and anything else that drives a screensaver) starts the .scr with
// one switch: /s to run, /c to configure, /p to draw into a preview window.
// Hosts disagree on the spelling ("/s", "-S", "/p 1234", "/p:1234"), so the
// parser accepts all of them. It is kept free of <windows.h> so the tests can
// exercise it on its own.
#include <cstdint>
#include <string_view>

namespace starfield {

enum class Mode {
  Saver,      // /s: full screen until the user touches something
  Configure,  // /c, or no argument at all: the settings dialog
  Preview,    // /p HWND: draw inside the host's preview pane
  Password,   // /a HWND: legacy password change; we keep no password
  Invalid,    // anything else: tell the user instead of guessing
};

struct Args {
  Mode mode = Mode::Invalid;
  bool hasWindow = false;
  // Window handles carry only 32 significant bits, even from 64-bit hosts,
  // so a 32-bit value is all we ever need to keep.
  std::uint32_t window = 0;
};

namespace detail {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Reads a decimal window handle. Hosts format it unsigned, signed, or as a
// sign-extended 64-bit number; all three name the same window as long as the
// value fits in 32 bits, so anything else is rejected rather than truncated
// into some unrelated window.
constexpr bool parseHandle(std::string_view s, std::uint32_t& out) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  std::uint64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    const unsigned digit = static_cast<unsigned>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (negative) {
    if (value > 0x80000000ull) return false;
    out = static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(value));
    return true;
  }
  if (value > 0xFFFFFFFFull && value < 0xFFFFFFFF80000000ull) return false;
  out = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace detail

// `commandLine` is everything after the program name, as WinMain receives it.
constexpr Args parseArgs(std::string_view commandLine) {
  std::string_view s = detail::trim(commandLine);
  if (s.empty()) return Args{Mode::Configure};
  if (s.size() < 2 || (s[0] != '/' && s[0] != '-')) return Args{};

  char letter = s[1];
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');

  // The handle is either glued on with a colon or follows after blanks; any
  // other character means a longer word such as "/set", which we do not know.
  std::string_view rest = s.substr(2);
  bool colon = false;
  if (!rest.empty() && rest.front() == ':') {
    colon = true;
    rest.remove_prefix(1);
  } else if (!rest.empty() && !detail::isBlank(rest.front())) {
    return Args{};
  }
  rest = detail::trim(rest);

  switch (letter) {
    case 's':
      if (colon || !rest.empty()) return Args{};
      return Args{Mode::Saver};
    case 'c':
    case 'a': {
      const Mode mode = letter == 'c' ? Mode::Configure : Mode::Password;
      if (rest.empty()) return colon ? Args{} : Args{mode};
      Args args{mode, true, 0};
      if (!detail::parseHandle(rest, args.window)) return Args{};
      return args;
    }
    case 'p': {
      // A preview request without a usable handle is still a preview request:
      // the caller is a program, not a person, so it gets an exit code rather
      // than a dialog nobody asked for.
      Args args{Mode::Preview};
      args.hasWindow = detail::parseHandle(rest, args.window);
      return args;
    }
    default:
      return Args{};
  }
}

}  // namespace starfield
