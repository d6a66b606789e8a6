#include "engine/dispatch.h"

#include <xmmintrin.h>

namespace {

const EngineKernels *chosenKernels = nullptr;

bool HasAvx2() {
  // Also checks that the system saves the wide registers.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

}  // namespace

bool SimdPathAvailable(SimdPath path) {
  return path == SimdPath::kSse2 || HasAvx2();
}

SimdPath CurrentSimdPath() {
  return &Kernels() == &kAvx2Kernels ? SimdPath::kAvx2 : SimdPath::kSse2;
}

bool UseSimdPath(SimdPath path) {
  if (!SimdPathAvailable(path)) return false;
  chosenKernels = path == SimdPath::kAvx2 ? &kAvx2Kernels : &kSse2Kernels;
  return true;
}

const EngineKernels &Kernels() {
  if (chosenKernels == nullptr) {
    chosenKernels = HasAvx2() ? &kAvx2Kernels : &kSse2Kernels;
  }
  return *chosenKernels;
}

FloatModeGuard::FloatModeGuard() : saved_(_mm_getcsr()) { _mm_setcsr(0x1F80); }

FloatModeGuard::~FloatModeGuard() { _mm_setcsr(saved_); }
