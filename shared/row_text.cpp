#include "row_text.h"

#include <cstring>

std::string RowText(const char* text) {
    size_t length = std::strlen(text);
    if (length > (size_t)RowTextSize - 1) length = RowTextSize - 1;
    return std::string(text, length);
}
