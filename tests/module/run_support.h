// Helpers of the tests that run the product's shell in the host: the
// modules, loaded once and kept as a host keeps a plug-in, sessions with the
// host's checks attached, parameter blocks as a host stores them, the engine's
// reference result, and the last-used settings file in the Wine prefix.
#pragma once

#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/module_file.h"
#include "params/params.h"
#include "tests/support/test_host.h"

using ReferenceSettings = EngineSettings;

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

// A module file, loaded once and kept; entry is null (and error says
// why) when it cannot be loaded.
inline const ModuleFile &LoadedModule(const std::string &path,
                                      std::string *error = nullptr) {
  static std::map<std::string, std::pair<ModuleFile, std::string>> loaded;
  const bool first = loaded.count(path) == 0;
  auto &[module, why] = loaded[path];
  if (first && ReadModuleFile(path, &module, &why))
    LoadModuleCode(&module, &why);
  if (error) *error = why;
  return module;
}

// The module that an environment variable names.
inline const ModuleFile &ModuleNamedBy(const char *variable,
                                       std::string *error = nullptr) {
  const std::string path = ProductModulePath(variable);
  const ModuleFile &module = LoadedModule(path, error);
  if (error && path.empty()) *error = std::string(variable) + " is not set";
  return module;
}

// The module of this program's architecture, as the test build made it.
inline const ModuleFile &ProductModule(std::string *error = nullptr) {
  return ModuleNamedBy("TAVORIN_MODULE", error);
}

// The same module stripped for release, as the archive carries it.
inline const ModuleFile &ReleaseModule(std::string *error = nullptr) {
  return ModuleNamedBy("TAVORIN_RELEASE_MODULE", error);
}

// The test modules and programs lie next to the test program.
inline std::string FixturePath(const char *name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// The product's shell with a dialog phase that answers by the words of
// TAVORIN_TEST_DIALOG (tests/module/answering): OK when it is empty.
inline const ModuleFile &AnsweringModule(std::string *error = nullptr) {
  return LoadedModule(FixturePath(sizeof(void *) == 8 ? "TavorinAnswering64.8bf"
                                                      : "TavorinAnswering.8bf"),
                      error);
}

// What the answering dialog does in one scope.
struct AnsweringDialog {
  explicit AnsweringDialog(const char *words) {
    SetEnvironmentVariableA("TAVORIN_TEST_DIALOG", words);
  }
  ~AnsweringDialog() {
    SetEnvironmentVariableA("TAVORIN_TEST_DIALOG", nullptr);
  }
  AnsweringDialog(const AnsweringDialog &) = delete;
  AnsweringDialog &operator=(const AnsweringDialog &) = delete;
};

// A session on the module with the host's global memory book attached;
// false when the module could not be loaded.
inline bool StartSession(HostSession *session, const ModuleFile &module,
                         const HostConfig &config, const HostImage &document) {
  if (!module.entry) return false;
  InitSession(session, config, module.entry, document);
  SetSessionPipl(session, module.pipls[size_t(module.chosen)].info);
  AttachGlobalBook(session);
  return true;
}

// A block as the module stores it after OK: showDialog 0 unless asked.
inline std::vector<uint8_t> BlockBytes(const ReferenceSettings &settings,
                                       int32_t showDialog = 0) {
  ParamBlock block;
  std::memset(&block, 0, sizeof block);
  InitParamBlockHeader(&block);
  block.params.showDialog = showDialog;
  block.params.radius = settings.radius;
  block.params.response = settings.response;
  block.params.spread = settings.spread;
  std::memcpy(block.params.colourWeight, settings.weights,
              sizeof settings.weights);
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&block);
  return std::vector<uint8_t>(bytes, bytes + sizeof block);
}

// The block the host holds for the module; signature 0 when none.
inline ParamBlock HeldBlock(HostSession *session) {
  ParamBlock block;
  std::memset(&block, 0, sizeof block);
  std::vector<uint8_t> bytes;
  std::string error;
  if (ReadParameterBlock(session, &bytes, &error) &&
      bytes.size() == sizeof block)
    std::memcpy(&block, bytes.data(), sizeof block);
  return block;
}

// The engine's own result, area filtered as the portable test host does
// it: what the module must deliver through a real host, bit for bit.
inline std::vector<uint16_t> Reference(const HostImage &image, const Rect &area,
                                       const ReferenceSettings &settings) {
  HostImage result = image;
  ApplyEngineSettings(settings);
  FilterHostImage(image, area, &result);
  return result.samples;
}

// The first three samples of every pixel. A fourth keeps what the host
// put in the output buffer, and for a flat image the module asks the host
// not to copy the source there first.
inline std::vector<uint16_t> ColourSamples(const std::vector<uint16_t> &samples,
                                           int32_t planes) {
  std::vector<uint16_t> colour;
  for (size_t i = 0; i < samples.size(); i += size_t(planes))
    colour.insert(colour.end(), samples.begin() + i, samples.begin() + i + 3);
  return colour;
}

// Settings that reach every term of the filter: the widest radius with
// every weight set, and values on no round step.
const ReferenceSettings kDefaults;
const ReferenceSettings kStrongest = {
    1000, 100, 100, {100, -100, 50, -50, 25, -25}};
const ReferenceSettings kOdd = {37, 77, 13, {17, -42, 99, -100, 63, -7}};

// Our host imitating an open-source host engine: another signature, no
// edge padding, requests clipped at the image's edges, handle sizes 0.
inline void ImitatedHost(HostConfig *config) { ImitateOpenHost(config); }

inline Rect WholeImage(const HostImage &image) {
  return Rect{0, 0, int16_t(image.height), int16_t(image.width)};
}

// The last-used settings file under the user's application-data folder.
inline std::string SettingsFolder(const char *level = "") {
  char base[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, base);
  return std::string(base) + "\\lattimerworkshops" + level;
}
inline std::string SettingsFilePath() {
  return SettingsFolder("\\PS Filters\\Tavorin");
}

// Removes the file and its two folders under root (a base folder plus
// "\lattimerworkshops").
inline void RemoveSettingsTree(const std::string &root) {
  DeleteFileA((root + "\\PS Filters\\Tavorin").c_str());
  RemoveDirectoryA((root + "\\PS Filters").c_str());
  RemoveDirectoryA(root.c_str());
}

inline bool FileExists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::vector<uint8_t> ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                              std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string &path,
                       const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()),
            std::streamsize(bytes.size()));
}

// The last-used settings file holding settings, as the module writes it.
inline void WriteSettingsFile(const ReferenceSettings &settings) {
  CreateDirectoryA(SettingsFolder().c_str(), nullptr);
  CreateDirectoryA(SettingsFolder("\\PS Filters").c_str(), nullptr);
  const std::vector<uint8_t> block = BlockBytes(settings);
  std::vector<uint8_t> image(kBlockFileBytes);
  EncodeBlockFile(reinterpret_cast<const ParamBlock *>(block.data()),
                  image.data());
  WriteBytes(SettingsFilePath(), image);
}

// A 32-bit value of a file image, big-endian.
inline uint32_t BigEndianAt(const std::vector<uint8_t> &bytes, size_t offset) {
  return uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 |
         uint32_t(bytes[offset + 2]) << 8 | uint32_t(bytes[offset + 3]);
}
