#include "engine/numbers.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace qn::engine {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exponent digits saturate here: no text is long enough for a larger shift to
// matter, and the sum with a digit count cannot overflow.
constexpr int64_t kExponentLimit = 1'000'000;

// Reads digits at text[i...] into a saturated exponent value; advances i.
int64_t ReadExponentDigits(std::string_view text, size_t& i) {
  int64_t value = 0;
  while (i < text.size() && IsDigit(text[i])) {
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), kExponentLimit);
    ++i;
  }
  return value;
}

// Inserts "," between groups of three in a run of digits.
std::string GroupDigits(const std::string& digits) {
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  size_t lead = digits.size() % 3;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && i >= lead && (i - lead) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

std::string GroupedNumber(double value) {
  if (!std::isfinite(value)) return "0";
  double whole = std::round(value);  // halves away from zero
  if (whole == 0) return "0";        // also for -0.4, which must not show "-0"
  char buffer[400];                  // DBL_MAX has 309 digits
  std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(whole));
  std::string grouped = GroupDigits(buffer);
  return whole < 0 ? "-" + grouped : grouped;
}

double LeadingNumber(std::string_view text, bool* overflow) {
  if (overflow) *overflow = false;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string intDigits;
  std::string fracDigits;
  while (i < text.size() && IsDigit(text[i])) intDigits += text[i++];
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) fracDigits += text[i++];
  }
  if (intDigits.empty() && fracDigits.empty()) return 0;
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      expNegative = text[j] == '-';
      ++j;
    }
    if (j < text.size() && IsDigit(text[j])) {  // "12e" and "12e+" read as 12
      exponent = ReadExponentDigits(text, j);
      if (expNegative) exponent = -exponent;
    }
  }

  std::string number = intDigits.empty() ? "0" : intDigits;
  if (!fracDigits.empty()) {
    number += '.';
    number += fracDigits;
  }
  number += 'e';
  number += std::to_string(exponent);
  double value = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small for double: tell them apart by the position of
    // the first significant digit.
    size_t firstNonZero = intDigits.find_first_not_of('0');
    int64_t magnitude = 0;
    if (firstNonZero != std::string::npos) {
      magnitude = static_cast<int64_t>(intDigits.size() - firstNonZero);
    } else {
      size_t fracNonZero = fracDigits.find_first_not_of('0');
      magnitude = fracNonZero == std::string::npos ? std::numeric_limits<int64_t>::min() / 2
                                                   : -static_cast<int64_t>(fracNonZero);
    }
    if (magnitude + exponent > 0) {
      if (overflow) *overflow = true;
      value = DBL_MAX;
    } else {
      value = 0;
    }
  } else if (ec != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

std::optional<int32_t> WholeNumber(std::string_view text) {
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skipBlanks();
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string digits;  // integer and fraction digits, no separators
  size_t intCount = 0;
  while (i < text.size()) {
    if (IsDigit(text[i])) {
      digits += text[i++];
    } else if (text[i] == ',' && !digits.empty() && i + 1 < text.size() && IsDigit(text[i + 1])) {
      ++i;  // a group separator stands between two digits
    } else {
      break;
    }
  }
  intCount = digits.size();
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) digits += text[i++];
  }
  if (digits.empty()) return std::nullopt;
  int64_t exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      expNegative = text[i] == '-';
      ++i;
    }
    if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;
    exponent = ReadExponentDigits(text, i);
    if (expNegative) exponent = -exponent;
  }
  skipBlanks();
  if (i != text.size()) return std::nullopt;

  // The value is 0.digits x 10^point; split it at the decimal point exactly.
  size_t firstNonZero = digits.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return 0;
  int64_t point = static_cast<int64_t>(intCount) - static_cast<int64_t>(firstNonZero) + exponent;
  digits.erase(0, firstNonZero);
  if (point > 10) return std::nullopt;  // at least 10,000,000,000

  int64_t whole = 0;
  for (int64_t k = 0; k < point; ++k) {
    size_t index = static_cast<size_t>(k);
    whole = whole * 10 + (index < digits.size() ? digits[index] - '0' : 0);
  }
  // The fraction starts with -point zeros when the point lies left of the digits.
  char first = '0';
  std::string_view rest;
  if (point >= 0 && static_cast<size_t>(point) < digits.size()) {
    first = digits[static_cast<size_t>(point)];
    rest = std::string_view(digits).substr(static_cast<size_t>(point) + 1);
  } else if (point < 0) {
    first = '0';
  }
  bool restNonZero = rest.find_first_not_of('0') != std::string_view::npos;
  if (first > '5' || (first == '5' && (restNonZero || whole % 2 == 1))) ++whole;

  if (negative) whole = -whole;
  if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(whole);
}

std::string ShortestText(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";
  char buffer[64];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
  }
  return buffer;
}

std::string SourceSizeText(double bytes) {
  std::string text = "Size: " + GroupedNumber(bytes) + " byte";
  if (bytes > 1) text += "s";
  return text;
}

}  // namespace qn::engine
