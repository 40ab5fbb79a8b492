#pragma once

#include <ostream>
#include <string>

#include "installer_reader.h"

namespace lumipack {

// Every record field and every item of an installer, for reading.
void PrintInspection(const InstallerContents& contents, std::ostream& out);

// The same as a JSON document; texts are UTF-8.
std::string InspectionJson(const InstallerContents& contents);

// The JSON document for a file that could not be read as an installer at
// all: {"file": ..., "ok": false, "problem": ...}, so that a reader of
// `inspect --json` always gets an object with "ok".
std::string InspectionFailureJson(const std::string& file, const std::string& problem);

}  // namespace lumipack
