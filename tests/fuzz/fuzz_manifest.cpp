// Hostile manifests through lumipack's reader, with variables to expand: the
// TOML parser, every key's checks and the ${...} substitution.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > lumipack::kMaxManifestBytes) return 0;
  lumipack::Defines defines;
  defines.values = {{"V", "1.${V}"}, {"EMPTY", ""}};
  defines.environment = [](const std::string& name) -> std::optional<std::string> {
    if (name == "E") return std::string("env");
    return std::nullopt;
  };
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)lumipack::ParseManifest(text, "fuzz.toml", "/fuzz", defines);
  return 0;
}
