// The face of the host library for Windows test programs: read and load a
// module, set up a session on a document, drive its selectors, and read
// what the host recorded. The portable parts can be included one by one.
#pragma once

#include "host/dialog_capture.h" // unattended message boxes and dialogs
#include "host/global_book.h"    // the module's global memory, booked
#include "host/host_app.h"       // the console program's steps
#include "host/image_io.h"       // PNG and TIFF documents
#include "host/module_file.h"    // property lists, loading, the entry
#include "host/report.h"         // the session as text
#include "host/session.h"        // configuration, invocations, records
