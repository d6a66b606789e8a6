// Building a folder or file path in one PString that stays
// NUL-terminated after every piece, so that each stage can be handed to
// the system as it is (the folders are created one level at a time).
#pragma once

#include "params/pstring.h"

// The longest path text: the length byte, the characters and the NUL
// that follows them must fit in the 256 bytes of a PString.
constexpr int32_t kMaxPathText = 254;

// Appends text and a NUL after it (the NUL is not counted in the length).
// False, with path unchanged, when the text does not fit whole.
bool AppendPathText(const char *text, unsigned char *path);

// Appends a backslash unless the path already ends with one.
bool EndPathWithBackslash(unsigned char *path);

// The NUL-terminated text of a path built by the routines above.
inline const char *PathText(const unsigned char *path) {
  return reinterpret_cast<const char *>(path + 1);
}
