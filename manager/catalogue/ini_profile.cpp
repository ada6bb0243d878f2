#include "ini_profile.h"

#include <cstdint>
#include <cstring>

#include "../../shared/address_text.h"

// The longest text the ANSI profile functions carry through intact under
// wine (longer ones come out garbled); WindowsProfile cuts its texts the same.
static const size_t LongestText = 32766;
// GetPrivateProfileIntA reads the value into a buffer of this many characters.
static const unsigned IntTextSize = 30;
static const size_t NotFound = (size_t)-1;

static const char* const LineEnd = "\r\n";
static const char* const Utf8Mark = "\xef\xbb\xbf";
static const char* const Utf16LittleMark = "\xff\xfe";
static const char* const Utf16BigMark = "\xfe\xff";
static const size_t Utf8MarkLength = 3;
static const size_t Utf16MarkLength = 2;
static const uint32_t ReplacementCharacter = 0xfffd;
static const uint32_t FirstSupplementary = 0x10000;
static const char UnknownCharacter = '?';

// Windows-1252 characters 0x80 to 0x9f; the five unassigned ones stand for
// the C1 control characters of the same number, as in wine's table.
static const int Windows1252HighCount = 32;
static const uint16_t Windows1252High[Windows1252HighCount] = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, 0x02c6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008d, 0x017d, 0x008f, 0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022,
    0x2013, 0x2014, 0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

// Blanks around names and values in the file (Ctrl-Z too: old editors end
// files with it).
static bool IsFileBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

// Blanks dropped from the names and values a caller gives: line breaks too.
static bool IsGivenBlank(char c) { return IsFileBlank(c) || c == '\r' || c == '\n'; }

static bool IsQuote(char c) { return c == '"' || c == '\''; }

static std::string LimitedText(const char* text) {
    size_t length = 0;
    while (length < LongestText && text[length] != '\0') ++length;
    return std::string(text, length);
}

// ---- Encodings -------------------------------------------------------------

static void AppendUtf8(std::string* out, uint32_t c) {
    if (c < 0x80) {
        *out += (char)c;
    } else if (c < 0x800) {
        *out += (char)(0xc0 | (c >> 6));
        *out += (char)(0x80 | (c & 0x3f));
    } else if (c < FirstSupplementary) {
        *out += (char)(0xe0 | (c >> 12));
        *out += (char)(0x80 | ((c >> 6) & 0x3f));
        *out += (char)(0x80 | (c & 0x3f));
    } else {
        *out += (char)(0xf0 | (c >> 18));
        *out += (char)(0x80 | ((c >> 12) & 0x3f));
        *out += (char)(0x80 | ((c >> 6) & 0x3f));
        *out += (char)(0x80 | (c & 0x3f));
    }
}

static bool IsContinuation(unsigned char c) { return (c & 0xc0) == 0x80; }

// The code point at text[*at], moving *at past it. The text is UTF-8 as this
// file builds it (surrogates allowed, from UTF-16 files); a stray byte reads
// as U+FFFD.
static uint32_t NextCodePoint(const std::string& text, size_t* at) {
    unsigned char lead = (unsigned char)text[*at];
    if (lead < 0x80) {
        ++*at;
        return lead;
    }
    int count = 0;
    uint32_t c = 0;
    if (lead >= 0xc0 && lead < 0xe0) {
        count = 1;
        c = lead & 0x1f;
    } else if (lead >= 0xe0 && lead < 0xf0) {
        count = 2;
        c = lead & 0x0f;
    } else if (lead >= 0xf0 && lead < 0xf8) {
        count = 3;
        c = lead & 0x07;
    }
    if (count == 0 || *at + count >= text.size()) {
        ++*at;
        return ReplacementCharacter;
    }
    for (int k = 1; k <= count; ++k) {
        unsigned char next = (unsigned char)text[*at + k];
        if (!IsContinuation(next)) {
            ++*at;
            return ReplacementCharacter;
        }
        c = (c << 6) | (next & 0x3f);
    }
    *at += count + 1;
    return c;
}

