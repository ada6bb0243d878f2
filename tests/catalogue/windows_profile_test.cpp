// WindowsProfile and IniProfile side by side: the same file, the same reads
// and writes through both, and the same results and file bytes from both.
#include "manager/catalogue/ini_profile.h"
#include "manager/catalogue/windows_profile.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

enum OpKind { ReadOp, IntOp, WriteOp, WriteIntOp };

struct ProfileOp {
    OpKind kind;
    std::string section;
    std::string key;
    std::string text;  // the fallback of a read, the value of a write
    unsigned size;     // the buffer of a read
    int number;        // the fallback of ReadInt, the value of WriteInt
};

static const unsigned TextSize = 256;
static const int IntFallback = -777;

static ProfileOp Read(const std::string& section, const std::string& key, const std::string& fallback = "none",
                      unsigned size = TextSize) {
    return ProfileOp{ReadOp, section, key, fallback, size, 0};
}

static ProfileOp Int(const std::string& section, const std::string& key) {
    return ProfileOp{IntOp, section, key, "", 0, IntFallback};
}

static ProfileOp Write(const std::string& section, const std::string& key, const std::string& value) {
    return ProfileOp{WriteOp, section, key, value, 0, 0};
}

static ProfileOp WriteNumber(const std::string& section, const std::string& key, int value) {
    return ProfileOp{WriteIntOp, section, key, "", 0, value};
}

// Reads of one key with every buffer size from 1 to last.
static std::vector<ProfileOp> ReadsBySize(const std::string& section, const std::string& key,
                                          const std::string& fallback, unsigned last) {
    std::vector<ProfileOp> ops;
    for (unsigned size = 1; size <= last; ++size) ops.push_back(Read(section, key, fallback, size));
    return ops;
}

