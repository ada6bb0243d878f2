#include "address_text.h"

#include <cstring>

char* SplitHostPort(char* text) {
    char* colon = std::strchr(text, ':');
    if (colon == nullptr) return text + std::strlen(text);
    *colon = '\0';
    return colon + 1;
}

void CopyText(char* destination, unsigned size, const char* source) {
    unsigned i = 0;
    for (; i + 1 < size && source[i] != '\0'; ++i) destination[i] = source[i];
    destination[i] = '\0';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int EqualIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return 0;
    }
    return *a == *b;
}
