// A profile file held in memory, read and written the way the Windows profile
// API does it (GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA as wine implements them). The save forms the
// new config.ini with it, so that every byte of the file is written and
// flushed with its errors seen (the API reports none of a write cut short);
// tests and tools read config.ini with it as the manager does.
//
// What the API does, and so what this class does:
// - Lines end at CR, LF or CR LF. Blanks (space, tab, vertical tab, form
//   feed, Ctrl-Z) around names and values are dropped, and so are empty lines.
// - "[name]" starts a section: the name runs to the last ']', text after it
//   is ignored. Any other line is a key: "key=value" splits at the first '=';
//   a line without '=' is a key without a value, which reads as missing.
//   Comments get no special treatment: ";c=1" is the key ";c".
// - Names compare ignoring ASCII letter case; the first section of a name
//   and the first key of a name in it count. Keys before the first section
//   belong to the nameless section "".
// - A value enclosed in matching double or single quotes reads without them.
// - A write that changes something writes the whole file anew: every line
//   trimmed, "key=value", CR LF after every line, no empty lines, no blank
//   line between sections. A write that changes nothing leaves the file as
//   it is. A new key goes to the end of its section, a new section to the
//   end of the file.
// - A file that starts with a UTF-8 or UTF-16 byte order mark holds Unicode
//   text, kept so on writing; the texts given and read are Windows-1252 (the
//   ANSI code page wine uses), characters outside it read as '?' (Windows
//   gives a similar letter for some of them, e.g. 'A' for U+0100).
// Like WindowsProfile, it cuts every text given to 32766 characters (the
// most the ANSI functions carry intact under wine), reads a null section or
// key as empty text, writes nothing for them, and writes a null value as
// empty.
#pragma once

#include <string>
#include <vector>

#include "profile_store.h"

struct IniEntry {
    std::string name;
    bool hasValue;
    std::string value;
};

struct IniSection {
    std::string name;
    std::vector<IniEntry> entries;
};

enum IniEncoding { IniAnsi, IniUtf8, IniUtf16Little, IniUtf16Big };

class IniProfile : public ProfileStore {
public:
    // The file's bytes; an empty text stands for a missing file too.
    explicit IniProfile(const std::string& fileBytes);

    void ReadText(const char* section, const char* key, const char* fallback, char* out, unsigned size) override;
    int ReadInt(const char* section, const char* key, int fallback) override;
    void WriteText(const char* section, const char* key, const char* value) override;

    // The file's bytes as the API leaves them: those given while no write has
    // changed anything, else the file as written anew. Like the API, it reads
    // what it wrote afresh: a written file that starts with a byte order mark
    // is a Unicode file from then on.
    std::string Text() const;

private:
    void Load(const std::string& fileBytes);
    std::string ToStored(const char* text) const;
    std::string ToCaller(const std::string& stored) const;
    const IniEntry* FindEntry(const char* section, const char* key) const;

    // The file's bytes, its encoding, and its sections (section 0 the
    // nameless one) with names and values in UTF-8 for Unicode files.
    std::string bytes;
    IniEncoding encoding;
    std::vector<IniSection> sections;
};
