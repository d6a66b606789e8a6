// The host's side of scripting: descriptors as the host keeps them, their
// text form (one "key type value" line each, so that tests and people can
// write one by hand), and the read and write descriptor procedures a
// module records and plays its settings through.
//
// A descriptor handed to the module is a handle of the host's handle
// store (guard bytes and accounts included) holding the text form; a
// module must read it through the procedures only, as other hosts keep
// nothing readable there. Portable, like the session: one suite serves
// the procedures at a time, reached through a module-wide pointer.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/handle_book.h"
#include "params/host_records.h"

struct DescriptorItem {
  uint32_t key = 0;
  uint32_t type = 0;   // kType*
  uint32_t code = 0;   // the unit, enumeration type or class
  uint32_t value = 0;  // the enumeration's value
  int32_t integer = 0; // integers, counts and booleans
  double number = 0;
  std::string bytes; // text, alias data, an object's descriptor text
};

struct Descriptor {
  std::vector<DescriptorItem> items; // in order; a reader sees duplicates
};

// The text form, and back. Lines that cannot be read are skipped; the
// count of them is returned and the first one described in error.
std::string DescriptorText(const Descriptor &descriptor);
int32_t ParseDescriptorText(const std::string &text, Descriptor *descriptor,
                            std::string *error);
std::string DescribeDescriptorItem(const DescriptorItem &item);

struct DescriptorReaderState {
  std::vector<DescriptorItem> items;
  size_t next = 0;
  const DescriptorItem *current = nullptr;
  DescriptorKeyID *keyArray = nullptr;
  OSErr worst = 0; // what closing reports
};

struct DescriptorSuite {
  HandleBook *book = nullptr;
  ReadDescriptorProcs readProcs{};
  WriteDescriptorProcs writeProcs{};
  std::map<intptr_t, DescriptorReaderState> readers;
  std::map<intptr_t, Descriptor> writers;
  intptr_t lastToken = 0;
  int32_t opened = 0, closed = 0, gets = 0, puts = 0, getErrors = 0;
  std::vector<std::string> failures;
};

// Fills the procedure tables and makes the suite the one they serve.
void InitDescriptorSuite(DescriptorSuite *suite, HandleBook *book);
void ServeDescriptorSuite(DescriptorSuite *suite);

// A descriptor handle made by the host (not in the module's counts), and
// the descriptor a handle of the store holds; false for any other handle.
Handle NewDescriptorHandle(HandleBook *book, const Descriptor &descriptor);
bool ReadDescriptorHandle(const HandleBook &book, Handle handle,
                          Descriptor *descriptor);

// Readers and writers left open are faults; they are closed.
void CheckDescriptorsAfterInvocation(DescriptorSuite *suite);
