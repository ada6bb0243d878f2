// IniProfile: reads and writes as the Windows profile API gives them (the
// expected results are what wine does; windows_profile_test compares the
// two directly).
#include "manager/catalogue/ini_profile.h"

#include <climits>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

static const unsigned TextSize = 256;
static const int IntFallback = -777;

// File contents with NUL bytes in them.
template <size_t N>
static std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

static std::string Read(IniProfile* profile, const char* section, const char* key, const char* fallback = "fb",
                        unsigned size = TextSize) {
    std::vector<char> out(size + 1, '#');
    out[size] = '\0';
    profile->ReadText(section, key, fallback, out.data(), size);
    return std::string(out.data());
}

// ---- Reading texts ---------------------------------------------------------

struct ReadCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    const char* fallback;
    unsigned size;
    std::string expected;
};

static std::ostream& operator<<(std::ostream& out, const ReadCase& c) { return out << c.name; }

class IniProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniProfileReadTest, ReadsAsTheApi) {
    const ReadCase& c = GetParam();
    IniProfile profile(c.file);
    EXPECT_EQ(Read(&profile, c.section, c.key, c.fallback, c.size), c.expected);
    EXPECT_EQ(profile.Text(), c.file) << "reading changed the file";
}

static const std::vector<ReadCase> ReadCases = {
    // Names
    {"NamesIgnoreAsciiCase", "[Window]\r\nLeft=10\r\n", "WINDOW", "lEfT", "fb", TextSize, "10"},
    {"NonAsciiLettersKeepTheirCase", "[s\xe9]\r\nk=1\r\n", "s\xc9", "k", "fb", TextSize, "fb"},
    {"BlanksAroundKeyAndValue", "[s]\r\n \t k \t= \t v 1 \t \r\n", "s", "k", "fb", TextSize, "v 1"},
    {"BlanksAroundAskedNames", "[s]\r\nk=1\r\n", " s\r\n", "\tk ", "fb", TextSize, "1"},
    {"CtrlZAndFormFeedAreBlanks", "[s]\r\n\vk\f=\x1a v \x1a\r\n", "s", "k", "fb", TextSize, "v"},
    {"NoBreakSpaceIsNoBlank", "[s]\r\nk=\xa0v\xa0\r\n", "s", "k", "fb", TextSize, "\xa0v\xa0"},
    {"ControlCharacterIsNoBlank", "[s]\r\nk=\x01v\r\n", "s", "k", "fb", TextSize, "\x01v"},
    // Quotes
    {"DoubleQuotesDropped", "[s]\r\nk=\"x y\"\r\n", "s", "k", "fb", TextSize, "x y"},
    {"SingleQuotesDropped", "[s]\r\nk='x y'\r\n", "s", "k", "fb", TextSize, "x y"},
    {"QuotesKeepInnerBlanks", "[s]\r\nk= ' sp ' \r\n", "s", "k", "fb", TextSize, " sp "},
    {"MismatchedQuotesKept", "[s]\r\nk=\"x y'\r\n", "s", "k", "fb", TextSize, "\"x y'"},
    {"LoneQuoteKept", "[s]\r\nk='\r\n", "s", "k", "fb", TextSize, "'"},
    {"EmptyQuotes", "[s]\r\nk=''\r\n", "s", "k", "fb", TextSize, ""},
    {"InnerQuoteKept", "[s]\r\nk=\"a\"b\"\r\n", "s", "k", "fb", TextSize, "a\"b"},
    {"QuoteOnlyAtEndKept", "[s]\r\nk=x'\r\n", "s", "k", "fb", TextSize, "x'"},
    {"QuotedValueCut", "[s]\r\nk='abcdef'\r\n", "s", "k", "fb", 6, "abcde"},
    {"QuotedValueCutAtClosingQuoteLosesOneMore", "[s]\r\nk='abcdef'\r\n", "s", "k", "fb", 7, "abcde"},
    {"QuotedValueJustFits", "[s]\r\nk='abcdef'\r\n", "s", "k", "fb", 8, "abcdef"},
    {"QuotedLetterInTwoPlaces", "[s]\r\nk='x'\r\n", "s", "k", "fb", 2, ""},
    // Missing keys and fallbacks
    {"MissingKey", "[s]\r\nk=1\r\n", "s", "other", "fb", TextSize, "fb"},
    {"MissingSection", "[s]\r\nk=1\r\n", "t", "k", "fb", TextSize, "fb"},
    {"MissingFile", "", "s", "k", "fb", TextSize, "fb"},
    {"NullFallbackReadsEmpty", "", "s", "k", nullptr, TextSize, ""},
    {"FallbackLosesTrailingSpaces", "", "s", "k", "  fb  ", TextSize, "  fb"},
    {"FallbackOfSpacesKeepsOne", "", "s", "k", "   ", TextSize, " "},
    {"FallbackKeepsTrailingTab", "", "s", "k", "fb\t ", TextSize, "fb\t"},
    {"FallbackLosesQuotes", "", "s", "k", "\"q\"  ", TextSize, "q"},
    {"FallbackCut", "", "s", "k", "abcdefghij", 5, "abcd"},
    {"QuotedFallbackCutAtClosingQuote", "", "s", "k", "'abc'", 4, "ab"},
    {"NullSectionReadsEmpty", "[s]\r\nk=1\r\n", nullptr, "k", "fb", TextSize, ""},
    {"NullKeyReadsEmpty", "[s]\r\nk=1\r\n", "s", nullptr, "fb", TextSize, ""},
    // Lines that are not key=value
    {"KeyWithoutValueReadsAsMissing", "[s]\r\njunk\r\n", "s", "junk", "fb", TextSize, "fb"},
    {"EmptyValueIsThere", "[s]\r\nempty=\r\n", "s", "empty", "fb", TextSize, ""},
    {"CommentIsAKeyLikeAnyOther", "[s]\r\n;c=2\r\n", "s", ";c", "fb", TextSize, "2"},
    {"CommentHidesItsKey", "[s]\r\n;c=2\r\n", "s", "c", "fb", TextSize, "fb"},
    {"EmptyKeyName", "[s]\r\n=novalue\r\n", "s", "", "fb", TextSize, "novalue"},
    {"FirstDuplicateKeyCounts", "[s]\r\ndup=first\r\nDUP=second\r\n", "s", "dup", "fb", TextSize, "first"},
    {"FirstDuplicateSectionCounts", "[a]\r\nx=1\r\n[A]\r\ny=2\r\n", "a", "y", "fb", TextSize, "fb"},
    {"ValueSplitAtFirstEquals", "[s]\r\nk=a=b\r\n", "s", "k", "fb", TextSize, "a=b"},
    // Section headers
    {"SectionNameTrimmed", " [ spaced ] \r\nx=1\r\n", "spaced", "x", "fb", TextSize, "1"},
    {"SectionNameRunsToLastBracket", "[br]ack]\r\ny=2\r\n", "br]ack", "y", "fb", TextSize, "2"},
    {"TextAfterHeaderIgnored", "[after]tail\r\nw=4\r\n", "after", "w", "fb", TextSize, "4"},
    {"UnclosedHeaderIsAKey", "[a]\r\n[open\r\nz=3\r\n", "a", "z", "fb", TextSize, "3"},
    {"KeysBeforeFirstSectionAreNameless", "top=1\r\n[s]\r\n", "", "top", "fb", TextSize, "1"},
    {"BlankSectionNameIsNameless", "top=1\r\n[s]\r\n", " ", "top", "fb", TextSize, "1"},
    {"KeysBeforeFirstSectionAreOutsideIt", "top=1\r\n[s]\r\n", "s", "top", "fb", TextSize, "fb"},
    {"NamelessHeaderUnreachable", "[a]\r\n[]\r\nk=1\r\n", "", "k", "fb", TextSize, "fb"},
    {"NamelessHeaderEndsSection", "[a]\r\n[]\r\nk=1\r\n", "a", "k", "fb", TextSize, "fb"},
    // Line ends
    {"LfLineEnds", "[s]\na=1\nb=2\n", "s", "b", "fb", TextSize, "2"},
    {"CrLineEnds", "[s]\ra=1\rb=2\r", "s", "b", "fb", TextSize, "2"},
    {"LfCrLineEnds", "[s]\n\ra=1\n\rb=2", "s", "b", "fb", TextSize, "2"},
    {"LastLineWithoutEnd", "[s]\r\na=1", "s", "a", "fb", TextSize, "1"},
    // Buffers
    {"CutToBufferOfOne", "[s]\r\nv=abcdefghij\r\n", "s", "v", "fb", 1, ""},
    {"CutToBufferOfTwo", "[s]\r\nv=abcdefghij\r\n", "s", "v", "fb", 2, "a"},
    {"CutOneShort", "[s]\r\nv=abcdefghij\r\n", "s", "v", "fb", 10, "abcdefghi"},
    {"JustFits", "[s]\r\nv=abcdefghij\r\n", "s", "v", "fb", 11, "abcdefghij"},
    // NUL bytes end names and values
    {"NulEndsValue", Bytes("[s]\r\na=1\0x\r\n"), "s", "a", "fb", TextSize, "1"},
    {"NulEndsKey", Bytes("[s]\r\nb\0q=2\r\n"), "s", "b", "fb", TextSize, "2"},
    {"NulEndsSectionName", Bytes("[t\0u]\r\nd=4\r\n"), "t", "d", "fb", TextSize, "4"},
    {"BlankBeforeNulStaysInKey", Bytes("[s]\r\nc \0d=3\r\n"), "s", "c", "fb", TextSize, "fb"},
    // Unicode files
    {"Utf8MarkedFileReadsAsWindows1252", "\xef\xbb\xbf[s]\r\nk=\xc3\xa9\xe2\x82\xac\r\n", "s", "k", "fb", TextSize,
     "\xe9\x80"},
    {"Utf8MarkedFileNamesAsWindows1252", "\xef\xbb\xbf[\xc3\xa9]\r\nk=1\r\n", "\xe9", "k", "fb", TextSize, "1"},
    {"Utf8OutsideWindows1252", "\xef\xbb\xbf[s]\r\nk=\xe4\xb8\xad\r\n", "s", "k", "fb", TextSize, "?"},
    {"Utf8BeyondSixteenBitsIsTwoCharacters", "\xef\xbb\xbf[s]\r\nk=\xf0\x9f\x98\x80\r\n", "s", "k", "fb", TextSize,
     "?\?"},
    {"Utf8OverlongSequence", "\xef\xbb\xbf[s]\r\nk=<\xe0\x80\x80>\r\n", "s", "k", "fb", TextSize, "<?\?>"},
    {"Utf8SequenceCutShort", "\xef\xbb\xbf[s]\r\nk=<\xe4\xb8>\r\n", "s", "k", "fb", TextSize, "<?>"},
    {"Utf8StrayBytes", "\xef\xbb\xbf[s]\r\nk=<\xc0\x80\xfe>\r\n", "s", "k", "fb", TextSize, "<?\?\?>"},
    {"Utf8WithoutMarkIsAnsi", "[s]\r\nk=\xc3\xa9\r\n", "s", "k", "fb", TextSize, "\xc3\xa9"},
    {"Utf8MarkCutShortIsAnsi", "\xef\xbb[s]\r\nk=1\r\n", "s", "k", "fb", TextSize, "fb"},
    {"Utf16Little", Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\xe9\0\xac\x20\r\0\n\0"), "s", "k", "fb", TextSize,
     "\xe9\x80"},
    {"Utf16Big", Bytes("\xfe\xff\0[\0s\0]\0\r\0\n\0k\0=\0""1"), "s", "k", "fb", TextSize, "1"},
    {"Utf16LoneSurrogate", Bytes("\xff\xfe[\0s\0]\0\n\0k\0=\0\x00\xd8<\0"), "s", "k", "fb", TextSize, "?<"},
    {"Utf16OddLastByte", Bytes("\xff\xfe[\0s\0]\0\n\0k\0=\0x"), "s", "k", "fb", TextSize, "x"},
    {"Utf16WithoutMarkIsAnsi", Bytes("[\0s\0]\0\r\0\n\0k\0=\0""1\0\r\0\n\0"), "s", "k", "fb", TextSize, "fb"},
};

