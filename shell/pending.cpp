// The about box arrives with its own work; until then the about selector
// is accepted and does nothing.
#include "shell/shell.h"

int32_t DoAbout(AboutRecord *) { return 0; }
