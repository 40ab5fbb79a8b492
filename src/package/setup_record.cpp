#include "package/setup_record.h"

#include <algorithm>
#include <cstring>

#include "base/language.h"
#include "base/byte_io.h"

namespace lumiset {
namespace {

bool ReadString(ByteReader& r, std::string* out) {
  const uint32_t n = r.U32();
  std::span<const uint8_t> bytes = r.Bytes(n);
  if (!r.ok()) return false;
  const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
  out->assign(bytes.begin(), zero);
  return true;
}

void WriteString(ByteWriter& w, const std::string& text) {
  w.U32(static_cast<uint32_t>(text.size() + 1));
  w.Text(text);
  w.buffer().push_back(0);
}

// Reads the extras after the last field into `rec`; leaves them empty when
// the bytes are not extras or do not parse.
void ReadExtras(ByteReader& r, SetupRecord& rec) {
  std::span<const uint8_t> magic = r.Bytes(sizeof kExtrasMagic);
  if (!r.ok() || !std::equal(magic.begin(), magic.end(), std::begin(kExtrasMagic))) return;
  std::string version;
  std::string about_url;
  const uint16_t count = r.U16();
  for (uint16_t i = 0; i < count && r.ok(); ++i) {
    const uint16_t tag = r.U16();
    std::string text;
    if (!ReadString(r, &text)) return;
    if (tag == kExtraVersionTag) version = std::move(text);
    if (tag == kExtraAboutUrlTag) about_url = std::move(text);
  }
  if (!r.ok()) return;
  if (version.size() <= kMaxVersionChars) rec.version = std::move(version);
  if (about_url.size() <= kMaxAboutUrlChars) rec.about_url = std::move(about_url);
}

}  // namespace

StatusOr<SetupRecord> ParseSetupRecord(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  SetupRecord rec;
  r.U32();  // the rest's length: redundant with the decoded length
  ReadString(r, &rec.title);
  rec.reserved_low = r.U32();
  rec.reserved_high = r.U32();
  if (r.ok() && rec.HasExtension()) {
    rec.extension.a = r.U16();
    rec.extension.b = r.U16();
    for (std::string& text : rec.extension.texts) ReadString(r, &text);
    rec.extension.c = r.U16();
    rec.extension.d = r.U16();
  }
  ReadString(r, &rec.copyright);
  ReadString(r, &rec.company);
  ReadString(r, &rec.licence_text);
  rec.language = r.U16();
  ReadString(r, &rec.scr_file_name);
  rec.picture_format = r.U16();
  rec.show_header_text = r.U16();
  rec.header_text_color = r.U32();
  rec.accent_color = r.U32();
  rec.reserved13 = r.U16();
  rec.show_setup_options = r.U16();
  rec.open_display_properties = r.U16();
  rec.create_start_menu_entry = r.U16();
  rec.create_desktop_icon = r.U16();
  rec.detect_existing = r.U16();
  rec.show_info_page = r.U16();
  rec.screensaver_block_length = r.U32();
  ReadString(r, &rec.info_text);
  if (!r.ok()) return Status::Corrupt("a field of the setup record runs past its end");
  ReadExtras(r, rec);
  return rec;
}

std::vector<uint8_t> EncodeSetupRecord(const SetupRecord& rec) {
  ByteWriter w;
  w.U32(0);  // patched below
  WriteString(w, rec.title);
  w.U32(rec.reserved_low);
  w.U32(rec.reserved_high);
  if (rec.HasExtension()) {
    w.U16(rec.extension.a);
    w.U16(rec.extension.b);
    for (const std::string& text : rec.extension.texts) WriteString(w, text);
    w.U16(rec.extension.c);
    w.U16(rec.extension.d);
  }
  WriteString(w, rec.copyright);
  WriteString(w, rec.company);
  WriteString(w, rec.licence_text);
  w.U16(rec.language);
  WriteString(w, rec.scr_file_name);
  w.U16(rec.picture_format);
  w.U16(rec.show_header_text);
  w.U32(rec.header_text_color);
  w.U32(rec.accent_color);
  w.U16(rec.reserved13);
  w.U16(rec.show_setup_options);
  w.U16(rec.open_display_properties);
  w.U16(rec.create_start_menu_entry);
  w.U16(rec.create_desktop_icon);
  w.U16(rec.detect_existing);
  w.U16(rec.show_info_page);
  w.U32(rec.screensaver_block_length);
  WriteString(w, rec.info_text);
  const std::pair<uint16_t, const std::string*> extras[] = {
      {kExtraVersionTag, &rec.version}, {kExtraAboutUrlTag, &rec.about_url}};
  uint16_t count = 0;
  for (const auto& [tag, text] : extras) count += text->empty() ? 0 : 1;
  if (count != 0) {
    w.Bytes(kExtrasMagic);
    w.U16(count);
    for (const auto& [tag, text] : extras) {
      if (text->empty()) continue;
      w.U16(tag);
      WriteString(w, *text);
    }
  }
  std::vector<uint8_t> out = w.Take();
  StoreU32(out.data(), static_cast<uint32_t>(out.size() - 4));
  return out;
}

std::string CopyrightLineOf(const std::string& stored) {
  return stored.substr(0, stored.find('|'));
}

double AccentHue(uint32_t color) {
  // The channels are compared as bytes: compared as doubles, a value held
  // in an x87 register with extra precision may differ from its stored copy
  // and send the 32-bit build down the wrong branch.
  const int r = static_cast<int>(color & 0xFF);
  const int g = static_cast<int>((color >> 8) & 0xFF);
  const int b = static_cast<int>((color >> 16) & 0xFF);
  const int hi = std::max({r, g, b});
  const int lo = std::min({r, g, b});
  if (hi == lo) return 0.0;
  const double d = hi - lo;
  const double rc = (hi - r) / d;
  const double gc = (hi - g) / d;
  const double bc = (hi - b) / d;
  double h;
  if (r == hi) {
    h = g == lo ? 5 + bc : 1 - gc;
  } else if (g == hi) {
    h = b == lo ? 1 + rc : 3 - bc;
  } else {
    h = r == lo ? 3 + gc : 5 - rc;
  }
  h /= 6;
  if (h >= 1) h -= 1;
  return h;
}

int32_t ChooseLanguage(uint16_t stored, uint16_t user_lang_id) {
  if (stored != 0) return stored;
  constexpr uint16_t kPrimaryMask = 0x3FF;
  switch (user_lang_id & kPrimaryMask) {
    case 0x07: return kGerman;
    case 0x0A: return kSpanish;
    case 0x0C: return kFrench;
    case 0x10: return kItalian;
    case 0x13: return kDutch;
    case 0x16: return kPortuguese;
    case 0x19: return kRussian;
    default: return kEnglish;
  }
}

}  // namespace lumiset
