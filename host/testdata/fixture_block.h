// The parameter block of the host's test module: what the module saw and
// did, kept by the host between invocations like any module's block, so
// that tests read it back through the host.
#pragma once

#include <cstdint>

constexpr uint32_t kFixtureSignature = 0x48464958; // 'HFIX'

// The variable the test module reads its behaviour from: words separated
// by spaces, see fixture_plugin.cpp.
#define HOST_FIXTURE_VARIABLE "HOST_FIXTURE"

struct FixtureBlock {
  uint32_t signature;
  int32_t runs;           // completed starts
  int32_t tiles;          // tiles filtered by the last start
  int32_t paddingErrors;  // padded input pixels unlike their edge pixel
  int32_t lastMessageBox; // what MessageBoxA returned, 0 without one
  int32_t lastDialog;     // what DialogBoxParamA returned, 0 without one
  int32_t displayResult;  // what displayPixels returned
  int32_t depthSeen;
};
