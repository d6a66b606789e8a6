// The dialog phase of a run. Until the parameter dialog exists the phase
// answers as a cancelled dialog would: nothing is shown, stored or
// filtered.
#include "shell/shell.h"

int32_t RunDialogPhase(FilterRecord *) { return 1; }
