// Profile files: arbitrary bytes parsed, read with small and large buffers,
// written, written out and parsed again; what was written must read back.
// The same bytes also choose the names and values that are written.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "manager/catalogue/ini_profile.h"
#include "shared/address_text.h"

static const char* const KnownSections[] = {"window", "main", "network", "categories", "port0", "port1", ""};
static const char* const KnownKeys[] = {"left", "ports_count", "name", "server", "status", "port", ";c", ""};
static const unsigned ReadSizes[] = {1, 2, 3, 7, 30, 256, 4096};
static const unsigned WholeSize = 4096;
static const size_t LongestName = 40;
static const size_t LongestValue = 200;
static const int WriteCount = 6;

struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t at;
};

static uint8_t NextByte(Cursor* cursor) { return cursor->at < cursor->size ? cursor->data[cursor->at++] : 0; }

static std::string NextText(Cursor* cursor, size_t longest) {
    size_t length = NextByte(cursor) % (longest + 1);
    std::string text;
    for (size_t i = 0; i < length && cursor->at < cursor->size; ++i) text += (char)NextByte(cursor);
    return text;
}

static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

// A key that could look like a section header, or, first in the file,
// like a byte order mark that makes it a Unicode file.
static bool StartsOddly(const std::string& key) {
    if (key.empty()) return false;
    unsigned char first = (unsigned char)key[0];
    return first == '[' || first == 0xef || first == 0xfe || first == 0xff;
}

// A text that reads back as written: no line breaks or NULs, no blanks at
// its ends, no '=' in a key, no key that starts oddly.
static std::string Tidy(const std::string& text, bool isKey) {
    std::string out;
    for (char c : text) {
        if (c == '\0' || c == '\r' || c == '\n' || (isKey && c == '=')) continue;
        out += c;
    }
    size_t begin = 0;
    size_t end = out.size();
    while (begin < end && IsBlank(out[begin])) ++begin;
    while (end > begin && IsBlank(out[end - 1])) --end;
    out = out.substr(begin, end - begin);
    if (isKey && StartsOddly(out)) out = "k" + out;
    return out;
}

// A value in matching quotes would read without them.
static std::string Unquoted(std::string value) {
    size_t n = value.size();
    if (n >= 2 && (value[0] == '"' || value[0] == '\'') && value[n - 1] == value[0]) value += 'x';
    return value;
}

static std::string Lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = LowerAscii(c);
    return out;
}

// Reads into buffers of exactly the given size, so that a write past one is
// caught; every result must be terminated inside its buffer.
static void ReadEverySize(IniProfile* profile, const char* section, const char* key, const char* fallback) {
    for (unsigned size : ReadSizes) {
        std::vector<char> out(size);
        profile->ReadText(section, key, fallback, out.data(), size);
        if (std::memchr(out.data(), '\0', size) == nullptr) __builtin_trap();
    }
    profile->ReadInt(section, key, 0);
}

static std::string ReadWhole(IniProfile* profile, const std::string& section, const std::string& key) {
    std::vector<char> out(WholeSize);
    profile->ReadText(section.c_str(), key.c_str(), "\x01missing", out.data(), WholeSize);
    return std::string(out.data());
}

struct Written {
    std::string section;
    std::string key;
    std::string value;
};

static void Remember(std::vector<Written>* written, const Written& write) {
    for (Written& earlier : *written) {
        if (Lower(earlier.section) == Lower(write.section) && Lower(earlier.key) == Lower(write.key)) {
            earlier.value = write.value;
            return;
        }
    }
    written->push_back(write);
}

static void CheckWritten(IniProfile* profile, const std::vector<Written>& written) {
    for (const Written& write : written) {
        if (ReadWhole(profile, write.section, write.key) != write.value) __builtin_trap();
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string file((const char*)data, size);
    IniProfile parsed(file);
    for (const char* section : KnownSections) {
        for (const char* key : KnownKeys) ReadEverySize(&parsed, section, key, "'fallback'");
    }
    if (parsed.Text() != file) __builtin_trap();

    // Once written out, the file reads the same however often it is written
    // again: from there on every value written reads back.
    parsed.WriteText("fuzz", "probe", "1");
    parsed.WriteText("fuzz", "probe", "2");
    IniProfile profile(parsed.Text());

    Cursor cursor = {data, size, 0};
    std::vector<Written> written;
    for (int i = 0; i < WriteCount; ++i) {
        Written write;
        uint8_t pick = NextByte(&cursor);
        size_t known = sizeof KnownSections / sizeof KnownSections[0];
        write.section = pick % 8 < known ? KnownSections[pick % 8] : Tidy(NextText(&cursor, LongestName), false);
        write.key = Tidy(NextText(&cursor, LongestName), true);
        write.value = Unquoted(Tidy(NextText(&cursor, LongestValue), false));
        profile.WriteText(write.section.c_str(), write.key.c_str(), write.value.c_str());
        Remember(&written, write);
        ReadEverySize(&profile, write.section.c_str(), write.key.c_str(), "");
        CheckWritten(&profile, written);
    }

    IniProfile reread(profile.Text());
    CheckWritten(&reread, written);
    for (const Written& write : written) reread.WriteText(write.section.c_str(), write.key.c_str(), write.value.c_str());
    if (reread.Text() != profile.Text()) __builtin_trap();
    return 0;
}
