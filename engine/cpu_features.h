// SPDX-License-Identifier: GPL-3.0-or-later
// The instruction-set extensions this machine (processor and operating system) can run, found
// once; every kernel dispatch in the plug-in asks here. Portable builds compile each kernel in
// its own target region and pick one at run time from these flags.
#pragma once

struct CpuFeatures {
  bool avx;      // 256-bit float and double vectors
  bool avx2;     // 256-bit integer vectors
  bool fma;      // fused multiply-add (only kernels that may round differently use it)
  bool avx512f;   // 512-bit vectors
  bool avx512vl;  // AVX-512 instructions on 128/256-bit vectors (32 vector registers)
};

// A build with TARNWICK_NO_AVX512 (the CMake option of that name) reports no AVX-512, so that
// the 8-lane kernels can be measured on a machine that has it.
#if defined(TARNWICK_NO_AVX512)
inline constexpr bool kAvx512Allowed = false;
#else
inline constexpr bool kAvx512Allowed = true;
#endif

// Detected on the first call; the same record afterwards. [any thread; no allocation]
inline const CpuFeatures& cpuFeatures() {
  static const CpuFeatures features = [] {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    return CpuFeatures{__builtin_cpu_supports("avx") != 0, __builtin_cpu_supports("avx2") != 0,
                       __builtin_cpu_supports("fma") != 0,
                       kAvx512Allowed && __builtin_cpu_supports("avx512f") != 0,
                       kAvx512Allowed && __builtin_cpu_supports("avx512vl") != 0};
#else
    return CpuFeatures{false, false, false, false, false};
#endif
  }();
  return features;
}
