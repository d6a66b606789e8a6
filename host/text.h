// Small text helpers of the host's reports and command line.
#pragma once

#include <cstdint>
#include <string>

// Control characters, quotes, backslashes and bytes above 0x7E escaped
// (\r, \n, \t, \", \\, \xNN), so that every record stays on one line;
// with utf8, bytes above 0x7F are kept, so that text in any language reads
// as it shows.
std::string EscapeText(const std::string &text, bool utf8 = false);

// A Linux path ("/tmp/a.png") as Wine's drive Z ("Z:\tmp\a.png"); other
// paths unchanged.
std::string MapUnixPath(const std::string &path);

// Four characters to a code, first character in the most significant byte.
bool ParseFourCC(const std::string &text, uint32_t *code);

// A whole decimal number within [low, high].
bool ParseInt(const std::string &text, long long low, long long high,
              long long *value);
