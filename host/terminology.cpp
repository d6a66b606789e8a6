#include "host/terminology.h"

#include <cstdio>

#include "host/pipl.h"
#include "host/text.h"

namespace {

struct Cursor {
  const uint8_t *bytes;
  size_t size;
  size_t at = 0;
  std::string what; // the first field that did not fit

  bool Fits(size_t n, const char *field) {
    if (n <= size - at)
      return true;
    if (what.empty())
      what = field;
    at = size;
    return false;
  }
  uint16_t Word(const char *field) {
    if (!Fits(2, field))
      return 0;
    at += 2;
    return uint16_t(bytes[at - 2] | (bytes[at - 1] << 8));
  }
  uint32_t Long(const char *field) {
    uint32_t low = Word(field);
    return low | (uint32_t(Word(field)) << 16);
  }
  std::string Pascal(const char *field) {
    if (!Fits(1, field))
      return "";
    size_t n = bytes[at++];
    if (!Fits(n, field))
      return "";
    at += n;
    return std::string(reinterpret_cast<const char *>(bytes + at - n), n);
  }
};

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%04X", unsigned(value));
  return buffer;
}

} // namespace

bool ParseTerminology(const uint8_t *bytes, size_t size, Terminology *t,
                      std::string *error) {
  *t = Terminology();
  Cursor c{bytes, bytes ? size : 0, 0, ""};
  const uint16_t reserved = c.Word("reserved word");
  const uint16_t version = c.Word("version");
  c.Long("language and script");
  const uint16_t suites = c.Word("suite count");
  if (c.what.empty() && (reserved != 1 || version != 1 || suites != 1)) {
    *error = "terminology reserved word " + std::to_string(reserved) +
             ", version " + Hex(version) + ", " + std::to_string(suites) +
             " suites; a filter's has 1, 0x0001, 1";
    return false;
  }
  t->suiteName = c.Pascal("suite name");
  c.Pascal("suite description");
  t->suiteId = c.Long("suite code");
  c.Long("suite level and version");
  const uint16_t events = c.Word("event count");
  if (c.what.empty() && events != 1) {
    *error = "terminology has " + std::to_string(events) +
             " events; a filter's has 1";
    return false;
  }
  t->eventName = c.Pascal("event name");
  c.Pascal("event description");
  t->eventClass = c.Long("event class");
  t->eventId = c.Long("event code");
  t->replyType = c.Long("reply type");
  c.Pascal("reply description");
  c.Word("reply flags");
  t->directType = c.Long("direct parameter type");
  c.Pascal("direct parameter description");
  t->directFlags = c.Word("direct parameter flags");
  const uint16_t count = c.Word("parameter count");
  for (uint16_t i = 0; i < count && c.what.empty(); ++i) {
    TerminologyParameter p;
    p.name = c.Pascal("parameter name");
    p.key = c.Long("parameter key");
    p.type = c.Long("parameter type");
    p.description = c.Pascal("parameter description");
    p.flags = c.Word("parameter flags");
    if (c.what.empty())
      t->parameters.push_back(p);
  }
  c.Word("class count");
  c.Word("comparison count");
  c.Word("enumeration count");
  if (!c.what.empty()) {
    *error = "terminology of " + std::to_string(size) + " bytes ends in its " +
             c.what;
    return false;
  }
  return true;
}

std::string DescribeTerminology(const Terminology &t,
                                const std::string &indent) {
  std::string out = indent + "suite: \"" + EscapeText(t.suiteName) + "\" '" +
                    FourCCText(t.suiteId) + "'\n";
  out += indent + "event: \"" + EscapeText(t.eventName) + "\" class '" +
         FourCCText(t.eventClass) + "' id '" + FourCCText(t.eventId) +
         "', reply '" + FourCCText(t.replyType) + "', direct '" +
         FourCCText(t.directType) + "' flags " + Hex(t.directFlags) + "\n";
  for (const TerminologyParameter &p : t.parameters)
    out += indent + "parameter: \"" + EscapeText(p.name) + "\" key '" +
           FourCCText(p.key) + "' type '" + FourCCText(p.type) + "' flags " +
           Hex(p.flags) + "\n";
  return out;
}
