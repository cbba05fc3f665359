// Number readings and formats the window and the split job share. Pure
// functions: no locale, no platform; the Japanese system's conventions (","
// groups thousands, "." is the decimal point) are fixed here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qn::engine {

// The whole number nearest to `value` (halves away from zero) with its digits
// grouped by threes with "," and no fraction: 1457664 gives "1,457,664",
// -1234 gives "-1,234". A value that is not finite gives "0".
std::string GroupedNumber(double value);

// The decimal number `text` begins with: leading blanks (space, tab, CR, LF)
// skipped, then an optional sign, digits with an optional decimal point, and an
// optional exponent ("e" or "E", optional sign, digits). Reading stops at the
// first character that does not continue the number: "12ab" gives 12, "1.5e3x"
// gives 1500, "", "ab", "+" and "." give 0. A number beyond the range of double
// gives the largest double of its sign and sets *overflow (when given) to true;
// *overflow is false otherwise. A number too small for double gives 0.
double LeadingNumber(std::string_view text, bool* overflow = nullptr);

// The conversion of a typed number to a signed 32-bit integer. Accepts blanks
// (space, tab) around the number, an optional sign, digits in which "," may
// stand between two digits of the integer part (any grouping: "1,457,664",
// "14,57664"), an optional fraction and an optional exponent ("1e3", "2.5E+2").
// The value is rounded exactly, halves to the even neighbour ("2.5" gives 2,
// "3.5" gives 4, "0.5" gives 0). Fails (nullopt) for a text that is not such a
// number as a whole ("", "abc", "12ab", "1 000", ",5", "1,,2", "1e") and for a
// rounded value outside -2,147,483,648 to 2,147,483,647.
std::optional<int32_t> WholeNumber(std::string_view text);

// The shortest decimal text of a number: whole numbers below 10^15 in
// magnitude as plain digits ("1457664", "-3", "0"); anything else with up to
// 15 significant digits ("2.5", "1E+20"). A value that is not finite gives "0".
std::string ShortestText(double value);

// The source-size caption: "Size: " + grouped size + " byte", with "s" when the
// size is above 1 ("Size: 1,457,664 bytes", "Size: 1 byte", "Size: 0 byte").
std::string SourceSizeText(double bytes);

}  // namespace qn::engine