// How many continuation bytes follow a UTF-8 lead byte; 0 for bytes that
// cannot start a sequence.
static int ContinuationCount(unsigned char lead) {
    if (lead >= 0xc2 && lead <= 0xdf) return 1;
    if (lead >= 0xe0 && lead <= 0xef) return 2;
    if (lead >= 0xf0 && lead <= 0xf4) return 3;
    return 0;
}

// Whether the second byte keeps a sequence clear of overlong forms,
// surrogates and code points beyond U+10FFFF.
static bool FitSecondByte(unsigned char lead, unsigned char second) {
    if (lead == 0xe0) return second >= 0xa0;
    if (lead == 0xed) return second < 0xa0;
    if (lead == 0xf0) return second >= 0x90;
    if (lead == 0xf4) return second < 0x90;
    return true;
}

// A UTF-8 file's text as wine reads it: each broken sequence, the lead byte
// with the continuation bytes up to and including the first unfit one,
// becomes U+FFFD.
static std::string WellFormedUtf8(const std::string& bytes, size_t start) {
    std::string out;
    size_t i = start;
    while (i < bytes.size()) {
        unsigned char lead = (unsigned char)bytes[i];
        if (lead < 0x80) {
            out += (char)lead;
            ++i;
            continue;
        }
        int count = ContinuationCount(lead);
        bool whole = count > 0;
        size_t next = i + 1;
        for (int k = 0; k < count && whole; ++k) {
            if (next >= bytes.size() || !IsContinuation((unsigned char)bytes[next])) {
                whole = false;
                break;
            }
            if (k == 0 && !FitSecondByte(lead, (unsigned char)bytes[next])) whole = false;
            ++next;
        }
        if (whole) {
            out.append(bytes, i, next - i);
        } else {
            AppendUtf8(&out, ReplacementCharacter);
        }
        i = next;
    }
    return out;
}

// The unit at bytes[at]; wine takes an odd last byte, in either byte order,
// as the character of that number.
static uint32_t Utf16Unit(const std::string& bytes, size_t at, bool bigEndian) {
    uint32_t first = (unsigned char)bytes[at];
    if (at + 1 >= bytes.size()) return first;
    uint32_t second = (unsigned char)bytes[at + 1];
    return bigEndian ? (first << 8) | second : (second << 8) | first;
}

static bool IsHighSurrogate(uint32_t unit) { return unit >= 0xd800 && unit <= 0xdbff; }
static bool IsLowSurrogate(uint32_t unit) { return unit >= 0xdc00 && unit <= 0xdfff; }

// A UTF-16 file's text in UTF-8; a lone surrogate is kept as it is, so that
// it goes back unchanged.
static std::string Utf16ToUtf8(const std::string& bytes, size_t start, bool bigEndian) {
    std::string out;
    size_t i = start;
    while (i < bytes.size()) {
        uint32_t c = Utf16Unit(bytes, i, bigEndian);
        i += 2;
        if (IsHighSurrogate(c) && i < bytes.size()) {
            uint32_t low = Utf16Unit(bytes, i, bigEndian);
            if (IsLowSurrogate(low)) {
                c = FirstSupplementary + ((c - 0xd800) << 10) + (low - 0xdc00);
                i += 2;
            }
        }
        AppendUtf8(&out, c);
    }
    return out;
}

static void AppendUtf16Unit(std::string* out, uint32_t unit, bool bigEndian) {
    char high = (char)(unit >> 8);
    char low = (char)(unit & 0xff);
    *out += bigEndian ? high : low;
    *out += bigEndian ? low : high;
}

