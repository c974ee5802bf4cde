// Readable test names for the rows of parameterised tests, the same in every build.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace qv::test {

/// `label` as a test name of ASCII letters and digits: its words joined, each begun in upper case
/// ("a declared size of 100000 x 100000" -> "ADeclaredSizeOf100000X100000"). Signs, points and
/// the "$" of hexadecimal numbers are spelt, so that rows told apart by them keep apart ("-0.5"
/// -> "Minus0Point5", "1e+5" -> "1ePlus5", "$FF" -> "HexFF"); any other character ends a word.
/// Numbers next to each other run together: labels put a word between them ("9 x 10").
std::string TestNameOf(std::string_view label);

/// The shortest text that reads back as `value` ("0.1", "1e+16", "-0", "-inf"), for labels made
/// of numbers: a stream's six digits would give different rows one name.
std::string NumberLabel(double value);

/// The name generator of every INSTANTIATE_TEST_SUITE_P: the row as its PrintTo writes it, made
/// a name by TestNameOf. GoogleTest refuses an empty or repeated name when the binary starts, so
/// rows that print alike stop the run instead of sharing a name.
struct RowNameGenerator {
  template <typename Param>
  std::string operator()(const testing::TestParamInfo<Param>& info) const {
    return TestNameOf(testing::PrintToString(info.param));
  }
};
inline constexpr RowNameGenerator RowName{};

}  // namespace qv::test
