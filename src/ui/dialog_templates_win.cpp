#include "ui/dialog_templates_win.h"

#include <optional>

#include "ui/resource_bundle_win.h"

namespace lumiset {
namespace {

// The bundle of every dialog template (resources/pack_resources.py).
constexpr wchar_t kDialogBundleName[] = L"DIALOGS";

}  // namespace

std::span<const uint8_t> DialogTemplateBytes(HINSTANCE instance, int id) {
  // One program, one bundle: every caller passes the program's own module.
  static const std::optional<ResourceBundle> bundle =
      LoadResourceBundle(instance, kDialogBundleName);
  return bundle ? bundle->Find(id) : std::span<const uint8_t>();
}

const DLGTEMPLATE* DialogTemplate(HINSTANCE instance, int id) {
  const std::span<const uint8_t> found = DialogTemplateBytes(instance, id);
  return found.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(found.data());
}

}  // namespace lumiset
