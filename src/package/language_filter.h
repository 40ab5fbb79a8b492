#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumiset {

// Splits at CR LF, lone CR and lone LF; the line ends belong to no line and
// the end of the text ends the last line, so a text ending in a line break
// has an empty last line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Keeps the lines outside every language block and those inside blocks of
// `language`; directive lines ("#ifgerman", "#ifdef french", "#endif", in
// any letter case, spaces anywhere after the "#") are dropped. Kept lines are
// joined by CR LF. Blocks do not nest: each directive replaces the last.
void FilterLanguageBlocks(std::string& text, int32_t language);

}  // namespace lumiset
