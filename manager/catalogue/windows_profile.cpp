#include "windows_profile.h"

#include <windows.h>

// The longest text the ANSI profile functions carry through intact under
// wine: longer ones come out garbled or crash it. Texts are cut to this
// length before they are passed on (IniProfile does the same).
static const size_t LongestText = 32766;

static std::string LimitedText(const char* text) {
    size_t length = 0;
    while (length < LongestText && text[length] != '\0') ++length;
    return std::string(text, length);
}

WindowsProfile::WindowsProfile(const char* filePath) : path(filePath != nullptr ? filePath : "") {}

// A null section or key would make the API list names (or, on writing,
// delete them): here it reads as empty and writes nothing.
void WindowsProfile::ReadText(const char* section, const char* key, const char* fallback, char* out, unsigned size) {
    if (out == nullptr || size == 0) return;
    if (section == nullptr || key == nullptr) {
        out[0] = '\0';
        return;
    }
    GetPrivateProfileStringA(LimitedText(section).c_str(), LimitedText(key).c_str(),
                             LimitedText(fallback != nullptr ? fallback : "").c_str(), out, size, path.c_str());
}

int WindowsProfile::ReadInt(const char* section, const char* key, int fallback) {
    if (section == nullptr || key == nullptr) return fallback;
    return (int)GetPrivateProfileIntA(LimitedText(section).c_str(), LimitedText(key).c_str(), fallback, path.c_str());
}

// A null value would delete the key: it writes an empty value instead.
void WindowsProfile::WriteText(const char* section, const char* key, const char* value) {
    if (section == nullptr || key == nullptr) return;
    WritePrivateProfileStringA(LimitedText(section).c_str(), LimitedText(key).c_str(),
                               LimitedText(value != nullptr ? value : "").c_str(), path.c_str());
}

void FlushProfile(const char* path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path); }
