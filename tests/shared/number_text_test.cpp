#include "shared/number_text.h"

#include <climits>

#include <gtest/gtest.h>
#include <ostream>

struct NumberCase {
    const char* text;
    int value;
};

static std::ostream& operator<<(std::ostream& out, const NumberCase& c) { return out << "\"" << c.text << "\""; }


class ReadNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTest, ReadsTheLeadingDecimalValue) {
    EXPECT_EQ(ReadNumber(GetParam().text), GetParam().value) << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Texts, ReadNumberTest,
                         ::testing::Values(NumberCase{"9800", 9800}, NumberCase{"  \t 3128", 3128},
                                           NumberCase{"\r\n42", 42}, NumberCase{"9800x", 9800},
                                           NumberCase{"abc", 0}, NumberCase{"", 0}, NumberCase{"0", 0},
                                           NumberCase{"-12", -12}, NumberCase{"+7", 7}, NumberCase{"- 5", 0},
                                           NumberCase{"--5", 0}, NumberCase{"007", 7}, NumberCase{"70000", 70000},
                                           NumberCase{"12 34", 12}, NumberCase{"2147483647", INT_MAX},
                                           NumberCase{"99999999999999999999", INT_MAX},
                                           NumberCase{"-99999999999999999999", INT_MIN}));

TEST(ReadNumber, NullTextReadsAsZero) { EXPECT_EQ(ReadNumber(nullptr), 0); }
