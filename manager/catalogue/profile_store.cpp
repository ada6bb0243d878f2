#include "profile_store.h"

#include <cstdio>

// Room for "-2147483648" and its terminator.
static const unsigned IntTextSize = 12;

void WriteInt(ProfileStore* store, const char* section, const char* key, int value) {
    char text[IntTextSize];
    std::snprintf(text, sizeof text, "%d", value);
    store->WriteText(section, key, text);
}