INSTANTIATE_TEST_SUITE_P(Files, IniProfileReadTest, ::testing::ValuesIn(ReadCases),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

// ---- Reading integers ------------------------------------------------------

struct IntCase {
    const char* name;
    const char* value;  // nullptr: no such key
    int expected;
};

static std::ostream& operator<<(std::ostream& out, const IntCase& c) { return out << c.name; }

class IniProfileIntTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniProfileIntTest, ReadsAsTheApi) {
    const IntCase& c = GetParam();
    std::string file = "[s]\r\n";
    if (c.value != nullptr) file += std::string("k=") + c.value + "\r\n";
    IniProfile profile(file);
    EXPECT_EQ(profile.ReadInt("s", "k", IntFallback), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniProfileIntTest,
    ::testing::Values(IntCase{"Missing", nullptr, IntFallback}, IntCase{"Empty", "", IntFallback},
                      IntCase{"EmptyQuotes", "\"\"", IntFallback}, IntCase{"Decimal", "12", 12},
                      IntCase{"Negative", "-12", -12}, IntCase{"Plus", "+7", 7}, IntCase{"Quoted", "'42'", 42},
                      IntCase{"TextAfterDigits", "12abc", 12}, IntCase{"NoDigits", "abc", 0},
                      IntCase{"SecondNumberIgnored", "1 2", 1}, IntCase{"LeadingZeroIsDecimal", "010", 10},
                      IntCase{"Hex", "0x10", 16}, IntCase{"HexDigitsInBothCases", "0xAbC", 2748},
                      IntCase{"NegativeHex", "-0x10", -16}, IntCase{"PlusHex", "+0x10", 16},
                      IntCase{"UpperCaseXIsNoPrefix", "0X10", 0}, IntCase{"HexWithoutDigits", "0x", 0},
                      IntCase{"HexBadDigit", "0xg", 0}, IntCase{"PrefixAfterZero", "00x5", 0},
                      IntCase{"SignAfterPrefix", "0x-5", 0}, IntCase{"Binary", "0b101", 5},
                      IntCase{"BinaryStopsAtTwo", "0b12", 1}, IntCase{"UpperCaseBIsNoPrefix", "0B11", 0},
                      IntCase{"Octal", "0o17", 15}, IntCase{"OctalStopsAtEight", "0o78", 7},
                      IntCase{"ControlCharactersSkipped", "\x01\x02 5", 5}, IntCase{"SignBeforeControl", "-\x01 5", 0},
                      IntCase{"ControlBeforeSign", "\x01-5", -5}, IntCase{"DeleteIsNotSkipped", "\x7f 5", 0},
                      IntCase{"NoBreakSpaceIsNotSkipped", "\xa0 5", 0}, IntCase{"BlankAfterSign", "- 5", 0},
                      IntCase{"TwoSigns", "+-5", 0}, IntCase{"Largest", "2147483647", INT_MAX},
                      IntCase{"Smallest", "-2147483648", INT_MIN}, IntCase{"WrapsPastLargest", "2147483648", INT_MIN},
                      IntCase{"WrapsPastSmallest", "-2147483649", INT_MAX},
                      IntCase{"AllBitsSet", "4294967295", -1}, IntCase{"WrapsToZero", "4294967296", 0},
                      IntCase{"WrapsManyTimes", "99999999999", 1215752191},
                      IntCase{"NegativeWraps", "-4294967295", 1}, IntCase{"LongHexWraps", "0xfffffffff", -1},
                      IntCase{"TwentyNineCharacters", "00000000000000000000000000012", 12},
                      IntCase{"ThirtyCharactersCut", "000000000000000000000000000012", 1},
                      IntCase{"QuotedTwentyEight", "'0000000000000000000000000012'", 12},
                      IntCase{"QuotedTwentyNineLosesTwo", "'00000000000000000000000000012'", 1}),
    [](const ::testing::TestParamInfo<IntCase>& info) { return std::string(info.param.name); });

// ---- Writing ---------------------------------------------------------------

struct WriteStep {
    const char* section;
    const char* key;
    const char* value;
};

struct WriteCase {
    const char* name;
    std::string file;
    std::vector<WriteStep> steps;
    std::string expected;
};

static std::ostream& operator<<(std::ostream& out, const WriteCase& c) { return out << c.name; }

class IniProfileWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniProfileWriteTest, WritesAsTheApi) {
    const WriteCase& c = GetParam();
    IniProfile profile(c.file);
    for (const WriteStep& step : c.steps) profile.WriteText(step.section, step.key, step.value);
    EXPECT_EQ(profile.Text(), c.expected);
}

