#include "host/text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

std::string EscapeText(const std::string &text, bool utf8) {
  std::string out;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
    case '\r':
      out += "\\r";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\t':
      out += "\\t";
      break;
    case '"':
      out += "\\\"";
      break;
    case '\\':
      out += "\\\\";
      break;
    default:
      if (c < 0x20 || c == 0x7F || (c > 0x7F && !utf8)) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%02X", unsigned(c));
        out += buffer;
      } else {
        out += ch;
      }
    }
  }
  return out;
}

std::string MapUnixPath(const std::string &path) {
  if (path.empty() || path[0] != '/')
    return path;
  std::string out = "Z:";
  for (char c : path)
    out += c == '/' ? '\\' : c;
  return out;
}

bool ParseFourCC(const std::string &text, uint32_t *code) {
  if (text.size() != 4)
    return false;
  *code = (uint32_t(uint8_t(text[0])) << 24) |
          (uint32_t(uint8_t(text[1])) << 16) |
          (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3]));
  return true;
}

bool ParseInt(const std::string &text, long long low, long long high,
              long long *value) {
  if (text.empty())
    return false;
  char *end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || v < low || v > high)
    return false;
  *value = v;
  return true;
}
