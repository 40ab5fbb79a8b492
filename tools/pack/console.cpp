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

}  // namespace

void Console::Warn(std::string_view message, const Place& place) {
  ++warnings;
  if (format == MessageFormat::kJson) {
    PrintJson(out, "warning", message, place);
  } else {
    err << "lumipack: warning: " << message << '\n';
  }
}

void Console::Error(std::string_view message, const Place& place) {
  if (format == MessageFormat::kJson) {
    PrintJson(out, "error", message, place);
  } else {
    err << "lumipack: error: " << message << '\n';
  }
}

void Console::Note(std::string_view message) {
  if (verbose) err << "lumipack: " << message << '\n';
}

}  // namespace lumipack
