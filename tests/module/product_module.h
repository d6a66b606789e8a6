// The product module under test, loaded once per test program and kept
// loaded, as a host keeps a plug-in between invocations.
#pragma once

#include <cstdlib>
#include <map>
#include <string>

#include "host/module_file.h"

// The test run names the modules by their Linux paths: map those into
// Wine's Z: drive.
inline std::string ProductModulePath(const char *variable = "TAVORIN_MODULE") {
  const char *value = std::getenv(variable);
  if (!value || !*value) return std::string();
  std::string path(value);
  if (path[0] == '/') {
    path = "Z:" + path;
    for (char &c : path)
      if (c == '/') c = '\\';
  }
  return path;
}

// The module that an environment variable names, loaded once and kept;
// entry is null (and error says why) when it cannot be loaded.
inline const ModuleFile &ModuleNamedBy(const char *variable,
                                       std::string *error = nullptr) {
  struct Loaded {
    ModuleFile module;
    std::string error;
  };
  static std::map<std::string, Loaded> loaded;
  auto found = loaded.find(variable);
  if (found == loaded.end()) {
    found = loaded.emplace(variable, Loaded()).first;
    Loaded &l = found->second;
    std::string path = ProductModulePath(variable);
    if (path.empty())
      l.error = std::string(variable) + " is not set";
    else if (ReadModuleFile(path, &l.module, &l.error))
      LoadModuleCode(&l.module, &l.error);
  }
  if (error) *error = found->second.error;
  return found->second.module;
}

// The module of this program's architecture, as the test build made it.
inline const ModuleFile &ProductModule(std::string *error = nullptr) {
  return ModuleNamedBy("TAVORIN_MODULE", error);
}

// The same module stripped for release, as the archive carries it.
inline const ModuleFile &ReleaseModule(std::string *error = nullptr) {
  return ModuleNamedBy("TAVORIN_RELEASE_MODULE", error);
}
