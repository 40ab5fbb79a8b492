#include "ui/resource_bundle.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "base/language.h"

namespace lumiset {
namespace {

using Bytes = std::vector<uint8_t>;

// An index entry as the build writes it.
struct Entry {
  uint32_t id;
  uint32_t offset;
  uint32_t size;
  uint32_t zero = 0;
};

// The body: index entries, then `payload` from the offset the entries say.
Bytes Body(const std::vector<Entry>& entries, const Bytes& payload) {
  Bytes body(entries.size() * 12);
  for (size_t i = 0; i < entries.size(); ++i) {
    StoreU16(body, i * 12, entries[i].id);
    StoreU16(body, i * 12 + 2, entries[i].zero);
    StoreU32(body, i * 12 + 4, entries[i].offset);
    StoreU32(body, i * 12 + 8, entries[i].size);
  }
  body.insert(body.end(), payload.begin(), payload.end());
  return body;
}

Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

// The resource: header, then the deflated body. `claimed_count` and
// `claimed_size` default to what the body holds.
Bytes Resource(const Bytes& body, uint32_t count, int64_t claimed_size = -1) {
  Bytes out(12);
  out[0] = 'L', out[1] = 'D', out[2] = 'B', out[3] = '1';
  StoreU32(out, 4, count);
  StoreU32(out, 8, claimed_size < 0 ? static_cast<uint32_t>(body.size())
                                 : static_cast<uint32_t>(claimed_size));
  const Bytes deflated = Deflate(body);
  out.insert(out.end(), deflated.begin(), deflated.end());
  return out;
}

// Two entries: id 7 of 6 bytes at 24 (padded to 8), id 300 of 4 bytes at 32.
const Bytes kPayload = {1, 2, 3, 4, 5, 6, 0, 0, 9, 8, 7, 6};
const std::vector<Entry> kEntries = {{7, 24, 6}, {300, 32, 4}};

TEST(ResourceBundleTest, FindsEachEntryWhole) {
  const auto bundle = ResourceBundle::Inflate(Resource(Body(kEntries, kPayload), 2));
  ASSERT_TRUE(bundle);
  const auto first = bundle->Find(7);
  EXPECT_EQ(Bytes(first.begin(), first.end()), (Bytes{1, 2, 3, 4, 5, 6}));
  const auto second = bundle->Find(300);
  EXPECT_EQ(Bytes(second.begin(), second.end()), (Bytes{9, 8, 7, 6}));
  // The dialog manager reads a template as DWORDs.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(first.data()) % 4, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(second.data()) % 4, 0u);
  for (int absent : {0, 6, 8, 299, 301, 70000, -1}) {
    EXPECT_TRUE(bundle->Find(absent).empty()) << absent;
  }
}

TEST(ResourceBundleTest, AnEmptyBundleFindsNothing) {
  const auto bundle = ResourceBundle::Inflate(Resource({}, 0));
  ASSERT_TRUE(bundle);
  EXPECT_TRUE(bundle->Find(7).empty());
}

TEST(ResourceBundleTest, FindsAnEntryInItsLanguageOrElseInEnglish) {
  // English (7), French (107) and Spanish (307) copies of entry 7; no German.
  const auto bundle =
      ResourceBundle::Inflate(Resource(Body({{7, 36, 2}, {107, 40, 2}, {307, 44, 2}},
                                            {'e', 'n', 0, 0, 'f', 'r', 0, 0, 'e', 's', 0, 0}),
                                       3));
  ASSERT_TRUE(bundle);
  // Only French: no English copy to fall back to.
  const auto french_only =
      ResourceBundle::Inflate(Resource(Body({{107, 12, 2}}, {'f', 'r', 0, 0}), 1));
  ASSERT_TRUE(french_only);

  const struct {
    const ResourceBundle& bundle;
    int32_t language;
    std::string found;
  } cases[] = {
      {*bundle, kEnglish, "en"},    {*bundle, kFrench, "fr"},      {*bundle, kSpanish, "es"},
      {*bundle, kGerman, "en"},     {*bundle, kRussian, "en"},     {*bundle, 0, "en"},
      {*bundle, 99, "en"},          {*french_only, kFrench, "fr"}, {*french_only, kGerman, ""},
      {*french_only, kEnglish, ""},
  };
  for (const auto& c : cases) {
    const auto entry = c.bundle.FindLocalized(7, c.language);
    EXPECT_EQ(std::string(entry.begin(), entry.end()), c.found) << "language " << c.language;
  }
}

TEST(ResourceBundleTest, RefusesWhatDoesNotHoldTogether) {
  const Bytes good = Resource(Body(kEntries, kPayload), 2);
  Bytes bad_magic = good;
  bad_magic[3] = '2';
  Bytes trailing = good;
  trailing.push_back(0);
  Bytes cut_stream = good;
  cut_stream.resize(cut_stream.size() - 3);
  const Bytes body = Body(kEntries, kPayload);
  Bytes longer_body = body;
  longer_body.insert(longer_body.end(), {0, 0, 0, 0});

  const struct {
    const char* what;
    Bytes resource;
  } cases[] = {
      {"empty", {}},
      {"header cut short", Bytes(good.begin(), good.begin() + 11)},
      {"wrong magic", bad_magic},
      {"bytes after the stream", trailing},
      {"stream cut short", cut_stream},
      {"body longer than claimed", Resource(longer_body, 2, static_cast<int64_t>(body.size()))},
      {"body shorter than claimed", Resource(body, 2, static_cast<int64_t>(body.size()) + 4)},
      {"body size not a multiple of 4", Resource(Bytes(body.begin(), body.end() - 2), 2)},
      {"body over the limit", Resource(body, 2, int64_t{ResourceBundle::kMaxBodySize} + 4)},
      {"count over the limit", Resource(body, ResourceBundle::kMaxCount + 1)},
      {"index larger than the body", Resource(Body(kEntries, {}), 3)},
      {"ids out of order", Resource(Body({{300, 24, 6}, {7, 32, 4}}, kPayload), 2)},
      {"one id twice", Resource(Body({{7, 24, 6}, {7, 32, 4}}, kPayload), 2)},
      {"offset not aligned", Resource(Body({{7, 26, 4}, {300, 32, 4}}, kPayload), 2)},
      {"offset inside the index", Resource(Body({{7, 20, 4}, {300, 32, 4}}, kPayload), 2)},
      {"entry past the end", Resource(Body({{7, 24, 6}, {300, 32, 5}}, kPayload), 2)},
      {"offset past the end", Resource(Body({{7, 24, 6}, {300, 40, 0}}, kPayload), 2)},
      {"size that wraps", Resource(Body({{7, 24, 0xFFFFFFF0u}, {300, 32, 4}}, kPayload), 2)},
      {"reserved field set", Resource(Body({{7, 24, 6, 1}, {300, 32, 4}}, kPayload), 2)},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ResourceBundle::Inflate(c.resource)) << c.what;
  }
}

}  // namespace
}  // namespace lumiset
