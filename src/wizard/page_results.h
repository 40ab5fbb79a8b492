#pragma once

#include <cstdint>

namespace lumiset {

// Ids of the pages' buttons; a modal page returns one of them.
enum class PageResult : int32_t { Next = 1, Cancel = 2, Back = 3 };

// What the user chose on the page that reports an installed copy.
enum class ExistingCopyChoice : int32_t { kInstall, kUninstall, kCancel };

}  // namespace lumiset
