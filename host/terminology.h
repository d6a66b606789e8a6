// Reader of a module's terminology (the "AETE" resource the property
// list's 'hstm' names): the event a host's scripting records for the
// filter and the parameters, with their keys and types, that it shows.
// Portable and defensive, like the property list reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TerminologyParameter {
  std::string name;
  uint32_t key = 0;
  uint32_t type = 0;
  std::string description;
  uint16_t flags = 0;
};

struct Terminology {
  std::string suiteName;
  uint32_t suiteId = 0;
  std::string eventName;
  uint32_t eventClass = 0, eventId = 0;
  uint32_t replyType = 0, directType = 0;
  uint16_t directFlags = 0;
  std::vector<TerminologyParameter> parameters;
};

// One suite and one event, as a filter's terminology has; false with a
// reason for anything else or anything cut short.
bool ParseTerminology(const uint8_t *bytes, size_t size, Terminology *terms,
                      std::string *error);

std::string DescribeTerminology(const Terminology &terms,
                                const std::string &indent);
