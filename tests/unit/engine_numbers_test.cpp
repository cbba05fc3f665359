#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>
#include <optional>
#include <string>

namespace qn::engine {
namespace {

TEST(GroupedNumber, GroupsDigitsByThreesWithoutFraction) {
  struct Case {
    double value;
    const char* shown;
  } cases[] = {
      {0, "0"},
      {999, "999"},
      {1000, "1,000"},
      {1457664, "1,457,664"},
      {2147483647, "2,147,483,647"},
      {3000000000.0, "3,000,000,000"},
      {-1234, "-1,234"},
      {2.5, "3"},
      {std::numeric_limits<double>::quiet_NaN(), "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GroupedNumber(c.value), c.shown)
        << "the size field, file count or status line would show " << c.value << " wrongly";
  }
}

TEST(LeadingNumber, ReadsTheNumberATextBeginsWith) {
  struct Case {
    const char* text;
    double value;
    bool overflow;  // beyond double: flagged, and the largest double rather than infinity
  } cases[] = {
      {"12ab", 12, false},        {"", 0, false},      {"ab", 0, false},
      {"  42", 42, false},        {"-5", -5, false},   {"1.5e3x", 1500, false},
      {"1e", 1, false},           {".5", 0.5, false},  {"+", 0, false},
      {"12 34", 12, false},       {"1,234", 1, false}, {"2147483648", 2147483648.0, false},
      {"1e-999", 0, false},       {"１２", 0, false},  {"1e999", DBL_MAX, true},
      {"-1e999", -DBL_MAX, true},
  };
  for (const Case& c : cases) {
    bool overflow = !c.overflow;
    EXPECT_EQ(LeadingNumber(c.text, &overflow), c.value)
        << "a range box or setting \"" << c.text << "\" would be read as the wrong number";
    EXPECT_EQ(overflow, c.overflow) << "\"" << c.text << "\" is flagged wrongly as (un)readable";
  }
  EXPECT_EQ(LeadingNumber("1e999"), DBL_MAX) << "the flag must be optional";
}

TEST(WholeNumber, ConvertsTypedSizesLikeTheSystem) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"1,457,664", 1457664},
      {"14,57664", 1457664},
      {"2.5", 2},
      {"3.5", 4},
      {"-2.5", -2},
      {"2.5000000000000000001", 3},
      {"1,457,664.4", 1457664},
      {" 12 ", 12},
      {"1e3", 1000},
      {"2.5E+2", 250},
      {"2147483647", 2147483647},
      {"-2147483648.5", std::numeric_limits<int32_t>::min()},
      {"2147483648", std::nullopt},
      {"2147483647.5", std::nullopt},
      {"-2147483649", std::nullopt},
      {"1e10", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"12ab", std::nullopt},
      {"1 000", std::nullopt},
      {",5", std::nullopt},
      {"5,", std::nullopt},
      {"1,,2", std::nullopt},
      {"1.5,0", std::nullopt},
      {"1e", std::nullopt},
      {"１２", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WholeNumber(c.text), c.value)
        << "a free size typed as \"" << c.text << "\" would be "
        << (c.value ? "read wrongly" : "accepted although it is unusable");
  }
}

TEST(ShortestText, WritesWholeNumbersAsPlainDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1457664, "1457664"}, {-0.0, "0"},     {4294967296.0, "4294967296"},
      {2.5, "2.5"},         {1e20, "1E+20"}, {std::numeric_limits<double>::infinity(), "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortestText(c.value), c.text)
        << "a range box or the stored part size would hold the wrong text for " << c.value;
  }
}

}  // namespace
}  // namespace qn::engine
