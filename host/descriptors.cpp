#include "host/descriptors.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sstream>

#include "host/pipl.h"
#include "host/text.h"

namespace {

DescriptorSuite *g_suite = nullptr;

// ---- The text form ----

std::string CodeText(uint32_t code) {
  std::string text = FourCCText(code);
  if (text.size() == 4 && text.find(' ') == std::string::npos)
    return text;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", unsigned(code));
  return buffer;
}

bool ParseCode(const std::string &text, uint32_t *code) {
  if (text.size() == 10 && text.compare(0, 2, "0x") == 0) {
    uint32_t v = 0;
    for (size_t i = 2; i < 10; ++i) {
      if (!std::isxdigit(uint8_t(text[i])))
        return false;
      v = v << 4 | uint32_t(std::stoul(text.substr(i, 1), nullptr, 16));
    }
    *code = v;
    return true;
  }
  return ParseFourCC(text, code);
}

// The shortest of the usual precisions that reads back as the same value.
std::string NumberText(double v) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", v);
  if (std::strtod(buffer, nullptr) != v)
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

bool ParseNumber(const std::string &text, double *v) {
  if (text.empty())
    return false;
  char *end = nullptr;
  *v = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

std::string HexText(const std::string &bytes) {
  std::string out;
  char buffer[4];
  for (unsigned char c : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02X", unsigned(c));
    out += buffer;
  }
  return out.empty() ? "-" : out;
}

bool ParseHex(const std::string &text, std::string *bytes) {
  bytes->clear();
  if (text == "-")
    return true;
  if (text.size() % 2 != 0)
    return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    if (!std::isxdigit(uint8_t(text[i])) ||
        !std::isxdigit(uint8_t(text[i + 1])))
      return false;
    *bytes += char(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return true;
}

// The quoted text EscapeText writes, read back.
bool ParseQuoted(const std::string &text, std::string *out) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"')
    return false;
  out->clear();
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    char c = text[i];
    if (c == '"')
      return false;
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i + 1 >= text.size())
      return false;
    switch (text[i]) {
    case 'r':
      *out += '\r';
      break;
    case 'n':
      *out += '\n';
      break;
    case 't':
      *out += '\t';
      break;
    case '"':
    case '\\':
      *out += text[i];
      break;
    case 'x': {
      if (i + 3 >= text.size())
        return false;
      std::string byte;
      if (!ParseHex(text.substr(i + 1, 2), &byte))
        return false;
      *out += byte;
      i += 2;
      break;
    }
    default:
      return false;
    }
  }
  return true;
}

std::vector<std::string> Words(const std::string &line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string word;
  while (in >> word)
    words.push_back(word);
  return words;
}

// One line into item; a reason when it cannot be read.
bool ParseLine(const std::string &line, DescriptorItem *item,
               std::string *why) {
  std::vector<std::string> w = Words(line);
  if (w.size() < 3) {
    *why = "expected KEY TYPE VALUE";
    return false;
  }
  if (!ParseCode(w[0], &item->key) || !ParseCode(w[1], &item->type)) {
    *why = "a key and a type are four characters or 0xXXXXXXXX";
    return false;
  }
  const uint32_t t = item->type;
  size_t wanted = 3;
  bool ok = true;
  long long n = 0;
  if (t == kTypeInteger) {
    ok = ParseInt(w[2], INT32_MIN, INT32_MAX, &n);
    item->integer = int32_t(n);
  } else if (t == kTypeFloat) {
    ok = ParseNumber(w[2], &item->number);
  } else if (t == kTypeUnitFloat) {
    wanted = 4;
    ok = w.size() == 4 && ParseCode(w[2], &item->code) &&
         ParseNumber(w[3], &item->number);
  } else if (t == kTypeBoolean) {
    ok = w[2] == "true" || w[2] == "false";
    item->integer = w[2] == "true";
  } else if (t == kTypeEnumerated) {
    wanted = 4;
    ok = w.size() == 4 && ParseCode(w[2], &item->code) &&
         ParseCode(w[3], &item->value);
  } else if (t == kTypeClass) {
    ok = ParseCode(w[2], &item->code);
  } else if (t == kTypeText) {
    // The rest of the line, quoted: it may hold spaces.
    size_t type = line.find(w[1], line.find(w[0]) + w[0].size());
    size_t quote = line.find('"', type + w[1].size());
    std::string rest = line.substr(quote == std::string::npos ? 0 : quote);
    while (!rest.empty() && std::isspace(uint8_t(rest.back())))
      rest.pop_back();
    ok = quote != std::string::npos && ParseQuoted(rest, &item->bytes);
    wanted = w.size();
  } else if (t == kTypeAlias || t == kTypeReference) {
    ok = ParseHex(w[2], &item->bytes) &&
         (t != kTypeReference ||
          item->bytes.size() == sizeof(PIDescriptorSimpleReference));
  } else if (t == kTypeObject) {
    wanted = 4;
    ok = w.size() == 4 && ParseCode(w[2], &item->code) &&
         ParseHex(w[3], &item->bytes);
  } else {
    *why = "unknown type '" + w[1] + "'";
    return false;
  }
  if (ok && w.size() != wanted) {
    *why = "extra words after the value";
    return false;
  }
  if (!ok)
    *why = "cannot read the value of a '" + w[1] + "'";
  return ok;
}

