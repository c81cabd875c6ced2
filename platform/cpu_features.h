#pragma once
// Which vector instructions the processor offers, asked once per process.
// Header only and free of OS and SDL headers, so that the pure modules (the
// texture kernels, the mixer) choose their paths the same way without
// linking anything. Any thread.

#include <cstdint>

namespace platform {

// Defined where the compiler can both ask the processor at run time and
// build single functions for AVX2 (the target attribute) on x86-64.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUANDRIX_CPU_AVX2 1
#endif

// The ways an optimised kernel can run, narrowest first. Every module that
// has several gives the same results on each, to the bit; what each path
// means is said where the module declares its selection.
enum class VectorPath : std::uint8_t {
    Portable,  // plain code
    Sse2,      // 128-bit vectors (every x86-64)
    Avx2,      // 256-bit vectors
};

// SSE2 is a compile-time fact: the whole program is built for it or not.
#if defined(__SSE2__)
inline constexpr bool cpuHasSse2 = true;
#else
inline constexpr bool cpuHasSse2 = false;
#endif

// Whether the processor runs AVX2. Initialised explicitly, since a module
// may ask during static initialisation, before the run-time library's own
// constructor has looked at the processor.
inline bool CpuHasAvx2() {
#if defined(QUANDRIX_CPU_AVX2)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

inline bool VectorPathSupported(VectorPath path) {
    switch (path) {
        case VectorPath::Portable: return true;
        case VectorPath::Sse2: return cpuHasSse2;
        case VectorPath::Avx2: return cpuHasSse2 && CpuHasAvx2();
    }
    return false;
}

// The widest path the processor has.
inline VectorPath BestVectorPath() {
    if (VectorPathSupported(VectorPath::Avx2)) return VectorPath::Avx2;
    return cpuHasSse2 ? VectorPath::Sse2 : VectorPath::Portable;
}

}  // namespace platform
