#include "reply_text.h"

#include <cstring>

LineCursor StartReplyLines(const char* text, size_t length) {
    if (text == nullptr) return StartLines("", 0);
    const void* nul = std::memchr(text, '\0', length);
    if (nul != nullptr) length = (size_t)((const char*)nul - text);
    return StartLines(text, length);
}

int LineIs(const char* line, size_t lineLength, const char* text) {
    return lineLength == std::strlen(text) && std::memcmp(line, text, lineLength) == 0;
}

int LineStartsWith(const char* line, size_t lineLength, const char* prefix) {
    size_t size = std::strlen(prefix);
    return lineLength >= size && std::memcmp(line, prefix, size) == 0;
}
