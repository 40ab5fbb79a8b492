#include "app_manifest.h"

#include <algorithm>

#include "pe_dependencies.h"
#include "pe_resources.h"

namespace lumipack {
namespace {

constexpr uint16_t kManifestType = 24;  // RT_MANIFEST
// The manifest the loader applies to the process itself.
constexpr uint16_t kProcessManifestId = 1;

std::string TextOf(const std::vector<uint8_t>& data) {
  std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
  if (bytes.starts_with("\xEF\xBB\xBF")) return std::string(bytes.substr(3));
  if (bytes.starts_with("\xFF\xFE")) {
    // UTF-16LE: what a level is written with is ASCII.
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(bytes[i + 1] == 0 ? bytes[i] : '?');
    }
    return text;
  }
  return std::string(bytes);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) { return !IsSpace(c) && c != '=' && c != '/' && c != '>' && c != '<'; }

// The text without its <!-- comments -->; an unclosed one runs to the end.
std::string WithoutComments(std::string_view text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find("<!--", at);
    out.append(text.substr(at, open == std::string_view::npos ? open : open - at));
    if (open == std::string_view::npos) break;
    const size_t close = text.find("-->", open + 4);
    if (close == std::string_view::npos) break;
    at = close + 3;
  }
  return out;
}

// The value of attribute `wanted` in the tag whose attributes start at
// `at`, or nullopt at the tag's end.
std::optional<std::string> AttributeOf(std::string_view text, size_t at, std::string_view wanted) {
  while (at < text.size()) {
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (at >= text.size() || !IsNameChar(text[at])) return std::nullopt;
    const size_t name_start = at;
    while (at < text.size() && IsNameChar(text[at])) ++at;
    const std::string_view name = text.substr(name_start, at - name_start);
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (at >= text.size() || text[at] != '=') return std::nullopt;
    ++at;
    while (at < text.size() && IsSpace(text[at])) ++at;
    if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return std::nullopt;
    const size_t close = text.find(text[at], at + 1);
    if (close == std::string_view::npos) return std::nullopt;
    if (name == wanted) return std::string(text.substr(at + 1, close - at - 1));
    at = close + 1;
  }
  return std::nullopt;
}

}  // namespace

Result<std::optional<std::string>> ReadApplicationManifest(RangeReader& program) {
  std::vector<std::vector<uint8_t>> got;
  const ByteRange headers_range{0, kPeHeadersWindow};
  if (!program.Read({&headers_range, 1}, got)) return Status::Failure("cannot be read");
  const std::optional<PeHeaders> headers = ParsePeHeaders(got[0]);
  if (!headers) return Status::Failure("is not a PE image");
  const uint32_t rva = headers->Directory(kResourceDirectoryIndex).rva;
  if (rva == 0) return std::optional<std::string>();
  const std::optional<ByteRange> range = headers->FileRangeAt(rva, kMaxResourceSectionBytes);
  if (!range) return Status::Failure("its resources lie outside its sections");
  if (!program.Read({&*range, 1}, got)) return Status::Failure("cannot be read");
  Result<std::vector<ResourceEntry>> entries = ParseResourceSection(got[0], rva);
  if (!entries) return Status::Failure("its resources cannot be read: " + entries.message());
  for (const ResourceEntry& e : *entries) {
    if (e.type.name.empty() && e.type.id == kManifestType && e.name.name.empty() &&
        e.name.id == kProcessManifestId) {
      return std::optional<std::string>(TextOf(e.data));
    }
  }
  return std::optional<std::string>();
}

std::optional<std::string> RequestedExecutionLevel(std::string_view manifest) {
  const std::string text = WithoutComments(manifest);
  constexpr std::string_view kElement = "requestedExecutionLevel";
  for (size_t at = text.find(kElement); at != std::string::npos;
       at = text.find(kElement, at + 1)) {
    // "<requestedExecutionLevel" or "<prefix:requestedExecutionLevel".
    size_t start = at;
    if (start > 0 && text[start - 1] == ':') {
      --start;
      while (start > 0 && IsNameChar(text[start - 1]) && text[start - 1] != ':') --start;
    }
    const size_t end = at + kElement.size();
    if (start == 0 || text[start - 1] != '<' || end >= text.size() || IsNameChar(text[end])) {
      continue;
    }
    return AttributeOf(text, end, "level");
  }
  return std::nullopt;
}

}  // namespace lumipack
