#include "shared/line_breaks.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    LineCursor cursor = StartLines(text.data(), text.size());
    const char* line;
    size_t length;
    while (NextLine(&cursor, &line, &length)) lines.push_back(std::string(line, length));
    return lines;
}

struct LinesCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

class LineBreaksTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(LineBreaksTest, SplitsIntoLines) { EXPECT_EQ(Lines(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    Breaks, LineBreaksTest,
    ::testing::Values(LinesCase{"CrLf", "a\r\nb\r\n", {"a", "b"}}, LinesCase{"LfOnly", "a\nb\n", {"a", "b"}},
                      LinesCase{"LfCr", "a\n\rb", {"a", "b"}}, LinesCase{"CrCr", "a\r\rb", {"a", "b"}},
                      LinesCase{"LfLfIsOneBreak", "a\n\nb", {"a", "b"}},
                      LinesCase{"BlankLineWithCrLf", "a\r\n\r\nb", {"a", "", "b"}},
                      LinesCase{"ThirdBreakStartsEmptyLine", "a\n\n\nb", {"a", "", "b"}},
                      LinesCase{"NoFinalBreak", "a\r\nb", {"a", "b"}}, LinesCase{"Empty", "", {}},
                      LinesCase{"OnlyBreak", "\r\n", {""}}, LinesCase{"NulKept", std::string("a\0b\n", 4), {std::string("a\0b", 3)}}),
    [](const ::testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });
