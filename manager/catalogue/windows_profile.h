// config.ini through the Windows profile API. The API keeps the files it
// has read in a cache; FlushProfile makes it write a file out.
#pragma once

#include <string>

#include "profile_store.h"

class WindowsProfile : public ProfileStore {
public:
    explicit WindowsProfile(const char* path);

    void ReadText(const char* section, const char* key, const char* fallback, char* out, unsigned size) override;
    int ReadInt(const char* section, const char* key, int fallback) override;
    void WriteText(const char* section, const char* key, const char* value) override;

private:
    std::string path;
};

void FlushProfile(const char* path);
