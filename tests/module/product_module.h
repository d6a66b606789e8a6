// The product module under test, loaded once per test program and kept
// loaded, as a host keeps a plug-in between invocations.
#pragma once

#include <cstdlib>
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

// The module of this program's architecture; entry is null (and error
// says why) when it cannot be loaded.
inline const ModuleFile &ProductModule(std::string *error = nullptr) {
  static std::string loadError;
  static ModuleFile *module = [] {
    ModuleFile *m = new ModuleFile;
    std::string path = ProductModulePath();
    if (path.empty())
      loadError = "TAVORIN_MODULE is not set";
    else if (ReadModuleFile(path, m, &loadError))
      LoadModuleCode(m, &loadError);
    return m;
  }();
  if (error) *error = loadError;
  return *module;
}
