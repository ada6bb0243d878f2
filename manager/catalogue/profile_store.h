// A profile (INI) file as the manager reads and writes config.ini: sections
// of key=value lines. The product uses the Windows profile API
// (WindowsProfile); IniProfile does the same natively, for tests and tools.
#pragma once

class ProfileStore {
public:
    virtual ~ProfileStore() {}
    // Copies the key's value, cut to size - 1 characters, into out; a missing
    // key gives fallback. out is always terminated (size at least 1).
    virtual void ReadText(const char* section, const char* key, const char* fallback, char* out, unsigned size) = 0;
    // The key's value read as an integer; fallback when the key is missing
    // or empty.
    virtual int ReadInt(const char* section, const char* key, int fallback) = 0;
    // Sets the key's value, adding the section and key when they are missing.
    virtual void WriteText(const char* section, const char* key, const char* value) = 0;
};

// Writes an integer as decimal text ("%d").
void WriteInt(ProfileStore* store, const char* section, const char* key, int value);
