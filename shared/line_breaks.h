// Line breaks in received and stored texts: each CR or LF ends a line, and a
// CR or LF directly after it belongs to the same break (CR LF, LF CR, CR CR
// and LF LF each end one line). The last line counts without a break.
#pragma once

#include <cstddef>

// Files the manager writes end every line with this.
extern const char* const LineEnd;

struct LineCursor {
    const char* text;
    size_t length;
    size_t position;
};

// Whether a byte is a line-break character (CR or LF).
int IsLineBreak(char c);

LineCursor StartLines(const char* text, size_t length);

// Gives the next line (without its break) and returns 1, or returns 0 once
// the text is used up.
int NextLine(LineCursor* cursor, const char** line, size_t* lineLength);
