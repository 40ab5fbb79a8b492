#include "version_info.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string_view>
#include <utility>

#include "base/byte_io.h"
#include "utf8.h"

namespace lumipack {
namespace {

constexpr uint16_t kUnicodeCodePage = 1200;
constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kFixedStructVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kOsNtWindows32 = 0x00040004;
constexpr uint32_t kFileTypeApp = 1;
constexpr uint16_t kBinaryValue = 0;
constexpr uint16_t kTextValue = 1;

using lumiset::ByteWriter;
using lumiset::LoadU16;

void Align4(ByteWriter& out) {
  while (out.buffer().size() % 4 != 0) out.buffer().push_back(0);
}

// UTF-16 code units of a UTF-8 text with its terminating zero.
std::u16string Utf16Of(std::string_view utf8) {
  std::u16string out;
  const auto decoded = DecodeUtf8(utf8);
  if (decoded) {
    for (char32_t c : *decoded) {
      if (c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
      } else {
        out += static_cast<char16_t>(c);
      }
    }
  }
  out += u'\0';
  return out;
}

void PutText(ByteWriter& out, std::u16string_view text) {
  for (char16_t c : text) out.U16(c);
}

// One node of the version tree: length, value length, type, key, padding,
// value, padding, children. Its length covers everything but the padding
// after its last child; the value length counts bytes for binary values and
// UTF-16 units for texts.
void PutNode(ByteWriter& out, std::string_view key, uint16_t type,
             size_t value_length, const std::function<void()>& put_value,
             const std::function<void()>& put_children) {
  Align4(out);
  const size_t start = out.buffer().size();
  out.U16(0);
  out.U16(static_cast<uint16_t>(value_length));
  out.U16(type);
  PutText(out, Utf16Of(key));
  Align4(out);
  if (put_value) put_value();
  if (put_children) put_children();
  lumiset::StoreU16(out.buffer(), start, static_cast<uint16_t>(out.buffer().size() - start));
}

uint32_t High(const std::array<uint16_t, 4>& v) { return uint32_t{v[0]} << 16 | v[1]; }
uint32_t Low(const std::array<uint16_t, 4>& v) { return uint32_t{v[2]} << 16 | v[3]; }

}  // namespace

std::string VersionNumbers::Text() const {
  return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
         std::to_string(numbers[2]) + "." + std::to_string(numbers[3]);
}

Result<VersionNumbers> ParseVersionNumbers(std::string_view text) {
  constexpr uint32_t kMaxPart = 0xFFFF;
  const auto is_digit = [&](size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  VersionNumbers version;
  size_t at = (!text.empty() && (text[0] == 'v' || text[0] == 'V') && is_digit(1)) ? 1 : 0;
  if (!is_digit(at)) return version;
  for (size_t part = 0;; ++part) {
    if (part == version.numbers.size()) {
      return Status::Failure("\"" + std::string(text) +
                             "\" has more than four numbers; a Windows version holds four");
    }
    const size_t begin = at;
    uint32_t value = 0;
    while (is_digit(at)) {
      value = value * 10 + static_cast<uint32_t>(text[at] - '0');
      ++at;
      if (value > kMaxPart) {
        while (is_digit(at)) ++at;
        return Status::Failure("\"" + std::string(text) + "\": " +
                               std::string(text.substr(begin, at - begin)) +
                               " is above 65535, the largest number a Windows version holds");
      }
    }
    version.numbers[part] = static_cast<uint16_t>(value);
    version.taken = text.substr(0, at);
    if (at < text.size() && text[at] == '.' && is_digit(at + 1)) {
      ++at;
      continue;
    }
    return version;
  }
}

uint16_t LangIdOfLanguage(uint16_t language) {
  // auto, English (US), French, German, Spanish, Italian, Dutch, Portuguese,
  // Russian: the record's language values in order.
  constexpr uint16_t kLangIds[] = {0x0000, 0x0409, 0x040C, 0x0407, 0x0C0A,
                                   0x0410, 0x0413, 0x0416, 0x0419};
  return language < std::size(kLangIds) ? kLangIds[language] : 0x0000;
}

Result<std::vector<uint8_t>> BuildVersionResource(const VersionInfo& info) {
  const Result<VersionNumbers> file_version = ParseVersionNumbers(info.file_version);
  if (!file_version) return Status::Failure("version info: FileVersion " + file_version.message());
  const Result<VersionNumbers> product_version = ParseVersionNumbers(info.product_version);
  if (!product_version) {
    return Status::Failure("version info: ProductVersion " + product_version.message());
  }
  const std::array<uint16_t, 4>& file_numbers = file_version->numbers;
  const std::array<uint16_t, 4>& product_numbers = product_version->numbers;
  const std::pair<std::string_view, const std::string*> strings[] = {
      {"CompanyName", &info.company},
      {"FileDescription", &info.description},
      {"FileVersion", &info.file_version},
      {"InternalName", &info.original_filename},
      {"LegalCopyright", &info.copyright},
      {"OriginalFilename", &info.original_filename},
      {"ProductName", &info.product_name},
      {"ProductVersion", &info.product_version},
  };
  for (const auto& [key, value] : strings) {
    const auto decoded = DecodeUtf8(*value);
    if (!decoded) return Status::Failure("version info: " + std::string(key) + " is not UTF-8");
    if (decoded->size() > kMaxVersionText) {
      return Status::Failure("version info: " + std::string(key) + " is longer than " +
                             std::to_string(kMaxVersionText) + " characters");
    }
  }
  char table_key[9];
  std::snprintf(table_key, sizeof table_key, "%04X%04X", info.langid, kUnicodeCodePage);

  ByteWriter out;
  PutNode(
      out, "VS_VERSION_INFO", kBinaryValue, 13 * 4,
      [&] {
        out.U32(kFixedSignature);
        out.U32(kFixedStructVersion);
        out.U32(High(file_numbers));
        out.U32(Low(file_numbers));
        out.U32(High(product_numbers));
        out.U32(Low(product_numbers));
        out.U32(kFileFlagsMask);
        out.U32(0);  // flags: a release build
        out.U32(kOsNtWindows32);
        out.U32(kFileTypeApp);
        out.U32(0);  // subtype
        out.U32(0);  // date, high
        out.U32(0);  // date, low
      },
      [&] {
        PutNode(out, "StringFileInfo", kTextValue, 0, nullptr, [&] {
          PutNode(out, table_key, kTextValue, 0, nullptr, [&] {
            for (const auto& [key, value] : strings) {
              if (value->empty()) continue;
              const std::u16string text = Utf16Of(*value);
              PutNode(out, key, kTextValue, text.size(), [&] { PutText(out, text); }, nullptr);
            }
          });
        });
        PutNode(out, "VarFileInfo", kTextValue, 0, nullptr, [&] {
          PutNode(out, "Translation", kBinaryValue, 4, [&] {
            out.U16(info.langid);
            out.U16(kUnicodeCodePage);
          }, nullptr);
        });
      });
  return out.Take();
}

namespace {

// One node of the version tree as read: where its key, value and children
// lie, all within the node's own length.
struct VersionNode {
  std::u16string key;
  std::span<const uint8_t> value;     // the value's bytes (texts: with their zero)
  std::span<const uint8_t> children;  // the rest of the node
};

size_t Aligned4(size_t n) { return (n + 3) & ~size_t{3}; }

// The node at the start of `bytes`, and the bytes after it (from the next
// 4-byte boundary).
std::optional<std::pair<VersionNode, std::span<const uint8_t>>> ReadNode(
    std::span<const uint8_t> bytes) {
  if (bytes.size() < 6) return std::nullopt;
  const size_t length = LoadU16(bytes, 0);
  const size_t value_length = LoadU16(bytes, 2);
  const uint16_t type = LoadU16(bytes, 4);
  if (length < 6 || length > bytes.size()) return std::nullopt;
  const std::span<const uint8_t> node = bytes.first(length);
  VersionNode out;
  size_t at = 6;
  for (;; at += 2) {
    if (at + 2 > node.size()) return std::nullopt;
    const char16_t c = LoadU16(node, at);
    if (c == 0) break;
    out.key += c;
  }
  at = Aligned4(at + 2);
  const size_t value_bytes = type == kTextValue ? value_length * 2 : value_length;
  if (at > node.size() || value_bytes > node.size() - at) return std::nullopt;
  out.value = node.subspan(at, value_bytes);
  at = std::min(node.size(), Aligned4(at + value_bytes));
  out.children = node.subspan(at);
  return std::pair{out, bytes.subspan(std::min(bytes.size(), Aligned4(length)))};
}

std::string Utf8OfUtf16(std::span<const uint8_t> bytes) {
  std::u32string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t c = LoadU16(bytes, i);
    if (c == 0) break;
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      const char32_t low = LoadU16(bytes, i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;  // a lone surrogate
    text += c;
  }
  return EncodeUtf8(text);
}

}  // namespace

std::optional<std::map<std::string, std::string>> ReadVersionStrings(
    std::span<const uint8_t> resource) {
  const auto root = ReadNode(resource);
  if (!root || root->first.key != u"VS_VERSION_INFO") return std::nullopt;
  std::map<std::string, std::string> strings;
  for (std::span<const uint8_t> rest = root->first.children; !rest.empty();) {
    const auto info = ReadNode(rest);
    if (!info) return std::nullopt;
    rest = info->second;
    if (info->first.key != u"StringFileInfo") continue;
    const auto table = ReadNode(info->first.children);
    if (!table) return std::nullopt;
    for (std::span<const uint8_t> items = table->first.children; !items.empty();) {
      const auto item = ReadNode(items);
      if (!item) return std::nullopt;
      items = item->second;
      std::string key;
      for (char16_t c : item->first.key) key += c < 0x80 ? static_cast<char>(c) : '?';
      strings[key] = Utf8OfUtf16(item->first.value);
    }
    break;
  }
  return strings;
}

}  // namespace lumipack
