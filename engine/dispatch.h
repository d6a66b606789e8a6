// Which kernels the engine runs: SSE2 everywhere, AVX2 and, in 64-bit
// builds, AVX-512 where the processor and the system support them.
// Chosen once, on first use: the best the processor has, or the one the
// environment variable TAVORIN_KERNELS names (sse2, avx2 or avx512) if
// the processor has it. Tests and the benchmark may choose any path the
// processor has.
#pragma once

#include "engine/kernels.h"

enum class SimdPath { kSse2, kAvx2, kAvx512 };

// Every path, slowest first.
constexpr SimdPath kSimdPaths[] = {SimdPath::kSse2, SimdPath::kAvx2,
                                   SimdPath::kAvx512};
const char *SimdPathName(SimdPath path);
// The path TAVORIN_KERNELS calls name ("sse2", "avx2", "avx512", in any
// case); false for anything else.
bool SimdPathNamed(const char *name, SimdPath *path);

bool SimdPathAvailable(SimdPath path);
// The best available path until something else is asked for.
SimdPath CurrentSimdPath();
// Takes effect for the following calls; an unavailable path is refused.
bool UseSimdPath(SimdPath path);

const EngineKernels &Kernels();

// The engine's own float mode (round to nearest, every exception masked)
// for as long as it lives: a host may leave any mode set when it calls
// the module, and the tables' arithmetic is defined in this one.
class FloatModeGuard {
 public:
  FloatModeGuard();
  ~FloatModeGuard();
  FloatModeGuard(const FloatModeGuard &) = delete;
  FloatModeGuard &operator=(const FloatModeGuard &) = delete;

 private:
  unsigned int saved_;
};