// ---- The procedures ----

intptr_t TokenOf(const void *token) {
  return reinterpret_cast<intptr_t>(token);
}

// The open reader or writer a token stands for; a token that is not open
// is the module's fault.
template <typename State>
State *Open(std::map<intptr_t, State> *open, const void *token,
            const char *what) {
  auto it = open->find(TokenOf(token));
  if (it != open->end())
    return &it->second;
  g_suite->failures.push_back(std::string("descriptor procedure called with "
                                          "a ") +
                              what + " that is not open");
  return nullptr;
}

DescriptorReaderState *Reader(PIReadDescriptor token) {
  return g_suite ? Open(&g_suite->readers, token, "reader") : nullptr;
}

Descriptor *Writer(PIWriteDescriptor token) {
  return g_suite ? Open(&g_suite->writers, token, "writer") : nullptr;
}

// Errors stick until the reader closes: the worst one (a failure over a
// coercion) is what closing returns.
OSErr Note(DescriptorReaderState *r, OSErr result) {
  if (g_suite)
    ++g_suite->gets;
  if (result < 0 && g_suite)
    ++g_suite->getErrors;
  if (result < 0 ? r->worst >= 0 : r->worst == 0)
    r->worst = result;
  return result;
}

// The value getKey returned last, when it is of one of the types.
const DescriptorItem *Current(PIReadDescriptor token, OSErr *result,
                              DescriptorReaderState **state) {
  DescriptorReaderState *r = Reader(token);
  *state = r;
  *result = kErrParam;
  if (!r || !r->current)
    return nullptr;
  *result = 0;
  return r->current;
}

template <typename Fill>
OSErr Get(PIReadDescriptor token, void *out,
          std::initializer_list<uint32_t> types, Fill fill) {
  OSErr result;
  DescriptorReaderState *r;
  const DescriptorItem *item = Current(token, &result, &r);
  if (!r)
    return kErrParam;
  if (item && out) {
    result = kErrParam;
    for (uint32_t t : types)
      if (item->type == t)
        result = fill(*item);
  } else {
    result = kErrParam;
  }
  return Note(r, result);
}

Handle HandleWith(const std::string &bytes) {
  Handle h = BookNewHandle(g_suite->book, int32_t(bytes.size()), false);
  if (h && !bytes.empty())
    std::memcpy(*h, bytes.data(), bytes.size());
  return h;
}

PIReadDescriptor OpenRead(Handle descriptor, DescriptorKeyID *keyArray) {
  if (!g_suite)
    return nullptr;
  Descriptor d;
  if (!ReadDescriptorHandle(*g_suite->book, descriptor, &d)) {
    g_suite->failures.push_back("openReadDescriptorProc given a handle that "
                                "is no descriptor of the host's");
    return nullptr;
  }
  DescriptorReaderState state;
  state.items = d.items;
  state.keyArray = keyArray;
  intptr_t token = ++g_suite->lastToken;
  g_suite->readers[token] = state;
  ++g_suite->opened;
  return reinterpret_cast<PIReadDescriptor>(token);
}

