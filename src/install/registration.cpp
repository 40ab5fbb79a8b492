#include "install/registration.h"

namespace lumiset {

std::string InstalledFileValueName(size_t index) {
  std::string digits = std::to_string(index);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
  return "File" + digits;
}

}  // namespace lumiset
