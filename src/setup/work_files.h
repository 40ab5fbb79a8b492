#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/platform.h"

namespace lumiset {

inline constexpr std::string_view kWorkFilePrefix = "vrtl";
inline constexpr std::string_view kWorkFileExtension = "tmp";
inline constexpr std::string_view kWorkSubfolder = "Tolvane\\";
inline constexpr std::string_view kFallbackWorkFolder = "C:\\Temp\\";
inline constexpr int kMaxWorkFileNumber = 9999;

// The first candidate that passes the folder test (create it, create and
// delete a probe file in it): the local application-data folder + "Tolvane\",
// the temporary folder itself, the roaming application-data folder +
// "Tolvane\". The result ends with a backslash.
std::optional<std::string> ChooseWorkFolder(Platform& p);

// Chooses the work folder (or "C:\Temp\", created untested, when no
// candidate passes) and removes the work files earlier runs left there.
std::string PrepareWorkFolder(Platform& p);

// A free name folder + prefix + NNNN + "." + extension, NNNN from 0001 to
// 9999, the extension in lower case. An empty folder means `work_folder`
// (chosen first when it is still empty); an empty prefix means "vrtl".
// Empty when every number is taken or the name would be too long. The file
// is not created.
std::string MakeWorkFileName(Platform& p, std::string& work_folder, std::string_view extension,
                             std::string folder = {}, std::string prefix = {});

// Makes a name, creates the file empty and hands the name out; false only
// when no name can be made.
bool CreateProbeFile(Platform& p, const std::string& folder, std::string_view prefix,
                     std::string* name);

// Deletes every file the pattern matches in its folder, skipping folders and
// names that begin with "."; stops at the first file that cannot be deleted
// and returns false.
bool DeleteMatchingFiles(Platform& p, const std::string& pattern);

// Deletes the work files ("vrtl*.*") of a folder.
bool DeleteWorkFiles(Platform& p, const std::string& folder);

}  // namespace lumiset