OSErr CloseRead(PIReadDescriptor token) {
  DescriptorReaderState *r = Reader(token);
  if (!r)
    return kErrParam;
  OSErr result = r->worst;
  // Keys of the module's list that the descriptor never gave.
  if (result >= 0 && r->keyArray)
    for (const DescriptorKeyID *k = r->keyArray; *k != 0; ++k)
      if (*k != kTypeNull)
        result = kErrMissingParameter;
  g_suite->readers.erase(TokenOf(token));
  ++g_suite->closed;
  return result;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID *key, uint32_t *type,
               int32_t *flags) {
  DescriptorReaderState *r = Reader(token);
  if (!r || !key || r->next >= r->items.size()) {
    if (r)
      r->current = nullptr;
    return 0;
  }
  r->current = &r->items[r->next++];
  *key = r->current->key;
  if (type)
    *type = r->current->type;
  if (flags)
    *flags = 0;
  if (r->keyArray)
    for (DescriptorKeyID *k = r->keyArray; *k != 0; ++k)
      if (*k == *key)
        *k = kTypeNull;
  return 1;
}

OSErr GetInteger(PIReadDescriptor token, int32_t *value) {
  return Get(token, value, {kTypeInteger}, [&](const DescriptorItem &i) {
    *value = i.integer;
    return OSErr(0);
  });
}

OSErr GetFloat(PIReadDescriptor token, double *value) {
  return Get(token, value, {kTypeFloat, kTypeUnitFloat, kTypeInteger},
             [&](const DescriptorItem &i) {
               *value = i.type == kTypeInteger ? i.integer : i.number;
               return OSErr(i.type == kTypeFloat ? 0 : kErrCoercedParam);
             });
}

OSErr GetUnitFloat(PIReadDescriptor token, uint32_t *unit, double *value) {
  return Get(token, value, {kTypeUnitFloat, kTypeFloat, kTypeInteger},
             [&](const DescriptorItem &i) {
               *value = i.type == kTypeInteger ? i.integer : i.number;
               if (unit)
                 *unit = i.type == kTypeUnitFloat ? i.code : kUnitNone;
               return OSErr(i.type == kTypeUnitFloat ? 0 : kErrCoercedParam);
             });
}

OSErr GetBoolean(PIReadDescriptor token, Boolean *value) {
  return Get(token, value, {kTypeBoolean}, [&](const DescriptorItem &i) {
    *value = Boolean(i.integer != 0);
    return OSErr(0);
  });
}

// A new handle of the host's that the module owns and disposes.
OSErr GetBytes(PIReadDescriptor token, uint32_t type, Handle *value) {
  return Get(token, value, {type}, [&](const DescriptorItem &i) {
    *value = HandleWith(i.bytes);
    return OSErr(*value ? 0 : kErrNoMemory);
  });
}

OSErr GetText(PIReadDescriptor token, Handle *value) {
  return GetBytes(token, kTypeText, value);
}

OSErr GetAlias(PIReadDescriptor token, Handle *value) {
  return GetBytes(token, kTypeAlias, value);
}

OSErr GetEnumerated(PIReadDescriptor token, uint32_t *value) {
  return Get(token, value, {kTypeEnumerated}, [&](const DescriptorItem &i) {
    *value = i.value;
    return OSErr(0);
  });
}

OSErr GetClass(PIReadDescriptor token, uint32_t *value) {
  return Get(token, value, {kTypeClass}, [&](const DescriptorItem &i) {
    *value = i.code;
    return OSErr(0);
  });
}

OSErr GetSimpleReference(PIReadDescriptor token,
                         PIDescriptorSimpleReference *value) {
  return Get(token, value, {kTypeReference}, [&](const DescriptorItem &i) {
    std::memcpy(value, i.bytes.data(), sizeof *value);
    return OSErr(0);
  });
}

