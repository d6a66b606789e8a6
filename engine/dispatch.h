// Which kernels the engine runs: SSE2 everywhere, AVX2 where the
// processor and the system support it. Chosen once, on first use; tests
// and the benchmark may choose either on a processor that has both.
#pragma once

#include "engine/kernels.h"

enum class SimdPath { kSse2, kAvx2 };

bool SimdPathAvailable(SimdPath path);
// The best available path until something else is asked for.
SimdPath CurrentSimdPath();
// Takes effect for the following calls; an unavailable path is refused.
bool UseSimdPath(SimdPath path);

const EngineKernels &Kernels();

// The float mode the kernels' divisions are proved exact in (round to
// nearest, every exception masked), for as long as it lives: a host may
// leave any mode set when it calls the module.
class FloatModeGuard {
 public:
  FloatModeGuard();
  ~FloatModeGuard();
  FloatModeGuard(const FloatModeGuard &) = delete;
  FloatModeGuard &operator=(const FloatModeGuard &) = delete;

 private:
  unsigned int saved_;
};
