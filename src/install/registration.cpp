#include "install/registration.h"

namespace lumiset {

std::string InstalledFileValueName(size_t index) {
  std::string digits = std::to_string(index);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "File" + digits;
}

std::vector<RecordedFile> ReadRecordedFiles(Platform& p, RegistryRoot root,
                                            const std::string& key) {
  std::vector<RecordedFile> files;
  for (size_t i = 0; i < kInstalledFileSlots; ++i) {
    std::optional<std::string> file = p.ReadRegistryString(root, key, InstalledFileValueName(i));
    if (file && !file->empty()) files.push_back({i, std::move(*file)});
  }
  return files;
}

}  // namespace lumiset
