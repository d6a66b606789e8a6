// tavorin-host: loads a filter module by path, prints its property list,
// and drives its selectors against an in-memory document (see --help).
#include <cstdio>
#include <string>
#include <vector>

#include "host/host_app.h"

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string &a : args) {
    if (a == "--help" || a == "-h") {
      std::fputs(UsageText(), stdout);
      return kExitOk;
    }
  }
  CliOptions options;
  std::string error;
  if (!ParseCommandLine(args, &options, &error)) {
    std::fprintf(stderr, "tavorin-host: %s\n%s", error.c_str(), UsageText());
    return kExitUsage;
  }
  InstallCrashReport(stdout);
  return RunHostCommand(options, stdout);
}
