// What a server probe sends and how its reply is judged: the plain rules of
// the probe engine, without its sockets and threads.
#pragma once

#include <cstddef>
#include <string>

// The host whose root page the HTTP probe asks the proxy for: a public web
// host that answers a proxied GET of its root with 2xx or 3xx.
const char* const DefaultProbeHost = "www.example.com";

// The SOCKS 5 greeting offering no authentication method: any SOCKS 5
// server answers it with its version byte.
const unsigned char SocksGreeting[] = {0x05, 0x00};
const size_t SocksGreetingSize = sizeof SocksGreeting;

// How many first bytes of a reply the verdict looks at.
const size_t JudgedReplyBytes = 10;

// The HTTP probe request, in absolute-URI form: four lines, each ended by a
// single line feed and no carriage return, the last one empty.
std::string HttpProbeRequest(const char* probeHost);

// A probe host from config.ini: the default when the text is empty or
// holds anything a request line cannot carry (a blank, a control byte, '/').
std::string ProbeHostSetting(const char* text);

// The TCP port a probe connects to: the address's port part read as a
// number. 0 when that is not 1 to 65535: no server listens there (the relay
// refuses such a port too), and the probe is Dead without a connection.
int ProbePort(const char* portText);

// 1 when the reply makes the server Alive, whatever the server's type: a
// first byte 0x05 (a SOCKS 5 answer), or first 10 bytes reading
// "HTTP/1.1 2", "HTTP/1.1 3", "HTTP/1.0 2" or "HTTP/1.0 3", letter case
// ignored. Anything else is Dead.
int IsAliveReply(const unsigned char* reply, size_t length);

// 1 when a row of this type text is probed with the SOCKS greeting: exactly
// "Socks"; any other text is probed with the HTTP request.
int ProbesWithSocks(const char* typeText);

// The last-check text of a verdict: "year.month.day hour:minute" without
// leading zeros, e.g. 2009.3.7 9:5.
std::string LastCheckText(int year, int month, int day, int hour, int minute);
