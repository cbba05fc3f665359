#include "engine/numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
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
      {1, "1"},
      {14, "14"},
      {999, "999"},
      {14576, "14,576"},
      {145766, "145,766"},
      {1000, "1,000"},
      {1457664, "1,457,664"},
      {681984000, "681,984,000"},
      {2147483647, "2,147,483,647"},
      {3000000000.0, "3,000,000,000"},
      {1e15, "1,000,000,000,000,000"},
      {-1234, "-1,234"},
      {2.5, "3"},
      {-0.4, "0"},
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
  } cases[] = {
      {"12ab", 12},
      {"", 0},
      {"ab", 0},
      {"  42", 42},
      {"\t7x", 7},
      {"-5", -5},
      {"+3", 3},
      {"1.5e3x", 1500},
      {"1E2", 100},
      {"1e", 1},
      {"1e+", 1},
      {".5", 0.5},
      {".", 0},
      {"+", 0},
      {"-", 0},
      {"12 34", 12},
      {"0007", 7},
      {"1,234", 1},
      {"2147483648", 2147483648.0},
      {"1e-999", 0},
      {"0e999", 0},
      {"１２", 0},
      {"-1", -1},
      {"x1", 0},
  };
  for (const Case& c : cases) {
    bool overflow = true;
    EXPECT_EQ(LeadingNumber(c.text, &overflow), c.value)
        << "a range box or setting \"" << c.text << "\" would be read as the wrong number";
    EXPECT_FALSE(overflow) << "\"" << c.text << "\" is readable and must not count as unreadable";
  }
}

TEST(LeadingNumber, ANumberTooLargeForDoubleIsFlaggedAndStaysFinite) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"1e999", DBL_MAX}, {"-1e999", -DBL_MAX}, {"99e99999999999999999999", DBL_MAX}};
  for (const Case& c : cases) {
    bool overflow = false;
    EXPECT_EQ(LeadingNumber(c.text, &overflow), c.value)
        << "\"" << c.text << "\" must compare beyond every bound, not become infinite";
    EXPECT_TRUE(overflow) << "\"" << c.text << "\" must be reported as unreadable";
  }
  EXPECT_EQ(LeadingNumber("1e999"), DBL_MAX) << "the flag must be optional";
}

TEST(WholeNumber, ConvertsTypedSizesLikeTheSystem) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  } cases[] = {
      {"1,457,664", 1457664},
      {"1457664", 1457664},
      {"14,57664", 1457664},
      {"2.5", 2},
      {"3.5", 4},
      {"0.5", 0},
      {"1.5", 2},
      {"-2.5", -2},
      {".5", 0},
      {"2.5000000000000000001", 3},
      {"1,457,664.4", 1457664},
      {"0", 0},
      {"-0", 0},
      {"-5", -5},
      {"+7", 7},
      {" 12 ", 12},
      {"\t12", 12},
      {"1e3", 1000},
      {"2.5E+2", 250},
      {"0.0000001e7", 1},
      {"00000000000000000012", 12},
      {"2147483647", 2147483647},
      {"2,147,483,647", 2147483647},
      {"2147483646.5", 2147483646},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"-2147483648.5", std::numeric_limits<int32_t>::min()},
      {"2147483648", std::nullopt},
      {"2147483647.5", std::nullopt},
      {"-2147483649", std::nullopt},
      {"99999999999", std::nullopt},
      {"1e10", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
      {"12ab", std::nullopt},
      {"1 000", std::nullopt},
      {",5", std::nullopt},
      {"5,", std::nullopt},
      {"1,,2", std::nullopt},
      {"1.5,0", std::nullopt},
      {"1e", std::nullopt},
      {".", std::nullopt},
      {"-", std::nullopt},
      {"1.5.2", std::nullopt},
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
      {1457664, "1457664"},
      {0, "0"},
      {-0.0, "0"},
      {-3, "-3"},
      {2147483647, "2147483647"},
      {4294967296.0, "4294967296"},
      {2.5, "2.5"},
      {1e20, "1E+20"},
      {std::numeric_limits<double>::infinity(), "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortestText(c.value), c.text)
        << "a range box or the stored part size would hold the wrong text for " << c.value;
  }
}

TEST(SourceSizeText, NamesTheSizeInBytesWithThePlural) {
  struct Case {
    double bytes;
    const char* text;
  } cases[] = {
      {1457664, "Size: 1,457,664 bytes"},
      {1, "Size: 1 byte"},
      {0, "Size: 0 byte"},
      {2, "Size: 2 bytes"},
      {3000000000.0, "Size: 3,000,000,000 bytes"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SourceSizeText(c.bytes), c.text) << "the source size label would be wrong";
  }
}

}  // namespace
}  // namespace qn::engine
