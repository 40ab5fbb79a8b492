#include "manifest_schema.h"

#include <cctype>
#include <cstdint>
#include <string>

#include "language.h"
#include "manifest_keys.h"

namespace lumipack {
namespace {

using nlohmann::json;

constexpr const char* kDraft = "https://json-schema.org/draft/2020-12/schema";

json Integer(uint64_t max) { return {{"type", "integer"}, {"minimum", 0}, {"maximum", max}}; }

// A string with a variable in it, which only the build can check.
json WithVariable() { return {{"type", "string"}, {"pattern", "\\$\\{"}}; }

// The reader takes language names in any letter case; JSON Schema patterns
// have no flag for that, so each letter becomes a class.
std::string AnyCase(std::string_view word) {
  std::string pattern;
  for (char c : word) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    pattern += upper == lower ? std::string(1, c) : std::string{'[', upper, lower, ']'};
  }
  return pattern;
}

json Fixed(std::initializer_list<const char*> names) {
  return {{"anyOf", json::array({{{"enum", names}}, WithVariable()})}};
}

json ValueSchema(KeyType type) {
  switch (type) {
    case KeyType::kText:
      return {{"type", "string"}};
    case KeyType::kPath:
      return {{"type", "string"}, {"minLength", 1}};
    case KeyType::kFlag:
      return {{"anyOf", json::array({{{"type", "boolean"}}, Integer(UINT16_MAX)})}};
    case KeyType::kColour:
      return {{"anyOf", json::array({{{"type", "string"}, {"pattern", "^#[0-9A-Fa-f]{6}$"}},
                                     Integer(UINT32_MAX), WithVariable()})}};
    case KeyType::kLanguage: {
      json names = json::array();
      std::string pattern;
      for (uint16_t i = 0; i <= kLastLanguage; ++i) {
        names.push_back(std::string(LanguageName(i)));
        pattern += (i == 0 ? "" : "|") + AnyCase(LanguageName(i));
      }
      return {{"anyOf", json::array({{{"enum", names}},
                                     {{"type", "string"}, {"pattern", "^(" + pattern + ")$"}},
                                     Integer(UINT16_MAX), WithVariable()})}};
    }
    case KeyType::kArch:
      return Fixed({"x86", "x64", "auto"});
    case KeyType::kCompression:
      return Fixed({"best", "fast"});
    case KeyType::kUninstaller:
      return {{"anyOf", json::array({{{"type", "string"}, {"minLength", 1}},
                                     {{"type", "boolean"}}})}};
    case KeyType::kNumber16:
      return Integer(UINT16_MAX);
    case KeyType::kPair:
      return {{"type", "array"}, {"items", Integer(UINT32_MAX)}, {"minItems", 2}, {"maxItems", 2}};
    case KeyType::kNumbers:
      return {{"type", "array"}, {"items", Integer(UINT16_MAX)}, {"minItems", 4}, {"maxItems", 4}};
    case KeyType::kTexts:
      return {{"type", "array"},
              {"items", {{"type", "string"}}},
              {"minItems", 4},
              {"maxItems", 4}};
    case KeyType::kTextList:
      return {{"type", "array"}, {"items", {{"type", "string"}}}, {"minItems", 0}};
    case KeyType::kVersionText:
      return {{"type", "string"}};
  }
  return json::object();
}

json Object() {
  return {{"type", "object"}, {"additionalProperties", false}, {"properties", json::object()}};
}

}  // namespace

json ManifestSchema() {
  json schema = {{"$schema", kDraft},
                 {"title", "lumipack manifest"},
                 {"description",
                  "The settings of one screensaver installer. Strings may use ${NAME} (from "
                  "-D NAME=VALUE) and ${env:NAME}; $${ is a literal ${."}};
  schema.update(Object());
  for (std::string_view table : ManifestTables()) {
    json object = Object();
    if (std::string_view d = TableDescription(table); !d.empty()) {
      object["description"] = std::string(d);
    }
    schema["properties"][std::string(table)] = object;
  }
  for (const ManifestKey& key : ManifestKeys()) {
    json value = ValueSchema(key.type);
    value["description"] = std::string(key.description);
    const std::string_view table = TableOf(key.name);
    json& properties =
        table.empty() ? schema["properties"] : schema["properties"][std::string(table)]["properties"];
    properties[std::string(LeafOf(key.name))] = value;
  }
  return schema;
}

}  // namespace lumipack