static std::string Utf8ToUtf16(const std::string& text, bool bigEndian) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t c = NextCodePoint(text, &at);
        if (c >= FirstSupplementary) {
            c -= FirstSupplementary;
            AppendUtf16Unit(&out, 0xd800 + (c >> 10), bigEndian);
            AppendUtf16Unit(&out, 0xdc00 + (c & 0x3ff), bigEndian);
        } else {
            AppendUtf16Unit(&out, c, bigEndian);
        }
    }
    return out;
}

static uint32_t FromWindows1252(unsigned char c) { return (c >= 0x80 && c < 0xa0) ? Windows1252High[c - 0x80] : c; }

// The Windows-1252 byte of a code point, or -1 when it has none.
static int ToWindows1252(uint32_t c) {
    if (c < 0x80 || (c >= 0xa0 && c <= 0xff)) return (int)c;
    for (int i = 0; i < Windows1252HighCount; ++i) {
        if (Windows1252High[i] == c) return 0x80 + i;
    }
    return -1;
}

static std::string Windows1252ToUtf8(const std::string& text) {
    std::string out;
    for (char c : text) AppendUtf8(&out, FromWindows1252((unsigned char)c));
    return out;
}

// A character beyond the 16-bit range is two UTF-16 units and reads as two
// unknown characters, as the API gives it.
static std::string Utf8ToWindows1252(const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t c = NextCodePoint(text, &at);
        int byte = ToWindows1252(c);
        if (byte >= 0) {
            out += (char)byte;
        } else {
            out += UnknownCharacter;
            if (c >= FirstSupplementary) out += UnknownCharacter;
        }
    }
    return out;
}

static IniEncoding DetectEncoding(const std::string& bytes, size_t* markLength) {
    if (bytes.compare(0, Utf8MarkLength, Utf8Mark) == 0) {
        *markLength = Utf8MarkLength;
        return IniUtf8;
    }
    if (bytes.compare(0, Utf16MarkLength, Utf16LittleMark) == 0) {
        *markLength = Utf16MarkLength;
        return IniUtf16Little;
    }
    if (bytes.compare(0, Utf16MarkLength, Utf16BigMark) == 0) {
        *markLength = Utf16MarkLength;
        return IniUtf16Big;
    }
    *markLength = 0;
    return IniAnsi;
}

// ---- Lines and sections ----------------------------------------------------

static void TrimRange(const std::string& text, size_t* begin, size_t* end) {
    while (*begin < *end && IsFileBlank(text[*begin])) ++*begin;
    while (*end > *begin && IsFileBlank(text[*end - 1])) --*end;
}

// Names and values are C strings to the API: a NUL byte ends them.
static std::string TextBeforeNul(const std::string& text, size_t begin, size_t end) {
    size_t length = 0;
    while (begin + length < end && text[begin + length] != '\0') ++length;
    return text.substr(begin, length);
}

static std::string TrimmedPart(const std::string& text, size_t begin, size_t end) {
    TrimRange(text, &begin, &end);
    return TextBeforeNul(text, begin, end);
}

static size_t LastOf(const std::string& text, size_t begin, size_t end, char c) {
    for (size_t i = end; i > begin; --i) {
        if (text[i - 1] == c) return i - 1;
    }
    return NotFound;
}

static size_t FirstOf(const std::string& text, size_t begin, size_t end, char c) {
    for (size_t i = begin; i < end; ++i) {
        if (text[i] == c) return i;
    }
    return NotFound;
}

// One line: a section header, a key (with or without a value), or nothing.
static void AddLine(std::vector<IniSection>* sections, const std::string& text, size_t begin, size_t end) {
    TrimRange(text, &begin, &end);
    if (begin == end) return;
    if (text[begin] == '[') {
        size_t close = LastOf(text, begin + 1, end, ']');
        if (close != NotFound) {
            IniSection section;
            section.name = TrimmedPart(text, begin + 1, close);
            sections->push_back(section);
            return;
        }
    }
    IniEntry entry;
    size_t equals = FirstOf(text, begin, end, '=');
    entry.hasValue = equals != NotFound;
    if (entry.hasValue) {
        entry.name = TrimmedPart(text, begin, equals);
        entry.value = TrimmedPart(text, equals + 1, end);
    } else {
        entry.name = TextBeforeNul(text, begin, end);
    }
    sections->back().entries.push_back(entry);
}

static bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

static std::vector<IniSection> ParseSections(const std::string& text) {
    std::vector<IniSection> sections(1);
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = begin;
        while (end < text.size() && !IsLineBreak(text[end])) ++end;
        AddLine(&sections, text, begin, end);
        begin = end + 1;
    }
    return sections;
}

static std::string WriteSections(const std::vector<IniSection>& sections) {
    std::string out;
    for (const IniSection& section : sections) {
        if (!section.name.empty()) {
            out += '[';
            out += section.name;
            out += ']';
            out += LineEnd;
        }
        for (const IniEntry& entry : section.entries) {
            out += entry.name;
            if (entry.hasValue) {
                out += '=';
                out += entry.value;
            }
            out += LineEnd;
        }
    }
    return out;
}

static std::string WithoutLeadingBlanks(const std::string& text) {
    size_t begin = 0;
    while (begin < text.size() && IsGivenBlank(text[begin])) ++begin;
    return text.substr(begin);
}

static std::string TrimmedName(const std::string& name) {
    size_t begin = 0;
    size_t end = name.size();
    while (begin < end && IsGivenBlank(name[begin])) ++begin;
    while (end > begin && IsGivenBlank(name[end - 1])) --end;
    return name.substr(begin, end - begin);
}

static size_t FindSection(const std::vector<IniSection>& sections, const std::string& name) {
    for (size_t i = 0; i < sections.size(); ++i) {
        if (EqualIgnoringCase(sections[i].name.c_str(), name.c_str())) return i;
    }
    return NotFound;
}

static size_t FindKey(const std::vector<IniEntry>& entries, const std::string& name) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (EqualIgnoringCase(entries[i].name.c_str(), name.c_str())) return i;
    }
    return NotFound;
}

// ---- Reading values --------------------------------------------------------

// Copies a value as the API gives it: cut to size - 1 characters, and a value
// in matching quotes without them. Like the API, a quoted value whose closing
// quote falls just on the last place of the buffer loses one more character.
static void CopyValue(const std::string& value, char* out, unsigned size) {
    size_t start = 0;
    size_t length = value.size();
    bool quoted = length >= 2 && IsQuote(value[0]) && value[length - 1] == value[0];
    if (quoted) {
        start = 1;
        length -= 1;
    }
    size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(out, value.data() + start, copied);
    out[copied] = '\0';
    if (quoted && size >= length && copied > 0) out[copied - 1] = '\0';
}

// The API drops the spaces (only those) at the end of a fallback, but never
// its first character.
static std::string FallbackText(const char* fallback) {
    std::string text = LimitedText(fallback != nullptr ? fallback : "");
    size_t length = text.size();
    while (length > 1 && text[length - 1] == ' ') --length;
    return text.substr(0, length);
}

static int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A number as GetPrivateProfileIntA reads it: control characters and blanks
// before it skipped, one sign, a lower-case prefix 0x, 0o or 0b for bases 16,
// 8 and 2, digits up to the first other character; wraps around at 32 bits.
static int ReadProfileNumber(const char* text) {
    const char* p = text;
    while (*p != '\0' && (unsigned char)*p <= ' ') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint32_t base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
        base = p[1] == 'x' ? 16 : (p[1] == 'o' ? 8 : 2);
        p += 2;
    }
    uint32_t value = 0;
    for (; DigitValue(*p) >= 0 && (uint32_t)DigitValue(*p) < base; ++p) value = value * base + (uint32_t)DigitValue(*p);
    if (negative) value = 0u - value;
    return value <= (uint32_t)INT32_MAX ? (int)value : -(int)(~value) - 1;
}