OSErr GetObject(PIReadDescriptor token, uint32_t *type, Handle *value) {
  return Get(token, value, {kTypeObject}, [&](const DescriptorItem &i) {
    if (type)
      *type = i.code;
    *value = HandleWith(i.bytes);
    return OSErr(*value ? 0 : kErrNoMemory);
  });
}

OSErr GetCount(PIReadDescriptor token, uint32_t *value) {
  return Get(token, value, {kTypeInteger}, [&](const DescriptorItem &i) {
    *value = uint32_t(i.integer);
    return OSErr(i.integer < 0 ? kErrParam : 0);
  });
}

OSErr GetString(PIReadDescriptor token, unsigned char (*value)[256]) {
  return Get(token, value, {kTypeText}, [&](const DescriptorItem &i) {
    size_t n = i.bytes.size() > 255 ? 255 : i.bytes.size();
    (*value)[0] = uint8_t(n);
    std::memcpy(*value + 1, i.bytes.data(), n);
    return OSErr(n < i.bytes.size() ? kErrCoercedParam : 0);
  });
}

OSErr GetPinnedInteger(PIReadDescriptor token, int32_t min, int32_t max,
                       int32_t *value) {
  return Get(token, value, {kTypeInteger}, [&](const DescriptorItem &i) {
    *value = i.integer < min ? min : i.integer > max ? max : i.integer;
    return OSErr(*value == i.integer ? 0 : kErrCoercedParam);
  });
}

OSErr Pin(OSErr result, const double *min, const double *max, double *value) {
  if (result < 0)
    return result;
  if (min && *value < *min) {
    *value = *min;
    return kErrCoercedParam;
  }
  if (max && *value > *max) {
    *value = *max;
    return kErrCoercedParam;
  }
  return result;
}

OSErr GetPinnedFloat(PIReadDescriptor token, const double *min,
                     const double *max, double *value) {
  return Get(token, value, {kTypeFloat, kTypeUnitFloat, kTypeInteger},
             [&](const DescriptorItem &i) {
               *value = i.type == kTypeInteger ? i.integer : i.number;
               return Pin(i.type == kTypeFloat ? 0 : kErrCoercedParam, min, max,
                          value);
             });
}

// The unit asked for must be the one stored: units are not converted.
OSErr GetPinnedUnitFloat(PIReadDescriptor token, const double *min,
                         const double *max, uint32_t *unit, double *value) {
  return Get(token, value, {kTypeUnitFloat}, [&](const DescriptorItem &i) {
    if (unit && *unit != 0 && *unit != i.code)
      return OSErr(kErrParam);
    if (unit)
      *unit = i.code;
    *value = i.number;
    return Pin(0, min, max, value);
  });
}

PIWriteDescriptor OpenWrite() {
  if (!g_suite)
    return nullptr;
  intptr_t token = ++g_suite->lastToken;
  g_suite->writers[token] = Descriptor();
  ++g_suite->opened;
  return reinterpret_cast<PIWriteDescriptor>(token);
}

OSErr CloseWrite(PIWriteDescriptor token, Handle *descriptor) {
  Descriptor *d = Writer(token);
  if (!d)
    return kErrParam;
  OSErr result = kErrParam;
  if (descriptor) {
    *descriptor = NewDescriptorHandle(g_suite->book, *d);
    result = *descriptor ? 0 : kErrNoMemory;
  }
  g_suite->writers.erase(TokenOf(token));
  ++g_suite->closed;
  return result;
}

// A key put again replaces its value, as in a host's descriptor.
OSErr Put(PIWriteDescriptor token, DescriptorItem item) {
  Descriptor *d = Writer(token);
  if (!d)
    return kErrParam;
  ++g_suite->puts;
  for (DescriptorItem &old : d->items)
    if (old.key == item.key) {
      old = item;
      return 0;
    }
  d->items.push_back(item);
  return 0;
}

DescriptorItem Item(DescriptorKeyID key, uint32_t type) {
  DescriptorItem item;
  item.key = key;
  item.type = type;
  return item;
}

OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32_t v) {
  DescriptorItem item = Item(key, kTypeInteger);
  item.integer = v;
  return Put(token, item);
}

