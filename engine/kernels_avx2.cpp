// The kernels for AVX2, over the operations of avx2_ops.h. This unit is
// compiled for AVX2; the engine calls it only where the processor has it.
#include "engine/avx2_ops.h"
#include "engine/kernel_bodies.h"

const EngineKernels kAvx2Kernels = MakeKernels<Avx2>("AVX2");

#include "engine/gray_bodies.h"

const GrayKernels kAvx2GrayKernels = MakeGrayKernels<Avx2>();
