#include "console.h"

#include <nlohmann/json.hpp>

namespace lumipack {
namespace {

using nlohmann::json;

json OrNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }
json OrNull(uint32_t number) { return number == 0 ? json(nullptr) : json(number); }

void PrintJson(std::ostream& out, const char* type, std::string_view message, const Place& place) {
  const json j = {{"type", type},
                  {"message", std::string(message)},
                  {"file", OrNull(place.file)},
                  {"line", OrNull(place.line)},
                  {"column", OrNull(place.column)},
                  {"key", OrNull(place.key)}};
  out << j.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

// A message for people with the manifest line it is about in front, as
// compilers print it, unless the message already names that line.
std::string Located(std::string_view message, const Place& place) {
  if (place.file.empty() || place.line == 0) return std::string(message);
  const std::string where = place.file + ":" + std::to_string(place.line);
  if (message.find(where) != std::string_view::npos) return std::string(message);
  return where + ": " + std::string(message);
}

}  // namespace

void Console::Warn(std::string_view message, const Place& place) {
  ++warnings;
  if (format == MessageFormat::kJson) {
    PrintJson(out, "warning", message, place);
  } else {
    err << "lumipack: warning: " << Located(message, place) << '\n';
  }
}

void Console::Error(std::string_view message, const Place& place) {
  if (format == MessageFormat::kJson) {
    PrintJson(out, "error", message, place);
  } else {
    err << "lumipack: error: " << Located(message, place) << '\n';
  }
}

void Console::Note(std::string_view message) {
  if (verbose) err << "lumipack: " << message << '\n';
}

}  // namespace lumipack
