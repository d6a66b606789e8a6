// A module on disk as a host sees it: its property lists, read without
// running it (a module of the other architecture too), the one whose
// code descriptor fits this host, and, once loaded, its entry.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/pipl.h"
#include "host/terminology.h"
#include "params/host_records.h"

struct PiplResource {
  std::string resourceName; // "#16000" for a numbered resource
  bool valid = false;
  std::string error; // why it is malformed
  PiplInfo info;
  // The terminology resource the list's 'hstm' names.
  bool terminologyFound = false;
  bool terminologyValid = false;
  std::string terminologyError;
  Terminology terminology;
};

// The module's version resource, as Windows shows it in the file's
// properties.
struct ModuleVersion {
  bool present = false;
  uint16_t file[4] = {};    // the fixed part's file version words
  uint16_t product[4] = {}; // and product version words
  // The texts of the first translation the resource lists, by name, in
  // the order of kVersionTextNames.
  std::vector<std::pair<std::string, std::string>> texts;
};

// The names of the version texts a host prints.
extern const char *const kVersionTextNames[8];

struct ModuleFile {
  std::string path;
  uint16_t machine = 0; // from the file header
  std::vector<PiplResource> pipls;
  int chosen = -1; // the list this host would run, or -1
  ModuleVersion version;
  std::string entryName;
  std::string refusal;     // why this host will not run it
  void *library = nullptr; // HMODULE while loaded
  PluginEntryProc entry = nullptr;
};

CodeArch HostArch();
const char *ArchName(CodeArch arch);
// The kernels a module of this host's architecture runs here, and why:
// the processor's best, or those TAVORIN_KERNELS names where the
// processor has them. The module does not say, so the host applies the
// module's rule itself.
std::string ModuleKernelsText();

// Reads the file header, the version resource and every "PIPL" resource, and
// picks the list to run. False when the file cannot be read as a module at all
// (error says why); a module that only cannot run here returns true with
// refusal set.
bool ReadModuleFile(const std::string &path, ModuleFile *module,
                    std::string *error, PiplWalk walk = PiplWalk::kRounded);

// Loads the code and finds the entry named by the chosen list. False with
// error when refused or when loading fails.
bool LoadModuleCode(ModuleFile *module, std::string *error);

void UnloadModule(ModuleFile *module);

// The version, the property lists and the verdict, as the host program prints
// them.
std::string DescribeModuleFile(const ModuleFile &module);