// ---- The profile -----------------------------------------------------------

// The file's text, for Unicode files in UTF-8 without the byte order mark.
static std::string DecodedText(const std::string& bytes, IniEncoding encoding, size_t markLength) {
    if (encoding == IniUtf8) return WellFormedUtf8(bytes, markLength);
    if (encoding == IniUtf16Little || encoding == IniUtf16Big) {
        return Utf16ToUtf8(bytes, markLength, encoding == IniUtf16Big);
    }
    return bytes;
}

static std::string EncodedText(const std::string& text, IniEncoding encoding) {
    if (encoding == IniUtf8) return Utf8Mark + text;
    if (encoding == IniUtf16Little) return Utf16LittleMark + Utf8ToUtf16(text, false);
    if (encoding == IniUtf16Big) return Utf16BigMark + Utf8ToUtf16(text, true);
    return text;
}

IniProfile::IniProfile(const std::string& fileBytes) : encoding(IniAnsi) { Load(fileBytes); }

void IniProfile::Load(const std::string& fileBytes) {
    bytes = fileBytes;
    size_t markLength = 0;
    encoding = DetectEncoding(bytes, &markLength);
    sections = ParseSections(DecodedText(bytes, encoding, markLength));
}

std::string IniProfile::Text() const { return bytes; }

std::string IniProfile::ToStored(const char* given) const {
    std::string limited = LimitedText(given);
    return encoding == IniAnsi ? limited : Windows1252ToUtf8(limited);
}

std::string IniProfile::ToCaller(const std::string& stored) const {
    return encoding == IniAnsi ? stored : Utf8ToWindows1252(stored);
}

const IniEntry* IniProfile::FindEntry(const char* section, const char* key) const {
    size_t s = FindSection(sections, TrimmedName(ToStored(section)));
    if (s == NotFound) return nullptr;
    size_t e = FindKey(sections[s].entries, TrimmedName(ToStored(key)));
    return e == NotFound ? nullptr : &sections[s].entries[e];
}

void IniProfile::ReadText(const char* section, const char* key, const char* fallback, char* out, unsigned size) {
    if (out == nullptr || size == 0) return;
    if (section == nullptr || key == nullptr) {
        out[0] = '\0';
        return;
    }
    const IniEntry* entry = FindEntry(section, key);
    if (entry != nullptr && entry->hasValue) {
        CopyValue(ToCaller(entry->value), out, size);
    } else {
        CopyValue(FallbackText(fallback), out, size);
    }
}

int IniProfile::ReadInt(const char* section, const char* key, int fallback) {
    char value[IntTextSize];
    ReadText(section, key, "", value, sizeof value);
    if (value[0] == '\0') return fallback;
    return ReadProfileNumber(value);
}

void IniProfile::WriteText(const char* section, const char* key, const char* value) {
    if (section == nullptr || key == nullptr) return;
    std::string sectionName = ToStored(section);
    std::string keyName = ToStored(key);
    std::string newValue = WithoutLeadingBlanks(ToStored(value != nullptr ? value : ""));
    size_t s = FindSection(sections, TrimmedName(sectionName));
    if (s == NotFound) {
        IniSection added;
        added.name = WithoutLeadingBlanks(sectionName);
        sections.push_back(added);
        s = sections.size() - 1;
    }
    std::vector<IniEntry>& entries = sections[s].entries;
    size_t e = FindKey(entries, TrimmedName(keyName));
    if (e == NotFound) {
        IniEntry entry;
        entry.name = WithoutLeadingBlanks(keyName);
        entry.hasValue = true;
        entry.value = newValue;
        entries.push_back(entry);
    } else {
        if (entries[e].hasValue && entries[e].value == newValue) return;
        entries[e].hasValue = true;
        entries[e].value = newValue;
    }
    // The API writes the file out and reads it afresh from there.
    Load(EncodedText(WriteSections(sections), encoding));
}
