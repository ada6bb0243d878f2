// Reading numbers from typed or stored texts, the same way in both programs.
#pragma once

// The decimal value of a text: leading white space is skipped, an optional
// sign and the digits after it are taken, reading stops at the first other
// character. A text without digits reads as 0; nothing is ever signalled.
// Values beyond the 32-bit range are held at INT_MAX or INT_MIN.
int ReadNumber(const char* text);