OSErr PutFloat(PIWriteDescriptor token, DescriptorKeyID key, const double *v) {
  if (!v)
    return kErrParam;
  DescriptorItem item = Item(key, kTypeFloat);
  item.number = *v;
  return Put(token, item);
}

OSErr PutUnitFloat(PIWriteDescriptor token, DescriptorKeyID key, uint32_t unit,
                   const double *v) {
  if (!v)
    return kErrParam;
  DescriptorItem item = Item(key, kTypeUnitFloat);
  item.code = unit;
  item.number = *v;
  return Put(token, item);
}

OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean v) {
  DescriptorItem item = Item(key, kTypeBoolean);
  item.integer = v != 0;
  return Put(token, item);
}

// The handle stays the caller's: its bytes are copied.
OSErr PutBytes(PIWriteDescriptor token, DescriptorItem item, Handle h) {
  if (!g_suite || !BookOwns(*g_suite->book, h))
    return kErrParam;
  const HandleEntry &e = g_suite->book->entries.at(h);
  item.bytes.assign(*e.master, size_t(e.size));
  return Put(token, item);
}

OSErr PutText(PIWriteDescriptor token, DescriptorKeyID key, Handle h) {
  return PutBytes(token, Item(key, kTypeText), h);
}

OSErr PutAlias(PIWriteDescriptor token, DescriptorKeyID key, Handle h) {
  return PutBytes(token, Item(key, kTypeAlias), h);
}

OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, uint32_t type,
                    uint32_t value) {
  DescriptorItem item = Item(key, kTypeEnumerated);
  item.code = type;
  item.value = value;
  return Put(token, item);
}

OSErr PutClass(PIWriteDescriptor token, DescriptorKeyID key, uint32_t type) {
  DescriptorItem item = Item(key, kTypeClass);
  item.code = type;
  return Put(token, item);
}

OSErr PutSimpleReference(PIWriteDescriptor token, DescriptorKeyID key,
                         const PIDescriptorSimpleReference *v) {
  if (!v)
    return kErrParam;
  DescriptorItem item = Item(key, kTypeReference);
  item.bytes.assign(reinterpret_cast<const char *>(v), sizeof *v);
  return Put(token, item);
}

// An object is a descriptor of the host's, kept as its text.
OSErr PutObject(PIWriteDescriptor token, DescriptorKeyID key, uint32_t type,
                Handle h) {
  Descriptor inner;
  if (!g_suite || !ReadDescriptorHandle(*g_suite->book, h, &inner))
    return kErrParam;
  DescriptorItem item = Item(key, kTypeObject);
  item.code = type;
  item.bytes = DescriptorText(inner);
  return Put(token, item);
}

OSErr PutCount(PIWriteDescriptor token, DescriptorKeyID key, uint32_t v) {
  return PutInteger(token, key, int32_t(v));
}

OSErr PutString(PIWriteDescriptor token, DescriptorKeyID key,
                const unsigned char *v) {
  if (!v)
    return kErrParam;
  DescriptorItem item = Item(key, kTypeText);
  item.bytes.assign(reinterpret_cast<const char *>(v + 1), v[0]);
  return Put(token, item);
}

} // namespace

std::string DescribeDescriptorItem(const DescriptorItem &i) {
  std::string out = CodeText(i.key) + " " + CodeText(i.type) + " ";
  switch (i.type) {
  case kTypeInteger:
    return out + std::to_string(i.integer);
  case kTypeFloat:
    return out + NumberText(i.number);
  case kTypeUnitFloat:
    return out + CodeText(i.code) + " " + NumberText(i.number);
  case kTypeBoolean:
    return out + (i.integer ? "true" : "false");
  case kTypeEnumerated:
    return out + CodeText(i.code) + " " + CodeText(i.value);
  case kTypeClass:
    return out + CodeText(i.code);
  case kTypeText:
    return out + "\"" + EscapeText(i.bytes) + "\"";
  case kTypeObject:
    return out + CodeText(i.code) + " " + HexText(i.bytes);
  default:
    return out + HexText(i.bytes);
  }
}

