// Handlers whose work arrives with the filtering run, the parameter block
// and the about box. Until then each accepts the call and does nothing.
#include "shell/shell.h"

int32_t DoAbout(AboutRecord *) { return 0; }

int32_t DoParameters(FilterRecord *) { return 0; }

int32_t DoStart(FilterRecord *record) {
  EmptyRect(&record->inRect);
  EmptyRect(&record->outRect);
  return 0;
}

int32_t DoContinue(FilterRecord *record) { return DoStart(record); }