static const std::vector<WriteCase> WriteCases = {
    {"ReplacesInPlaceAndWritesAllAnew",
     "; head\r\n[Window]\r\nLeft = 10 \r\n\r\n  junk  \r\n[main]\r\nx=1\r\n",
     {{"window", "LEFT", "20"}},
     "; head\r\n[Window]\r\nLeft=20\r\njunk\r\n[main]\r\nx=1\r\n"},
    {"NewKeyEndsItsSection", "[a]\r\nx=1\r\n\r\n\r\n[b]\r\ny=2\r\n", {{"a", "z", "3"}},
     "[a]\r\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n"},
    {"NewKeyAfterLastLineWithoutEnd", "[a]\r\nx=1\r\n[b]\r\ny=2", {{"b", "z", "3"}}, "[a]\r\nx=1\r\n[b]\r\ny=2\r\nz=3\r\n"},
    {"NewSectionsEndTheFile", "[a]\r\nx=1\r\n\r\n", {{"b", "y", "2"}, {"c", "z", "3"}},
     "[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c]\r\nz=3\r\n"},
    {"MissingFile", "", {{"s", "k", "v"}, {"s", "k2", "v2"}, {"t", "k", "v"}}, "[s]\r\nk=v\r\nk2=v2\r\n[t]\r\nk=v\r\n"},
    {"LfFileWrittenWithCrLf", "[s]\nk=1\n\n[t]\nj=2\n", {{"s", "k", "2"}}, "[s]\r\nk=2\r\n[t]\r\nj=2\r\n"},
    {"SameValueLeavesTheFile", "[s]\n  k = v \n;x\n", {{"s", "k", "v"}, {"S", "K", " v"}}, "[s]\n  k = v \n;x\n"},
    {"QuotedValueComparedAsStored", "[s]\n k = 'v' \n", {{"s", "k", "'v'"}}, "[s]\n k = 'v' \n"},
    {"ValueInOtherCaseWritten", "[s]\n  k = v \n", {{"s", "k", "V"}}, "[s]\r\nk=V\r\n"},
    {"TrailingBlankOfValueWritten", "[s]\n  k = v \n", {{"s", "k", "v "}}, "[s]\r\nk=v \r\n"},
    {"NewNamesLoseLeadingBlanksOnly", "[s]\r\n", {{" s ", " k ", "\t v "}}, "[s]\r\nk =v \r\n"},
    {"NextWriteTrimsWhatTheLastLeft", "[s]\r\n", {{"s", " k ", " v "}, {" new ", "x", "1"}},
     "[s]\r\nk=v\r\n[new ]\r\nx=1\r\n"},
    {"KeyWithoutValueGetsOne", "[s]\r\njunk\r\nother\r\n", {{"s", "junk", "now"}, {"s", "other", ""}},
     "[s]\r\njunk=now\r\nother=\r\n"},
    {"KeysWrittenBeforeFirstSection", "[a]\r\nk=1\r\n", {{"", "t", "1"}}, "t=1\r\n[a]\r\nk=1\r\n"},
    {"FirstDuplicateSectionWritten", "[a]\r\nx=1\r\n[b]\r\n[A]\r\ny=2\r\n", {{"a", "y", "new"}},
     "[a]\r\nx=1\r\ny=new\r\n[b]\r\n[A]\r\ny=2\r\n"},
    {"NamelessHeadersVanish", "[a]\r\n[]\r\nk=1\r\n[ ]\r\nj=2\r\n", {{"a", "n", "1"}}, "[a]\r\nn=1\r\nk=1\r\nj=2\r\n"},
    {"HeadersWrittenAsRead", "[open\r\nz=3\r\n[after]tail\r\nw=4\r\n", {{"after", "n", "1"}},
     "[open\r\nz=3\r\n[after]\r\nw=4\r\nn=1\r\n"},
    {"CommentsAndJunkKeptTrimmed", "  ; note  \r\n[s]\r\n  junk  \r\n", {{"s", "k", "1"}},
     "; note\r\n[s]\r\njunk\r\nk=1\r\n"},
    {"LineBreakInValueMakesALine", "[s]\r\n", {{"s", "t", "a\r\nb=c"}}, "[s]\r\nt=a\r\nb=c\r\n"},
    {"CtrlZAtEndDropped", "[s]\r\nk=1\r\n\x1a", {{"s", "n", "3"}}, "[s]\r\nk=1\r\nn=3\r\n"},
    {"NulCutsTheRestOfItsLine", Bytes("[s]\r\na=1\0x\r\n"), {{"s", "b", "2"}}, "[s]\r\na=1\r\nb=2\r\n"},
    {"NullValueWritesEmpty", "[s]\r\nk=1\r\n", {{"s", "k", nullptr}}, "[s]\r\nk=\r\n"},
    {"NullNamesWriteNothing", "[s]\nk=1\n", {{nullptr, "k", "2"}, {"s", nullptr, "2"}}, "[s]\nk=1\n"},
    {"Utf8MarkKeptAndValueConverted", "\xef\xbb\xbf[s]\r\nk=1\r\n", {{"s", "n", "\xe9\x80"}},
     "\xef\xbb\xbf[s]\r\nk=1\r\nn=\xc3\xa9\xe2\x82\xac\r\n"},
    {"Utf8MarkOnly", "\xef\xbb\xbf", {{"s", "n", "2"}}, "\xef\xbb\xbf[s]\r\nn=2\r\n"},
    {"Utf8BrokenBytesReplaced", "\xef\xbb\xbf[s]\r\nk=\xff\r\n", {{"s", "n", "2"}},
     "\xef\xbb\xbf[s]\r\nk=\xef\xbf\xbd\r\nn=2\r\n"},
    {"Utf8CharactersBeyondWindows1252Kept", "\xef\xbb\xbf[s]\r\nk=\xe4\xb8\xad\xf0\x9f\x98\x80\r\n", {{"s", "n", "2"}},
     "\xef\xbb\xbf[s]\r\nk=\xe4\xb8\xad\xf0\x9f\x98\x80\r\nn=2\r\n"},
    {"AnsiHighBytesKept", "[s\xe9]\r\nk\x81=\x8d\x90\xff\r\n", {{"s\xe9", "n", "\x81\x8f"}},
     "[s\xe9]\r\nk\x81=\x8d\x90\xff\r\nn=\x81\x8f\r\n"},
    {"WrittenMarkMakesAUtf8File", "[s]\r\nk=1\r\n", {{"", "\xef\xbb\xbfk", "1"}, {"s", "n", "\xe9"}},
     "\xef\xbb\xbfk=1\r\n[s]\r\nk=1\r\nn=\xc3\xa9\r\n"},
    {"Utf16LittleStaysSo", Bytes("\xff\xfe[\0s\0]\0\n\0k\0=\0\x00\xd8\n\0"), {{"s", "n", "\xe9"}},
     Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0\x00\xd8\r\0\n\0n\0=\0\xe9\0\r\0\n\0")},
    {"Utf16BigStaysSo", Bytes("\xfe\xff\0[\0s\0]\0\n"), {{"s", "n", "\x80"}},
     Bytes("\xfe\xff\0[\0s\0]\0\r\0\n\0n\0=\x20\xac\0\r\0\n")},
};

INSTANTIATE_TEST_SUITE_P(Files, IniProfileWriteTest, ::testing::ValuesIn(WriteCases),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(IniProfileWriteInt, WritesDecimalText) {
    IniProfile profile("");
    WriteInt(&profile, "s", "low", INT_MIN);
    WriteInt(&profile, "s", "high", INT_MAX);
    WriteInt(&profile, "s", "zero", 0);
    EXPECT_EQ(profile.Text(), "[s]\r\nlow=-2147483648\r\nhigh=2147483647\r\nzero=0\r\n");
    EXPECT_EQ(profile.ReadInt("s", "low", 0), INT_MIN);
}

// ---- Round trips -----------------------------------------------------------

// Files as the API writes them: a write that changes a value and one that
// changes it back give the same bytes again.
struct RoundTripCase {
    const char* name;
    std::string file;
};

static std::ostream& operator<<(std::ostream& out, const RoundTripCase& c) { return out << c.name; }

class IniProfileRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(IniProfileRoundTripTest, ChangedAndRestoredValueGivesTheSameBytes) {
    const std::string& file = GetParam().file;
    IniProfile profile(file);
    EXPECT_EQ(profile.Text(), file);
    char before[TextSize];
    profile.ReadText("main", "ports_count", "", before, sizeof before);
    profile.WriteText("main", "ports_count", "77");
    EXPECT_NE(profile.Text(), file);
    EXPECT_EQ(Read(&profile, "main", "ports_count"), "77");
    profile.WriteText("main", "ports_count", before);
    EXPECT_EQ(profile.Text(), file);
}

static std::string TypicalConfig(const char* accentedE) {
    return std::string("[window]\r\nleft=120\r\ntop=80\r\nwidth=900\r\nheight=600\r\nspliter_top=200\r\n"
                       "spliter_left=240\r\n[main]\r\nautorun=0\r\nports_count=2\r\n[network]\r\n"
                       "acceptfromlocalcomputer=1\r\ntimeout=10\r\n[categories]\r\ncount=2\r\ncategory0=Fast\r\n"
                       "category1=Caf") +
           accentedE +
           " \"quoted\" name\r\n[port0]\r\nname=Default\r\nport=9800\r\nstatus=1\r\nserver=10.0.0.5:3128\r\n"
           "[port1]\r\nname=Second port\r\nport=9801\r\nstatus=0\r\nserver=proxy.example.net:1080\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    WellFormed, IniProfileRoundTripTest,
    ::testing::Values(RoundTripCase{"Ansi", TypicalConfig("\xe9")},
                      RoundTripCase{"Utf8", "\xef\xbb\xbf" + TypicalConfig("\xc3\xa9")},
                      RoundTripCase{"Utf16", Bytes("\xff\xfe[\0m\0a\0i\0n\0]\0\r\0\n\0p\0o\0r\0t\0s\0_\0c\0o\0u\0n\0t\0"
                                                   "=\0""2\0\r\0\n\0\xe9\0=\0\xac\x20\r\0\n\0")}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

// ---- Bad input -------------------------------------------------------------

TEST(IniProfileBadInput, LongLineReadsWholeOrCut) {
    std::string value(1 << 20, 'a');
    IniProfile profile("[s]\r\nlong=" + value + "\r\nnext=1\r\n");
    EXPECT_EQ(Read(&profile, "s", "long"), std::string(TextSize - 1, 'a'));
    EXPECT_EQ(Read(&profile, "s", "long", "", (unsigned)value.size() + 1), value);
    EXPECT_EQ(Read(&profile, "s", "next"), "1");
}

TEST(IniProfileBadInput, TextsLongerThanTheApiCarriesAreCut) {
    std::string value(40000, 'v');
    IniProfile profile("");
    profile.WriteText("s", "k", value.c_str());
    EXPECT_EQ(Read(&profile, "s", "k", "", 50000), std::string(32766, 'v'));
    EXPECT_EQ(Read(&profile, "s", "missing", value.c_str(), 50000), std::string(32766, 'v'));
}

TEST(IniProfileBadInput, HugeFileReadAndWritten) {
    std::string file;
    const int sectionCount = 100000;
    for (int i = 0; i < sectionCount; ++i) file += "[port" + std::to_string(i) + "]\r\nport=" + std::to_string(i) + "\r\n";
    IniProfile profile(file);
    EXPECT_EQ(profile.ReadInt("port99999", "port", -1), 99999);
    profile.WriteText("port0", "name", "first");
    profile.WriteText("last", "k", "1");
    std::string expected = file;
    expected.insert(std::strlen("[port0]\r\nport=0\r\n"), "name=first\r\n");
    EXPECT_EQ(profile.Text(), expected + "[last]\r\nk=1\r\n");
}

// Every byte value, NUL included, in every place of a line: nothing read
// runs past its buffer (the sanitizers watch), the file stays as it was.
TEST(IniProfileBadInput, ArbitraryBytesAreSafe) {
    std::string file;
    unsigned seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        unsigned pick = (seed >> 16) % 24;
        const char common[] = "[]=\r\n '\" \t;ks";
        file += pick < sizeof common - 1 ? common[pick] : (char)(seed >> 8);
    }
    const char* marks[] = {"", "\xef\xbb\xbf", "\xff\xfe", "\xfe\xff"};
    for (const char* mark : marks) {
        IniProfile profile(mark + file);
        for (unsigned size = 1; size < 8; ++size) {
            std::string got = Read(&profile, "k", "k", "fallback", size);
            EXPECT_LT(got.size(), size);
        }
        profile.ReadInt("s", "k", 0);
        EXPECT_EQ(profile.Text(), mark + file);
    }
}

TEST(IniProfileBadInput, EmptyBufferLeftAlone) {
    IniProfile profile("[s]\r\nk=1\r\n");
    char out[2] = {'#', '#'};
    profile.ReadText("s", "k", "fb", out, 0);
    EXPECT_EQ(out[0], '#');
    profile.ReadText("s", "k", "fb", nullptr, 10);
}