std::string DescriptorText(const Descriptor &d) {
  std::string out;
  for (const DescriptorItem &item : d.items)
    out += DescribeDescriptorItem(item) + "\n";
  return out;
}

int32_t ParseDescriptorText(const std::string &text, Descriptor *d,
                            std::string *error) {
  d->items.clear();
  int32_t bad = 0;
  size_t at = 0;
  for (int32_t number = 1; at < text.size(); ++number) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (Words(line).empty())
      continue;
    DescriptorItem item;
    std::string why;
    if (ParseLine(line, &item, &why)) {
      d->items.push_back(item);
    } else if (++bad == 1 && error) {
      *error = "line " + std::to_string(number) + ": " + why;
    }
  }
  return bad;
}

void InitDescriptorSuite(DescriptorSuite *s, HandleBook *book) {
  s->book = book;
  ReadDescriptorProcs &r = s->readProcs;
  r.readDescriptorProcsVersion = 0;
  r.numReadDescriptorProcs = kReadDescriptorProcCount;
  r.openReadDescriptorProc = OpenRead;
  r.closeReadDescriptorProc = CloseRead;
  r.getKeyProc = GetKey;
  r.getIntegerProc = GetInteger;
  r.getFloatProc = GetFloat;
  r.getUnitFloatProc = GetUnitFloat;
  r.getBooleanProc = GetBoolean;
  r.getTextProc = GetText;
  r.getAliasProc = GetAlias;
  r.getEnumeratedProc = GetEnumerated;
  r.getClassProc = GetClass;
  r.getSimpleReferenceProc = GetSimpleReference;
  r.getObjectProc = GetObject;
  r.getCountProc = GetCount;
  r.getStringProc = GetString;
  r.getPinnedIntegerProc = GetPinnedInteger;
  r.getPinnedFloatProc = GetPinnedFloat;
  r.getPinnedUnitFloatProc = GetPinnedUnitFloat;
  WriteDescriptorProcs &w = s->writeProcs;
  w.writeDescriptorProcsVersion = 0;
  w.numWriteDescriptorProcs = kWriteDescriptorProcCount;
  w.openWriteDescriptorProc = OpenWrite;
  w.closeWriteDescriptorProc = CloseWrite;
  w.putIntegerProc = PutInteger;
  w.putFloatProc = PutFloat;
  w.putUnitFloatProc = PutUnitFloat;
  w.putBooleanProc = PutBoolean;
  w.putTextProc = PutText;
  w.putAliasProc = PutAlias;
  w.putEnumeratedProc = PutEnumerated;
  w.putClassProc = PutClass;
  w.putSimpleReferenceProc = PutSimpleReference;
  w.putObjectProc = PutObject;
  w.putCountProc = PutCount;
  w.putStringProc = PutString;
  w.putScopedClassProc = PutClass;
  w.putScopedObjectProc = PutObject;
  ServeDescriptorSuite(s);
}

void ServeDescriptorSuite(DescriptorSuite *suite) { g_suite = suite; }

Handle NewDescriptorHandle(HandleBook *book, const Descriptor &descriptor) {
  const std::string text = DescriptorText(descriptor);
  Handle h = BookNewHandle(book, int32_t(text.size()), false);
  if (h && !text.empty())
    std::memcpy(*h, text.data(), text.size());
  return h;
}

bool ReadDescriptorHandle(const HandleBook &book, Handle handle,
                          Descriptor *descriptor) {
  if (!BookOwns(book, handle))
    return false;
  const HandleEntry &e = book.entries.at(handle);
  ParseDescriptorText(std::string(*e.master, size_t(e.size)), descriptor,
                      nullptr);
  return true;
}

void CheckDescriptorsAfterInvocation(DescriptorSuite *s) {
  if (!s->readers.empty())
    s->failures.push_back(std::to_string(s->readers.size()) +
                          " descriptor reader(s) left open");
  if (!s->writers.empty())
    s->failures.push_back(std::to_string(s->writers.size()) +
                          " descriptor writer(s) left open");
  s->readers.clear();
  s->writers.clear();
}
