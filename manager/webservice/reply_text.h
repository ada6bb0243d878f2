// The web service's replies as lines: a reply ends at its length or at its
// first NUL byte, whichever comes first, and splits by the shared line-break
// rule.
#pragma once

#include <cstddef>

#include "../../shared/line_breaks.h"

// Lines of a reply; a null text has none.
LineCursor StartReplyLines(const char* text, size_t length);

// Whether a line (not terminated) is exactly the text, letter case counting.
int LineIs(const char* line, size_t lineLength, const char* text);
// Whether a line (not terminated) begins with the text, letter case counting.
int LineStartsWith(const char* line, size_t lineLength, const char* prefix);
