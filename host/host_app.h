// The host program's steps as one call, so that a test can run exactly
// what the console program runs and read what it prints.
#pragma once

#include <cstdio>

#include "host/cli_args.h"

enum HostExitCode {
  kExitOk = 0,
  kExitFaults = 1, // the host found faults (leaks, unbalanced locks...)
  kExitUsage = 2,
  kExitRefused = 3,   // the module cannot be read or run here
  kExitFileError = 4, // an image or block file could not be read/written
  kExitCrashed = 5,   // the module raised an unhandled exception
};

// Runs the steps of options against the module and prints the report.
int RunHostCommand(const CliOptions &options, FILE *out);

// From now on an unhandled exception prints a line and ends the process
// with kExitCrashed, instead of waiting on a crash dialog.
void InstallCrashReport(FILE *out);
