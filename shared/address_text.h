// Address texts: a host (name or dotted IPv4 address), a colon and a decimal
// port number, e.g. 10.0.0.5:3128. The host is everything before the first
// ':', the port everything after it.
#pragma once

// Splits an address text in place: the first ':' becomes a terminator, so
// text then holds the host part. Returns the port part; a text without ':'
// is all host and its port part is empty.
char* SplitHostPort(char* text);

// Copies at most size - 1 characters of source into destination and always
// terminates it (size must be at least 1).
void CopyText(char* destination, unsigned size, const char* source);

// An ASCII upper-case letter as lower case; any other byte as it is.
char LowerAscii(char c);

// Lower-case and upper-case ASCII letters compare equal; other bytes as they are.
int EqualIgnoringCase(const char* a, const char* b);
