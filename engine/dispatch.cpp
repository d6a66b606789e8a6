#include "engine/dispatch.h"

#include <xmmintrin.h>

#include <cctype>
#include <cstdlib>

namespace {

const EngineKernels *chosenKernels = nullptr;

// Each check also asks whether the system saves the wide registers.
bool Supported(SimdPath path) {
  __builtin_cpu_init();
  switch (path) {
    case SimdPath::kSse2:
      return true;
    case SimdPath::kAvx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case SimdPath::kAvx512:
#ifdef TAVORIN_AVX512_KERNELS
      return __builtin_cpu_supports("avx512f") &&
             __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512dq") &&
             __builtin_cpu_supports("avx512vl");
#else
      return false;  // not built: 32-bit code has too few registers
#endif
  }
  return false;
}

const EngineKernels &KernelsOf(SimdPath path) {
  switch (path) {
#ifdef TAVORIN_AVX512_KERNELS
    case SimdPath::kAvx512:
      return kAvx512Kernels;
#endif
    case SimdPath::kAvx2:
      return kAvx2Kernels;
    default:
      return kSse2Kernels;
  }
}

}  // namespace

const char *SimdPathName(SimdPath path) {
  switch (path) {
    case SimdPath::kSse2:
      return "SSE2";
    case SimdPath::kAvx2:
      return "AVX2";
    case SimdPath::kAvx512:
      return "AVX-512";
  }
  return "?";
}

bool SimdPathAvailable(SimdPath path) { return Supported(path); }

SimdPath CurrentSimdPath() {
  const EngineKernels *kernels = &Kernels();
  for (SimdPath path : kSimdPaths) {
    if (Supported(path) && &KernelsOf(path) == kernels) return path;
  }
  return SimdPath::kSse2;
}

bool UseSimdPath(SimdPath path) {
  if (!Supported(path)) return false;
  chosenKernels = &KernelsOf(path);
  return true;
}

bool SimdPathNamed(const char *name, SimdPath *path) {
  if (name == nullptr) return false;
  static const char *const kNames[] = {"sse2", "avx2", "avx512"};
  for (SimdPath candidate : kSimdPaths) {
    const char *expected = kNames[int(candidate)];
    const char *given = name;
    while (*expected != '\0' &&
           std::tolower(static_cast<unsigned char>(*given)) == *expected) {
      ++expected;
      ++given;
    }
    if (*expected == '\0' && *given == '\0') {
      *path = candidate;
      return true;
    }
  }
  return false;
}

const EngineKernels &Kernels() {
  if (chosenKernels == nullptr) {
    SimdPath chosen = SimdPath::kSse2;
    for (SimdPath path : kSimdPaths) {
      if (Supported(path)) chosen = path;
    }
    // A user may hold the engine to slower kernels, to measure them or to
    // get round a processor's fault; a path the processor lacks falls back
    // to the best it has.
    SimdPath named;
    if (SimdPathNamed(std::getenv("TAVORIN_KERNELS"), &named) &&
        Supported(named)) {
      chosen = named;
    }
    chosenKernels = &KernelsOf(chosen);
  }
  return *chosenKernels;
}

FloatModeGuard::FloatModeGuard() : saved_(_mm_getcsr()) { _mm_setcsr(0x1F80); }

FloatModeGuard::~FloatModeGuard() { _mm_setcsr(saved_); }
