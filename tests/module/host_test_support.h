// Helpers of the host's Windows tests: where the test modules lie, how
// to tell them what to do, and how to read what they recorded.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/session.h"
#include "host/testdata/fixture_block.h"

// The test modules are built next to the test program.
inline std::string FixturePath(const char *name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path);
  return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// Sets the test module's behaviour for one scope.
struct FixtureBehaviour {
  explicit FixtureBehaviour(const char *words) {
    SetEnvironmentVariableA(HOST_FIXTURE_VARIABLE, words);
  }
  ~FixtureBehaviour() {
    SetEnvironmentVariableA(HOST_FIXTURE_VARIABLE, nullptr);
  }
  FixtureBehaviour(const FixtureBehaviour &) = delete;
  FixtureBehaviour &operator=(const FixtureBehaviour &) = delete;
};

// The block the host keeps for the test module; signature 0 when absent.
inline FixtureBlock ReadFixtureBlock(HostSession *session) {
  FixtureBlock block{};
  std::vector<uint8_t> bytes;
  std::string error;
  if (ReadParameterBlock(session, &bytes, &error) &&
      bytes.size() == sizeof block)
    std::memcpy(&block, bytes.data(), sizeof block);
  return block;
}

inline std::string TempFilePath(const char *name) {
  char dir[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + "tavorin-host-test-" +
         std::to_string(GetCurrentProcessId()) + "-" + name;
}
