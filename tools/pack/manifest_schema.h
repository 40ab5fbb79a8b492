#pragma once

#include <nlohmann/json.hpp>

namespace lumipack {

// A JSON Schema (draft 2020-12) of the manifest, made from the reader's own
// key table, so editors can check and complete manifests. Values are
// described as written: a string holding ${...} passes where a name or a
// colour is expected, since its value is known only at build time.
nlohmann::json ManifestSchema();

}  // namespace lumipack