static std::vector<ProfileOp> Joined(std::vector<ProfileOp> first, const std::vector<ProfileOp>& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// File contents with NUL bytes in them.
template <size_t N>
static std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

struct CompareCase {
    const char* name;
    bool fileExists;
    std::string content;
    std::vector<ProfileOp> ops;
};

static std::string Escaped(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        unsigned char u = (unsigned char)c;
        char code[8];
        if (u == '\r') {
            out += "\\r";
        } else if (u == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u >= 0x7f || u == '\\') {
            std::snprintf(code, sizeof code, "\\x%02x", u);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

static std::ostream& operator<<(std::ostream& out, const CompareCase& c) { return out << c.name; }

// Keys k01 to kff (without the line breaks and '='), each value and each key
// wrapped in the byte of its number: shows which bytes are trimmed and how
// every byte reads and writes back.
static std::string EveryByteContent() {
    std::string text = "[s]\r\n";
    for (int b = 1; b < 256; ++b) {
        if (b == '\r' || b == '\n' || b == '=') continue;
        char line[48];
        std::snprintf(line, sizeof line, "k%02x=%cv%c\r\n%cj%02x%c=1\r\n", b, b, b, b, b, b);
        text += line;
    }
    return text;
}

static std::vector<ProfileOp> EveryByteOps() {
    std::vector<ProfileOp> ops;
    for (int b = 1; b < 256; ++b) {
        if (b == '\r' || b == '\n' || b == '=') continue;
        char key[8];
        std::snprintf(key, sizeof key, "k%02x", b);
        ops.push_back(Read("s", key));
        std::snprintf(key, sizeof key, "j%02x", b);
        ops.push_back(Read("s", key));
        char wrapped[8] = {(char)b, 'j', key[1], key[2], (char)b, '\0'};
        ops.push_back(Read("s", wrapped));
    }
    ops.push_back(Write("s", "high", "\x80\x81\x8d\x8f\x90\x9d\x9f\xa0\xe9\xff"));
    ops.push_back(Read("s", "high"));
    return ops;
}

static std::string DigitsText(size_t zeros, const char* wrap) {
    return std::string(wrap) + std::string(zeros, '0') + "12" + wrap;
}

// Values of 28 to 32 characters around the 30-character buffer of
// GetPrivateProfileIntA, bare and quoted.
static CompareCase IntCutCase() {
    CompareCase c{"IntValuesAroundTheBufferSize", true, "[s]\r\n", {}};
    for (size_t zeros = 25; zeros <= 30; ++zeros) {
        std::string key = "d" + std::to_string(zeros);
        std::string quoted = "q" + std::to_string(zeros);
        c.content += key + "=" + DigitsText(zeros, "") + "\r\n" + quoted + "=" + DigitsText(zeros, "'") + "\r\n";
        c.ops.push_back(Int("s", key));
        c.ops.push_back(Int("s", quoted));
    }
    return c;
}

static CompareCase LongTextCase() {
    std::string line(70000, 'a');
    std::string longValue(40000, 'v');
    std::string longKey(33000, 'k');
    return CompareCase{"LongTexts",
                       true,
                       "[s]\r\nlong=" + line + "b\r\nw=2\r\n",
                       {Read("s", "long", "", 100000), Read("s", "long", "", 300), Read("s", "w"),
                        Read("s", "missing", longValue, 50000), Write("s", "written", longValue),
                        Read("s", "written", "", 50000), Write("s", longKey, "1"), Read("s", longKey)}};
}

static CompareCase ManyWritesCase() {
    CompareCase c{"SettingsWrittenOneByOne", false, "", {}};
    const char* windowKeys[] = {"left", "top", "width", "height"};
    for (int i = 0; i < 4; ++i) c.ops.push_back(WriteNumber("window", windowKeys[i], 100 * i - 50));
    c.ops.push_back(Write("main", "autorun", "1"));
    c.ops.push_back(WriteNumber("main", "ports_count", 2));
    for (int port = 0; port < 2; ++port) {
        std::string section = "port" + std::to_string(port);
        c.ops.push_back(Write(section, "name", "Port " + std::to_string(port)));
        c.ops.push_back(WriteNumber(section, "port", 9800 + port));
        c.ops.push_back(Write(section, "server", "10.0.0." + std::to_string(port + 1) + ":3128"));
    }
    c.ops.push_back(Write("categories", "count", "0"));
    c.ops.push_back(Write("WINDOW", "Left", "7"));
    c.ops.push_back(WriteNumber("network", "timeout", -2147483647 - 1));
    for (int i = 0; i < 4; ++i) c.ops.push_back(Int("window", windowKeys[i]));
    c.ops.push_back(Int("network", "timeout"));
    c.ops.push_back(Read("port1", "server"));
    return c;
}

static std::vector<CompareCase> Cases() {
    std::vector<CompareCase> cases = {
        {"NamesIgnoreCaseAndBlanks",
         true,
         "[Window]\r\nLeft=10\r\n[main]\r\n  Ports_Count =  3  \r\n",
         {Read("window", "left"), Read("WINDOW", "LEFT"), Read(" main ", " ports_count "),
          Read("\tmain\r\n", "ports_count\n"), Read("main", "missing"), Read("nosec", "x"), Int("MAIN", "Ports_count")}},
        {"NonAsciiLettersKeepTheirCase",
         true,
         "[s\xe9]\r\nk\xc9=1\r\n",
         {Read("s\xe9", "k\xc9"), Read("s\xc9", "k\xc9"), Read("s\xe9", "k\xe9")}},
        {"BlanksAroundKeysAndValues",
         true,
         "[s]\r\n\tk1\t=\tv1\t\r\nk2 = v 2 \r\n\vk3\f=\x1a v3 \x1a\r\nk4=\xa0v4\xa0\r\nk5=\x01v5\x01\r\n",
         {Read("s", "k1"), Read("s", "k2"), Read("s", "k3"), Read("s", "k4"), Read("s", "k4\xa0"), Read("s", "k5")}},
        {"EveryByte", true, EveryByteContent(), EveryByteOps()},
        {"Quotes",
         true,
         "[s]\r\na=\"x y\"\r\nb='x y'\r\nc=\"x y'\r\nd='\r\ne=''\r\nf=\"\r\ng= ' sp ' \r\nh=\"a\"b\"\r\nj=x'\r\n",
         {Read("s", "a"), Read("s", "b"), Read("s", "c"), Read("s", "d"), Read("s", "e"), Read("s", "f"),
          Read("s", "g"), Read("s", "h"), Read("s", "j")}},
        {"QuotedValuesCut", true, "[s]\r\na=''\r\nb='x'\r\nc=\"xy\"\r\nd='abcdef'\r\n",
         Joined(Joined(ReadsBySize("s", "a", "", 3), ReadsBySize("s", "b", "", 4)),
                Joined(ReadsBySize("s", "c", "", 5), ReadsBySize("s", "d", "", 9)))},
        {"ValuesCut", true, "[s]\r\nv=abcdefghij\r\n", ReadsBySize("s", "v", "", 12)},
        {"Fallbacks", true, "[s]\r\nk=1\r\n",
         Joined(Joined({Read("s", "m", ""), Read("s", "m", "  fb  "), Read("s", "m", "   "), Read("s", "m", "\t"),
                        Read("s", "m", "fb\t "), Read("s", "m", "'q'"), Read("s", "m", "\"q\"  "),
                        Read("s", "m", "' x '"), Read("x", "k", "fb")},
                       ReadsBySize("s", "m", "'abc'", 6)),
                ReadsBySize("s", "m", "abcdefghij", 12))},
        {"LinesThatAreNotKeyValue",
         true,
         "top=1\r\n[s]\r\n;c=2\r\n# h=3\r\njunk\r\nempty=\r\n=novalue\r\ndup=first\r\ndup=second\r\nk=a=b\r\n",
         {Read("", "top"), Read(" ", "top"), Read("s", "top"), Read("s", ";c"), Read("s", "# h"), Read("s", "junk"),
          Read("s", "junk", ""), Read("s", "empty"), Read("s", ""), Read("s", "dup"), Read("s", "k"), Int("s", "empty"),
          Int("s", "junk")}},
        {"SectionHeaders",
         true,
         " [ spaced ] \r\nx=1\r\n[br]ack]\r\ny=2\r\n[open\r\nz=3\r\n[after]tail\r\nw=4\r\n[a]\r\nb=1\r\n[b]\r\n[A]\r\nc=2\r\nb=3\r\n",
         {Read("spaced", "x"), Read(" spaced ", "x"), Read("br]ack", "y"), Read("br", "y"), Read("open", "z"),
          Read("[open", "z"), Read("br]ack", "z"), Read("after", "w"), Read("after]tail", "w"), Read("a", "b"),
          Read("a", "c"), Write("a", "c", "new"), Read("a", "c"), Read("spaced", "x")}},
        {"NamelessSections",
         true,
         "[a]\r\n[]\r\nk=1\r\n[ ]\r\nj=2\r\n",
         {Read("", "k"), Read("", "j"), Read("a", "k"), Write("a", "n", "1"), Read("", "k"), Read("a", "k")}},
        {"LineEnds", true, "[s]\na=1\rb=2\r\nc=3\n\rd=4\r\r\ne=5",
         {Read("s", "a"), Read("s", "b"), Read("s", "c"), Read("s", "d"), Read("s", "e"), Write("s", "f", "6")}},
        {"NulBytes",
         true,
         Bytes("[s]\r\na=1\0x\r\nb\0q=2\r\nc \0d=3\r\n[t\0u]\r\nd=4\r\n\0\r\n[v\0]w]\r\ne=5\r\n"),
         {Read("s", "a"), Read("s", "b"), Read("s", "c"), Read("s", "c "), Read("t", "d"), Read("v", "e"),
          Write("s", "a", "9"), Read("s", "c")}},
        {"Ints",
         true,
         "[s]\r\na=12\r\nb=-12\r\nc=+7\r\nd=0x10\r\ne=0X10\r\nf=010\r\ng=0b101\r\nh=0o17\r\ni=abc\r\nj=\r\nk=12abc\r\n"
         "l='42'\r\nm=4294967296\r\nn=4294967295\r\no=2147483648\r\np=-2147483649\r\nq=99999999999\r\nr=\x01\x02 5\r\n"
         "s=0x\r\nt=-0x10\r\nw=- 5\r\nx=0xfffffffff\r\ny=1 2\r\nz=0xg\r\naa=\"\"\r\nbb=0b12\r\ncc=0o78\r\ndd=+-5\r\n"
         "ee=0B11\r\nff=0xAbC\r\ngg=-\x01 5\r\nhh=\xa0 5\r\nii=\x7f 5\r\njj=-4294967295\r\nkk=00x5\r\nll=0x-5\r\n",
         {Int("s", "a"),  Int("s", "b"),  Int("s", "c"),  Int("s", "d"),  Int("s", "e"),  Int("s", "f"),
          Int("s", "g"),  Int("s", "h"),  Int("s", "i"),  Int("s", "j"),  Int("s", "k"),  Int("s", "l"),
          Int("s", "m"),  Int("s", "n"),  Int("s", "o"),  Int("s", "p"),  Int("s", "q"),  Int("s", "r"),
          Int("s", "s"),  Int("s", "t"),  Int("s", "w"),  Int("s", "x"),  Int("s", "y"),  Int("s", "z"),
          Int("s", "aa"), Int("s", "bb"), Int("s", "cc"), Int("s", "dd"), Int("s", "ee"), Int("s", "ff"),
          Int("s", "gg"), Int("s", "hh"), Int("s", "ii"), Int("s", "jj"), Int("s", "kk"), Int("s", "ll"),
          Int("s", "missing"), Int("t", "a")}},
        IntCutCase(),
        {"ReplaceInPlace",
         true,
         "; head\r\n[Window]\r\nLeft = 10 \r\n\r\n  junk  \r\n[main]\r\nx=1\r\n",
         {Write("window", "LEFT", "20"), Read("Window", "left")}},
        {"NewKeyEndsItsSection", true, "[a]\r\nx=1\r\n\r\n\r\n[b]\r\ny=2", {Write("a", "z", "3"), Write("b", "z", "4")}},
        {"NewSectionEndsTheFile", true, "[a]\r\nx=1\r\n\r\n", {Write("b", "y", "2"), Write("c", "z", "3")}},
        {"MissingFile", false, "", {Read("s", "k"), Write("s", "k", "v"), Write("s", "k2", "v2"), Write("t", "k", "v")}},
        {"EmptyFile", true, "", {Write("s", "k", "v")}},
        {"ReadsLeaveTheFile", true, "[s]\n  k = v \n\n", {Read("s", "k"), Int("s", "k"), Read("t", "u")}},
        {"SameValueLeavesTheFile", true, "[s]\n  k = v \n;x\n", {Write("s", "k", "v"), Write("S", "K", " v")}},
        {"ValueInOtherCaseIsWritten", true, "[s]\n  k = v \n", {Write("s", "k", "V")}},
        {"TrailingBlankIsWritten", true, "[s]\n  k = v \n", {Write("s", "k", "v ")}},
        {"QuotedValueComparedAsStored", true, "[s]\r\n k = 'v' \r\n", {Write("s", "k", "'v'"), Write("s", "k", "v")}},
        {"BlanksInWrittenNames",
         true,
         "[s]\r\n",
         {Write(" s ", " k ", " v "), Read("s", "k"), Read("s", "k "), Write("s", "k ", "v "), Write("s", "k", "v"),
          Write(" new ", "x", "1"), Read("new", "x"), Write("s", "\tt\t", "\tv\t"), Read("s", "t")}},
        {"LineBreaksInWrittenTexts",
         true,
         "[s]\r\n",
         {Write("s", "t", "a\r\nb=c"), Read("s", "t"), Read("s", "b"), Write("s", "\r\nk", "\n v"), Read("s", "k"),
          Write("\r\nsec", "k", "1"), Read("sec", "k"), Write("x\ny", "k", "1")}},
        {"KeyWithoutValueGetsOne", true, "[s]\r\njunk\r\n;c=1\r\nother\r\n",
         {Write("s", "junk", "now"), Write("s", ";c", "2"), Write("s", "other", ""), Read("s", "other")}},
        {"EmptyValue", true, "[s]\r\n", {Write("s", "e", ""), Read("s", "e"), Int("s", "e")}},
        {"KeysBeforeTheFirstSection", true, "top=1\r\n[s]\r\nk=1\r\n",
         {Write("", "top", "2"), Read("", "top"), Write(" ", "next", "3")}},
        {"KeysWrittenWithoutSection", true, "[a]\r\nk=1\r\n", {Write("", "t", "1"), Read("", "t"), Read("a", "t")}},
        {"DuplicateSectionsWriteTheFirst", true, "[a]\r\nx=1\r\n[b]\r\n[A]\r\ny=2\r\nx=3\r\n",
         {Read("a", "y"), Write("a", "y", "new"), Write("A", "x", "4"), Read("a", "x")}},
        {"DuplicateKeysWriteTheFirst", true, "[a]\r\nx=1\r\nX=2\r\n", {Write("a", "x", "3"), Read("a", "x")}},
        {"UnusualNames",
         true,
         "[s]\r\n",
         {Write("s", "", "e"), Read("s", ""), Write("s", "a=b", "v"), Read("s", "a"), Write("a]b", "k", "v"),
          Read("a]b", "k"), Write("[x", "k", "v"), Read("[x", "k"), Write("s", "[y]", "v"), Read("s", "[y]"),
          Read("y", "k")}},
        {"OddEndsOfFile", true, "[s]\r\nk=1\x1a\x1a\r\n\x1a", {Read("s", "k"), Write("s", "n", "3")}},
        {"NoFinalLineEnd", true, "[s]\r\nk=1", {Write("s", "n", "3")}},
        {"Utf8MarkedFile",
         true,
         "\xef\xbb\xbf[s]\r\nk=\xe4\xb8\xad\r\nj=\xc3\xa9\r\n \xc2\xa0 m \xc2\xa0=1\r\n\xe2\x80\x83n\xe2\x80\x83=2\r\n"
         "e=\xf0\x9f\x98\x80\r\nt=\xe2\x84\xa2\xc2\x81\xc2\x80\r\n",
         {Read("s", "k"), Read("s", "j"), Read("s", "m"), Read("s", "\xa0 m \xa0"), Read("s", "n"), Read("s", "e"),
          Read("s", "e", "", 2), Read("s", "t"), Write("s", "j", "\x80\x81\x9f\xff"), Read("s", "j"),
          Write("s\xe9", "\xe9", "\xe9"), Read("S\xe9", "\xe9")}},
        {"Utf8BrokenSequences",
         true,
         "\xef\xbb\xbf[s]\r\na=<\xc3>\r\nb=<\xe4\xb8>\r\nc=<\xf0\x9f\x98>\r\nd=<\x80\xbf>\r\ne=<\xc0\x80\xc1\xbf>\r\n"
         "f=<\xe0\x80\x80>\r\ng=<\xed\xa0\x80>\r\nh=<\xf4\x90\x80\x80>\r\ni=<\xf5\x80\x80\x80>\r\nj=<\xf8\x88\x80\x80\x80>\r\n"
         "k=<\xfe\xff>\r\nl=<\xc3(>\r\nm=<\xe4(\xad>\r\nn=<\xf0\x80\x80\x80>\r\no=<\xe0\x80>\r\np=<\xe0\xa0>\r\n"
         "q=<\xf4\x90\x80>\r\nr=<\xed\xa0>\r\ns=<\xf0\x90>\r\nt=<\xc3\xa9\xa9>\r\nu=<\xef\xbf\xbd>\r\nv=\xe4\xb8",
         {Read("s", "a"), Read("s", "b"), Read("s", "c"), Read("s", "d"), Read("s", "e"), Read("s", "f"),
          Read("s", "g"), Read("s", "h"), Read("s", "i"), Read("s", "j"), Read("s", "k"), Read("s", "l"),
          Read("s", "m"), Read("s", "n"), Read("s", "o"), Read("s", "p"), Read("s", "q"), Read("s", "r"),
          Read("s", "s"), Read("s", "t"), Read("s", "u"), Read("s", "v"), Write("s", "w", "1")}},
        {"Utf8MarkOnly", true, "\xef\xbb\xbf", {Read("s", "n"), Write("s", "n", "2")}},
        {"Utf8MarkCutShort", true, "\xef\xbb[s]\r\nk=1\r\n", {Read("s", "k"), Write("t", "n", "2")}},
        {"Utf8WithoutMark", true, "[s]\r\nk=\xc3\xa9\r\n", {Read("s", "k"), Write("s", "n", "\xe9")}},
        {"Utf16Little",
         true,
         Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0""1\0\r\0\n\0\xe9\0=\0\xac\x20\x3d\xd8\x00\xde\r\0"),
         {Read("s", "k"), Read("s", "\xe9"), Write("s", "n", "2\x80"), Read("s", "n")}},
        {"Utf16Big",
         true,
         Bytes("\xfe\xff\0[\0s\0]\0\r\0\n\0k\0=\0""1\0\r\0\n"),
         {Read("s", "k"), Write("s", "n", "2")}},
        {"Utf16OddLength", true, Bytes("\xff\xfe[\0s\0]\0\r\0\n\0k\0=\0""1\0\r\0\n\0x"),
         {Read("s", "k"), Write("s", "n", "2")}},
        {"Utf16BigOddLength", true, Bytes("\xfe\xff\0[\0s\0]\0\n\0k\0=\0""1\0\n\0x\0y\0=\0""1\0\n:"),
         {Read("s", "k"), Read("s", "x"), Write("s", "n", "2")}},
        {"Utf16LittleEndsInHighSurrogate", true, Bytes("\xff\xfe[\0s\0]\0\n\0k\0=\0""1\0\x00\xd8\x01"),
         {Read("s", "k"), Write("s", "n", "2")}},
        {"Utf16LoneSurrogatesAndNul",
         true,
         Bytes("\xff\xfe[\0s\0]\0\n\0a\0=\0\x00\xd8<\0\n\0b\0=\0\x00\xdc\n\0d\0=\0x\0\0\0y\0\n\0f\0=\0 \0""1\0 \0\x00\xd8"),
         {Read("s", "a"), Read("s", "b"), Read("s", "d"), Read("s", "f"), Write("s", "x", "1")}},
        // Written keys that turn the file into UTF-16 are left out: wine then
        // writes bytes it never set, different from run to run.
        {"WrittenKeyMakesAUtf8File", true, "[s]\r\nk=1\r\n",
         {Write(" ", "\xef\xbb\xbfk", "1"), Read("", "k"), Read("s", "k"), Write("s", "n", "\xe9"), Read("s", "n")}},
        {"Utf16MarkOnly", true, "\xff\xfe", {Write("s", "n", "2")}},
        {"Utf16WithoutMark", true, Bytes("[\0s\0]\0\r\0\n\0k\0=\0""1\0\r\0\n\0"), {Read("s", "k"), Write("s", "n", "2")}},
        LongTextCase(),
        ManyWritesCase(),
    };
    return cases;
}

class ProfileComparisonTest : public ::testing::TestWithParam<CompareCase> {
protected:
    // A folder of its own for this run, so that nothing else's files and
    // no file of an earlier run are in the way.
    static void SetUpTestSuite() {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "tessaron_profile_" + std::to_string(GetCurrentProcessId()) + "_" +
                 std::to_string(GetTickCount());
        CreateDirectoryA(folder.c_str(), nullptr);
    }

    static void TearDownTestSuite() { RemoveDirectoryA(folder.c_str()); }

    // Every case has a file name of its own: the API caches files by name.
    void SetUp() override {
        static int next = 0;
        path = folder + "\\case" + std::to_string(next++) + ".ini";
    }

    void TearDown() override { DeleteFileA(path.c_str()); }

    static std::string folder;
    std::string path;
};

std::string ProfileComparisonTest::folder;

static void PutFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// The file's bytes; a missing file reads as empty.
static std::string FileBytes(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    char block[4096];
    size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, got);
    std::fclose(file);
    return bytes;
}

static std::string Described(const ProfileOp& op, size_t index) {
    static const char* const kinds[] = {"ReadText", "ReadInt", "WriteText", "WriteInt"};
    std::string text = op.text.size() > 60 ? op.text.substr(0, 60) + "..." : op.text;
    std::string key = op.key.size() > 60 ? op.key.substr(0, 60) + "..." : op.key;
    return "step " + std::to_string(index) + ": " + kinds[op.kind] + " [" + Escaped(op.section) + "] [" +
           Escaped(key) + "] [" + Escaped(text) + "] size " + std::to_string(op.size);
}

// Reads into a buffer with room past the given size, so that a write past
// it would show.
static std::string ReadThrough(ProfileStore* store, const ProfileOp& op) {
    std::vector<char> buffer(op.size + 2, '#');
    buffer[op.size + 1] = '\0';
    store->ReadText(op.section.c_str(), op.key.c_str(), op.text.c_str(), buffer.data(), op.size);
    EXPECT_EQ(buffer[op.size], '#') << "written past the buffer";
    return std::string(buffer.data());
}

TEST_P(ProfileComparisonTest, ReadsAndWritesAsTheApi) {
    const CompareCase& c = GetParam();
    if (c.fileExists) PutFile(path, c.content);
    WindowsProfile windows(path.c_str());
    IniProfile ini(c.fileExists ? c.content : "");
    for (size_t i = 0; i < c.ops.size(); ++i) {
        const ProfileOp& op = c.ops[i];
        SCOPED_TRACE(Described(op, i));
        if (op.kind == ReadOp) {
            std::string expected = ReadThrough(&windows, op);
            EXPECT_EQ(Escaped(ReadThrough(&ini, op)), Escaped(expected));
        } else if (op.kind == IntOp) {
            EXPECT_EQ(ini.ReadInt(op.section.c_str(), op.key.c_str(), op.number),
                      windows.ReadInt(op.section.c_str(), op.key.c_str(), op.number));
        } else {
            if (op.kind == WriteOp) {
                windows.WriteText(op.section.c_str(), op.key.c_str(), op.text.c_str());
                ini.WriteText(op.section.c_str(), op.key.c_str(), op.text.c_str());
            } else {
                WriteInt(&windows, op.section.c_str(), op.key.c_str(), op.number);
                WriteInt(&ini, op.section.c_str(), op.key.c_str(), op.number);
            }
            FlushProfile(path.c_str());
            EXPECT_EQ(Escaped(ini.Text()), Escaped(FileBytes(path)));
        }
    }
    FlushProfile(path.c_str());
    EXPECT_EQ(Escaped(ini.Text()), Escaped(FileBytes(path)));
}

INSTANTIATE_TEST_SUITE_P(Files, ProfileComparisonTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<CompareCase>& info) { return std::string(info.param.name); });
