// How the split names its output: the stem shared by all parts and the
// number that ends each part's name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qn::engine {

// The text after the last `separator` in `text`; "" when there is none.
std::string TextAfterLast(std::string_view text, std::string_view separator);

// The extension of part `n`: "001" to "099", then plain digits ("100",
// "1000", ...).
std::string PartNumberText(int64_t n);

// The output stem, up to and including the dot before the part number. It is
// built from the source's short path `sourcePath`: the whole path in
// same-folder mode, else its file name behind `outputFolder` (plus "\" unless
// it ends with one). The file name's extension is cut off; a dot in a folder
// name never counts.
std::string OutputStem(std::string_view sourcePath, bool sameFolder, std::string_view outputFolder);

}  // namespace qn::engine
