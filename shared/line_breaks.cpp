#include "line_breaks.h"

const char* const LineEnd = "\r\n";

int IsLineBreak(char c) { return c == '\r' || c == '\n'; }

LineCursor StartLines(const char* text, size_t length) {
    LineCursor cursor = {text, length, 0};
    return cursor;
}

int NextLine(LineCursor* cursor, const char** line, size_t* lineLength) {
    if (cursor->position >= cursor->length) return 0;
    const char* text = cursor->text;
    size_t start = cursor->position;
    size_t end = start;
    while (end < cursor->length && !IsLineBreak(text[end])) ++end;
    *line = text + start;
    *lineLength = end - start;
    size_t next = end;
    if (next < cursor->length) {
        ++next;  // the break character itself
        if (next < cursor->length && IsLineBreak(text[next])) ++next;  // its partner
    }
    cursor->position = next;
    return 1;
}
