#include "ui/dialog_templates_win.h"

#include <optional>

#include "ui/dialog_bundle.h"

namespace lumiset {
namespace {

std::optional<DialogBundle> LoadBundle(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, DialogBundle::kResourceName,
                              MAKEINTRESOURCEW(DialogBundle::kResourceType));
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* data = static_cast<const uint8_t*>(LockResource(loaded));
  if (!data) return std::nullopt;
  try {
    return DialogBundle::Inflate({data, SizeofResource(instance, found)});
  } catch (...) {  // no memory for the templates: no page can open
    return std::nullopt;
  }
}

}  // namespace

std::span<const uint8_t> DialogTemplateBytes(HINSTANCE instance, int id) {
  // One program, one bundle: every caller passes the program's own module.
  static const std::optional<DialogBundle> bundle = LoadBundle(instance);
  return bundle ? bundle->Find(id) : std::span<const uint8_t>();
}

const DLGTEMPLATE* DialogTemplate(HINSTANCE instance, int id) {
  const std::span<const uint8_t> found = DialogTemplateBytes(instance, id);
  return found.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(found.data());
}

}  // namespace lumiset
