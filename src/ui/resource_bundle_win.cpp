#include "ui/resource_bundle_win.h"

namespace lumiset {

std::optional<ResourceBundle> LoadResourceBundle(HINSTANCE instance, const wchar_t* name) {
  HRSRC found = FindResourceW(instance, name, MAKEINTRESOURCEW(ResourceBundle::kResourceType));
  if (!found) return std::nullopt;
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data) return std::nullopt;
  try {
    return ResourceBundle::Inflate({data, SizeofResource(instance, found)});
  } catch (...) {  // no memory for the inflated entries
    return std::nullopt;
  }
}

}  // namespace lumiset
