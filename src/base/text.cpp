#include "base/text.h"

namespace lumiset {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t i = 0;
  while (true) {
    const size_t hit = from.empty() ? std::string_view::npos : text.find(from, i);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(i, hit - i));
    out.append(to);
    i = hit + from.size();
  }
  out.append(text.substr(i));
  return out;
}

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

}  // namespace lumiset
