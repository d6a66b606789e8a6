// A module on disk as a host sees it: its property lists, read without
// running it (a module of the other architecture too), the one whose
// code descriptor fits this host, and, once loaded, its entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/pipl.h"
#include "params/host_records.h"

struct PiplResource {
  std::string resourceName; // "#16000" for a numbered resource
  bool valid = false;
  std::string error; // why it is malformed
  PiplInfo info;
};

struct ModuleFile {
  std::string path;
  uint16_t machine = 0; // from the file header
  std::vector<PiplResource> pipls;
  int chosen = -1; // the list this host would run, or -1
  std::string entryName;
  std::string refusal;     // why this host will not run it
  void *library = nullptr; // HMODULE while loaded
  PluginEntryProc entry = nullptr;
};

CodeArch HostArch();
const char *ArchName(CodeArch arch);

// Reads the file header and every "PIPL" resource, and picks the list to
// run. False when the file cannot be read as a module at all (error says
// why); a module that only cannot run here returns true with refusal set.
bool ReadModuleFile(const std::string &path, ModuleFile *module,
                    std::string *error);

// Loads the code and finds the entry named by the chosen list. False with
// error when refused or when loading fails.
bool LoadModuleCode(ModuleFile *module, std::string *error);

void UnloadModule(ModuleFile *module);

// The property lists and the verdict, as the host program prints them.
std::string DescribeModuleFile(const ModuleFile &module);
