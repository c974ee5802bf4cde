// JSON values as text: the layout the batch tool has always printed, numbers that read back,
// and strings that are valid Unicode whatever bytes they were given.
#include "core/base/json_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace qv::test {
namespace {

TEST(JsonValueTest, LaysOutMembersPerLineOnlyWhereAsked) {
  JsonValue::Array rows{
      {JsonObject({{"a", 1}, {"b", JsonValue::Array{{"x", "y"}, false}}}), JsonObject({})}, true};
  const JsonValue document = JsonLinesObject({{"n", 3},
                                              {"rows", rows},
                                              {"none", JsonValue::Array{{}, true}},
                                              {"inner", JsonLinesObject({{"t", true}})}});
  EXPECT_EQ(JsonText(document),
            "{\n"
            "  \"n\": 3,\n"
            "  \"rows\": [\n"
            "    {\"a\": 1, \"b\": [\"x\", \"y\"]},\n"
            "    {}\n"
            "  ],\n"
            "  \"none\": [],\n"
            "  \"inner\": {\n"
            "    \"t\": true\n"
            "  }\n"
            "}");
}

TEST(JsonValueTest, WritesNumbersThatReadBackAndNullForTheRest) {
  EXPECT_EQ(JsonText(0.1), "0.1");
  EXPECT_EQ(JsonText(5.0), "5");
  EXPECT_EQ(JsonText(1e20), "1e+20");
  EXPECT_EQ(JsonText(-0.0), "-0");
  EXPECT_EQ(JsonText(std::int64_t{-9007199254740993}), "-9007199254740993");
  EXPECT_EQ(JsonText(std::nan("")), "null");
  EXPECT_EQ(JsonText(-std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(JsonText(nullptr), "null");
}

TEST(JsonValueTest, EscapesControlsAndReplacesBytesThatAreNotUtf8) {
  EXPECT_EQ(JsonText("a\"b\\c\r\n\t\x01"), R"("a\"b\\c\r\n\t\u0001")");
  // Latin-1 e-acute and a lone continuation byte: one replacement each; UTF-8 passes.
  EXPECT_EQ(JsonText("caf\xE9 \x80 \xC3\xA9"), R"("caf\ufffd \ufffd )"
                                               "\xC3\xA9\"");
  EXPECT_EQ(ValidUtf8("caf\xE9 \xC3\xA9"), "caf\xEF\xBF\xBD \xC3\xA9");
  // An overlong form and a surrogate are not UTF-8 either.
  std::string replaced;
  for (int i = 0; i < 5; ++i) replaced += "\xEF\xBF\xBD";
  EXPECT_EQ(ValidUtf8("\xC0\xAF\xED\xA0\x80"), replaced);
}

}  // namespace
}  // namespace qv::test
