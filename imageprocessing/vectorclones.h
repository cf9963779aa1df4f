#pragma once
// Internal to the image processing library: included by its .cpp files only.
//
// PLEXAN_VECTOR_CLONES marks a function to be compiled for AVX-512 and AVX2
// as well as for the baseline instruction set, the processor picking its
// version when the program loads. The kernels only gain wider vectors
// from it: the build keeps floating-point contraction off, so every version
// performs the same roundings in the same order and gives identical results.
// Put it on plain (non-template) functions that call the kernels: `flatten`
// inlines the kernels into every version, without which each version would
// only call the baseline code. Clang refuses `flatten` beside
// `target_clones`: its builds (the fuzz targets) keep the baseline alone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define PLEXAN_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default"), flatten))
#define PLEXAN_HAS_VECTOR_CLONES 1
#endif
#endif
#ifndef PLEXAN_VECTOR_CLONES
#define PLEXAN_VECTOR_CLONES
#endif
