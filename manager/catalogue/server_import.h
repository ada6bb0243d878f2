// File > "Import from text file": the lines of a text file that read as
// server addresses, for the current category. The file arrives in chunks
// split anywhere; only a bounded start of each line is ever held, so files
// of any size (one enormous line among them) take little memory.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "proxy_catalogue.h"

// A line, blanks (space, tab) around it trimmed, reads as a server when it
// is "host:port", optionally led by a scheme: "http://" (Http, as a bare
// address is) or "socks5://" / "socks://" (Socks), letters in any case. The
// host is everything up to the first ':' and holds only letters, digits, '.',
// '-' and '_'; the port is the 1 to 5 digits after it, as written, with a
// value from 1 to 65535. Whatever follows the digits is dropped (a comment,
// a country code), unless it starts with ':' or '@': the digits then belong
// to an IPv6 address, a field list or a user name and password. The address
// (host, ':', digits) must fit a row, 255 characters.
// Returns 1 and fills server (status Untested) when the line reads as one,
// else 0 and leaves it alone.
int ReadImportLine(const char* line, size_t length, NewServer* server);

// Reads a text file's lines as it arrives, in chunks split anywhere: lines
// by the shared line-break rule (a CR at the end of one chunk and an LF at
// the start of the next are one break).
class ServerImport {
public:
    ServerImport();
    void Feed(const char* bytes, size_t count);
    // Ends the last line, which has no break after it.
    void Finish();
    // The non-blank lines read, servers and junk.
    int LinesRead() const { return linesRead; }
    // In file order, status Untested.
    const std::vector<NewServer>& Servers() const { return servers; }
    // The room the line being read takes: it does not grow with the line.
    size_t LineBytesHeld() const { return line.capacity(); }

private:
    void Keep(const char* bytes, size_t count);
    void EndLine();

    std::string line;  // the line so far from its first non-blank byte, bounded
    int linesRead;
    std::vector<NewServer> servers;
};

// The status bar's text after an import: "Imported 2 of 5 servers".
std::string ImportedText(int added, int read);
