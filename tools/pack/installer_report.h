#pragma once

#include <ostream>
#include <string>

#include "installer_reader.h"

namespace lumipack {

// Every record field and every item of an installer, for reading.
void PrintInspection(const InstallerContents& contents, std::ostream& out);

// The same as a JSON document; texts are UTF-8.
std::string InspectionJson(const InstallerContents& contents);

}  // namespace lumipack
