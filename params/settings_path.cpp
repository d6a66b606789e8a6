#include "params/settings_path.h"

bool AppendPathText(const char *text, unsigned char *path) {
  PString piece;
  CToPString(text, piece);
  // A path cut short would name another folder: refuse it instead.
  if (path[0] + piece[0] > kMaxPathText) return false;
  PStringAppend(piece, path);
  path[1 + path[0]] = 0;
  return true;
}

bool EndPathWithBackslash(unsigned char *path) {
  if (path[0] != 0 && path[path[0]] == '\\') return true;
  return AppendPathText("\\", path);
}
